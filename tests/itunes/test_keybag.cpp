#include "fixtures/BackupFixture.h"
#include "itunes/AesCbcDecryptor.h"
#include "itunes/AesCrypto.h"
#include "itunes/Keybag.h"
#include "itunes/Pbkdf2Sha256.h"

#include <QTest>

#include <cstring>

#include <stdexcept>

namespace {
QByteArray be32(quint32 v)
{
    return BackupFixture::bigEndian(v, 4);
}

QByteArray tlv(const char* tag, const QByteArray& value)
{
    return BackupFixture::keybagEntry(tag, value);
}

// A keybag with the given class keys wrapped under the passcode-derived key.
QByteArray makeKeybag(const QByteArray& password, const QList<QPair<int, QByteArray>>& classes, quint32 wrap = 2)
{
    const QByteArray salt("saltsaltsaltsaltsalt");
    const QByteArray kek = BackupFixture::pbkdf2Sha1(password, salt, 10);
    QByteArray kb = tlv("VERS", be32(3)) + tlv("UUID", "bag-uuid") + tlv("WRAP", be32(0)) + tlv("SALT", salt) +
                    tlv("ITER", be32(10));
    for (const auto& [cls, key] : classes)
        kb += tlv("UUID", "u" + QByteArray::number(cls)) + tlv("CLAS", be32(quint32(cls))) + tlv("WRAP", be32(wrap)) +
              tlv("KTYP", be32(0)) + tlv("WPKY", BackupFixture::aesWrap(kek, key));
    return kb;
}
} // namespace

class TestKeybag : public QObject
{
    Q_OBJECT

private slots:
    void rfc3394Vectors()
    {
        // RFC 3394 section 4.6: 256 bits of key data with a 256-bit KEK.
        const QByteArray kek = QByteArray::fromHex("000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F");
        const QByteArray key = QByteArray::fromHex("00112233445566778899AABBCCDDEEFF000102030405060708090A0B0C0D0E0F");
        const QByteArray wrapped = QByteArray::fromHex(
            "28C9F404C4B810F4CBCCB35CFB87F8263F5786E2D80ED326CBC7F0E71A99F43BFB988B9B7A02DD21");
        QCOMPARE(g_aesKeyUnwrap(kek, wrapped), key);
        QCOMPARE(BackupFixture::aesWrap(kek, key), wrapped);
        // Section 4.3: 128 bits of key data with a 256-bit KEK.
        QCOMPARE(g_aesKeyUnwrap(kek, QByteArray::fromHex("64E8C3F9CE0F5BA263E9777905818A2A93C8191E7D6E8AE7")),
                 QByteArray::fromHex("00112233445566778899AABBCCDDEEFF"));

        QByteArray tampered = wrapped;
        tampered[20] = char(tampered[20] ^ 1);
        QVERIFY(g_aesKeyUnwrap(kek, tampered).isEmpty());
        QVERIFY(g_aesKeyUnwrap(kek, wrapped.left(39)).isEmpty());
        QVERIFY(g_aesKeyUnwrap(kek, wrapped.left(16)).isEmpty());
        QVERIFY(g_aesKeyUnwrap(kek.left(31), wrapped).isEmpty());
        QVERIFY(g_aesKeyUnwrap(QByteArray(), QByteArray()).isEmpty());
    }

    // Both ways of decrypting (the processor's AES instructions eight blocks
    // at a time, and mbed TLS) give the published answer and each other's
    // bytes, across calls and for every tail length after the eight-block runs.
    void cbcDecryptionIsRightBothWays()
    {
        // NIST SP 800-38A, F.2.6 (CBC-AES256.Decrypt).
        const QByteArray nistKey =
            QByteArray::fromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
        const QByteArray nistCipher = QByteArray::fromHex(
            "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
            "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b");
        const QByteArray nistPlain = QByteArray::fromHex(
            "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
            "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
        const QByteArray key(32, '\x5a');
        QByteArray plain(16 * 67 + 5, Qt::Uninitialized);
        for (qsizetype i = 0; i < plain.size(); ++i)
            plain[i] = char((i * 131 + 7) & 0xff);
        const QByteArray cipher = BackupFixture::aesEncryptCbc(key, plain); // zero IV, padded

        QList<QByteArray> results;
        for (const bool hardware : {true, false}) {
            AesCbcDecryptor::setAesInstructionsAllowed(hardware);
            AesCbcDecryptor aes;
            QVERIFY(!aes.setKey(QByteArray(31, 'k')));
            char iv[16] = {};
            QByteArray buf = nistCipher;
            QVERIFY(!aes.decryptInPlace(buf.data(), size_t(buf.size()), iv)); // no key yet

            QVERIFY(aes.setKey(nistKey));
            const QByteArray nistIv = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
            std::memcpy(iv, nistIv.constData(), 16);
            QVERIFY(aes.decryptInPlace(buf.data(), size_t(buf.size()), iv));
            QCOMPARE(buf, nistPlain);
            QCOMPARE(QByteArray(iv, 16), nistCipher.right(16)); // the chain goes on from the last block

            // The same bytes in pieces of every block count up to 17, so
            // that runs of eight and their tails meet at every offset.
            QVERIFY(aes.setKey(key));
            for (int piece = 1; piece <= 17; ++piece) {
                char chain[16] = {};
                QByteArray out = cipher;
                for (qsizetype at = 0; at < out.size(); at += 16 * piece) {
                    const qsizetype n = std::min<qsizetype>(16 * piece, out.size() - at);
                    QVERIFY(aes.decryptInPlace(out.data() + at, size_t(n), chain));
                }
                QCOMPARE(out.left(plain.size()), plain);
                QCOMPARE(out.right(11), QByteArray(11, char(11)));
                results << out;
            }
            QVERIFY(!aes.decryptInPlace(buf.data(), 17, iv));
            QVERIFY(aes.decryptInPlace(buf.data(), 0, iv));
        }
        AesCbcDecryptor::setAesInstructionsAllowed(true);
        for (const QByteArray& r : std::as_const(results))
            QCOMPARE(r, results.first());
        if (!AesCbcDecryptor::usesAesInstructions())
            qInfo("This processor has no AES instructions: only mbed TLS was compared.");
    }

    void parseRules()
    {
        // The first UUID and WRAP belong to the keybag; later ones to groups;
        // the later group of a class wins; unknown tags are attributes.
        const QByteArray kb = tlv("UUID", "bag") + tlv("WRAP", be32(1)) + tlv("SALT", "s") + tlv("UUID", "g1") +
                              tlv("CLAS", be32(3)) + tlv("WRAP", be32(2)) + tlv("WPKY", "old") + tlv("UUID", "g2") +
                              tlv("CLAS", be32(5)) + tlv("XTRA", "x") + tlv("UUID", "g3") + tlv("CLAS", be32(3)) +
                              tlv("WPKY", "new") + tlv("PBKY", "");
        const _KeybagInfo info = parseKeybag(kb);
        QCOMPARE(info.attrs.value(u"UUID"_qs), QByteArray("bag"));
        QCOMPARE(info.attrs.getInt32(u"WRAP"_qs), 1u);
        QCOMPARE(info.attrs.value(u"XTRA"_qs), QByteArray("x"));
        QCOMPARE(info.attrs.getInt32(u"SALT"_qs), 0u); // shorter than 4 bytes
        QCOMPARE(info.classKeys.keys(), (QList<int>{3, 5}));
        QCOMPARE(info.classKeys.value(3).value(u"UUID"_qs), QByteArray("g3"));
        QCOMPARE(info.classKeys.value(3).value(u"WPKY"_qs), QByteArray("new"));
        QVERIFY(!info.classKeys.value(3).contains(u"WRAP"_qs));
        QVERIFY(info.classKeys.value(3).contains(u"PBKY"_qs));
        QCOMPARE(info.classKeys.value(5).value(u"UUID"_qs), QByteArray("g2"));

        QVERIFY(parseKeybag(QByteArray()).classKeys.isEmpty());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, parseKeybag(kb + "UUI"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, parseKeybag(QByteArray("UUID") + be32(0xFFFFFFF0) + "x"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, parseKeybag(tlv("UUID", "abc").chopped(1)));
    }

    void passwords()
    {
        const QByteArray k1(32, '\x01'), k3(32, '\x03');
        const QByteArray kb = makeKeybag("secret", {{1, k1}, {3, k3}});

        _KeybagInfo wrong = parseKeybag(kb);
        QVERIFY(!unlockWithPasscode("Secret", wrong));
        _KeybagInfo empty = parseKeybag(kb);
        QVERIFY(!unlockWithPasscode(QByteArray(), empty));

        _KeybagInfo right = parseKeybag(kb);
        QVERIFY(unlockWithPasscode("secret", right));
        QCOMPARE(right.classKeys.value(3).value(u"KEY"_qs), k3);

        const QByteArray fileKey(32, '\x7f');
        const QByteArray wrapped = BackupFixture::aesWrap(k3, fileKey);
        QCOMPARE(unwrapKeyForClass(right, 3, wrapped), fileKey);
        QVERIFY(unwrapKeyForClass(right, 1, wrapped).isEmpty()); // wrong class key
        QVERIFY(unwrapKeyForClass(right, 9, wrapped).isEmpty()); // no such class
        QVERIFY(unwrapKeyForClass(right, 3, wrapped + 'x').isEmpty());
        QVERIFY(unwrapKeyForClass(wrong, 3, wrapped).isEmpty()); // never unlocked

        // A backup whose password is empty opens with the empty password.
        _KeybagInfo open = parseKeybag(makeKeybag(QByteArray(), {{3, k3}}));
        QVERIFY(unlockWithPasscode(QByteArray(), open));

        // Keys not wrapped with the passcode are left alone.
        _KeybagInfo device = parseKeybag(makeKeybag("secret", {{3, k3}}, 1));
        QVERIFY(unlockWithPasscode("anything", device));
        QVERIFY(!device.classKeys.value(3).contains(u"KEY"_qs));

        // A crafted iteration count is refused instead of running for hours.
        _KeybagInfo slow = parseKeybag(tlv("ITER", be32(0xFFFFFFFF)));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, unlockWithPasscode("x", slow));
    }

    void wrapAndPaddingRoundTrip()
    {
        const QByteArray kek(32, '\x11'), key(32, '\x22');
        const QByteArray wrapped = g_aesKeyWrap(kek, key);
        QCOMPARE(wrapped, BackupFixture::aesWrap(kek, key));
        QCOMPARE(g_aesKeyUnwrap(kek, wrapped), key);
        QVERIFY(g_aesKeyWrap(kek, QByteArray(12, 'k')).isEmpty());

        const QByteArray plain(33, 'q');
        QCOMPARE(g_aesEncryptCbcPadded(key, plain), BackupFixture::aesEncryptCbc(key, plain));
        QByteArray padded = plain + QByteArray(15, char(15));
        QVERIFY(g_removePkcs7Padding(padded));
        QCOMPARE(padded, plain);
        QByteArray bad = QByteArray(31, 'x') + char(2);
        QVERIFY(!g_removePkcs7Padding(bad));
        QCOMPARE(bad.size(), 32);
        QByteArray zero(16, '\0');
        QVERIFY(!g_removePkcs7Padding(zero));
    }

    void pbkdf2Sha256Vectors_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("auto") << int(Sha256Engine::Auto);
        QTest::newRow("portable") << int(Sha256Engine::Portable);
    }

    void pbkdf2Sha256Vectors()
    {
        QFETCH(int, engine);
        const auto e = Sha256Engine(engine);
        // RFC 7914 section 11.
        QCOMPARE(g_pbkdf2HmacSha256("passwd", "salt", 1, 64, {}, e).toHex(),
                 QByteArray("55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
                            "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"));
        QCOMPARE(g_pbkdf2HmacSha256("Password", "NaCl", 80000, 64, {}, e).toHex(),
                 QByteArray("4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
                            "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d"));
        // A password longer than a block is hashed first; a salt longer than
        // a block spans blocks (values from Python's hashlib.pbkdf2_hmac).
        QCOMPARE(g_pbkdf2HmacSha256(QByteArray(100, 'k'), QByteArray("salt").repeated(30), 1000, 40, {}, e).toHex(),
                 QByteArray("1b2deae9e751c0c898fea51be59dde1aa22c935b9635d94f7e601d93c1c6d08e83bc8736576e6745"));
    }

    void pbkdf2CheckpointsAndCancels()
    {
        QList<QPair<quint64, quint64>> seen;
        const QByteArray key = g_pbkdf2HmacSha256("x", "y", 40000, 32,
                                                  [&](quint64 done, quint64 total) { seen << qMakePair(done, total); });
        QCOMPARE(key.toHex(), QByteArray("50868faf8ae49fd9e1dba1abc1fe597d99346e9551567c1c4ad72dc4a7c8bcd0"));
        QCOMPARE(seen, (QList<QPair<quint64, quint64>>{{16384, 40000}, {32768, 40000}}));
        QVERIFY_THROWS_EXCEPTION(int, g_pbkdf2HmacSha256("x", "y", 40000, 32, [](quint64, quint64) { throw -1; }));
    }

    void twoStageDerivation()
    {
        // PBKDF2-HMAC-SHA1(PBKDF2-HMAC-SHA256(password, DPSL, DPIC), SALT, ITER),
        // computed with Python's hashlib.
        const QByteArray password("p\xc3\xa4ss");
        const QByteArray salt("salt-of-twenty-bytes");
        const QByteArray dpsl("dpsl-salt-0123456789");
        _KeybagInfo kb = parseKeybag(tlv("SALT", salt) + tlv("ITER", be32(10)) + tlv("DPWT", be32(1)) +
                                     tlv("DPIC", be32(1000)) + tlv("DPSL", dpsl));
        const QByteArray expected =
            QByteArray::fromHex("981dc3184ae202692ff6bcd12ad98f166df08e16bb52112c3540a0d4f6f09c47");
        QCOMPARE(derivePasscodeKey(password, kb), expected);
        // Without DPSL the first stage is skipped.
        kb.attrs.remove(u"DPSL"_qs);
        QCOMPARE(derivePasscodeKey(password, kb), BackupFixture::pbkdf2Sha1(password, salt, 10));

        // A class key wrapped under the two-stage key unlocks; then the
        // ManifestKey (little-endian class, wrapped key) gives the index key.
        kb.attrs.insert(u"DPSL"_qs, dpsl);
        const QByteArray k4(32, '\x44'), indexKey(32, '\x99');
        QByteArray bag = tlv("SALT", salt) + tlv("ITER", be32(10)) + tlv("DPIC", be32(1000)) + tlv("DPSL", dpsl) +
                         tlv("UUID", "bag") + tlv("WRAP", be32(0)) + tlv("UUID", "c4") + tlv("CLAS", be32(4)) + tlv("WRAP", be32(2)) +
                         tlv("WPKY", BackupFixture::aesWrap(expected, k4));
        _KeybagInfo unlocked = parseKeybag(bag);
        QVERIFY(unlockWithPasscode(password, unlocked));
        const QByteArray manifestKey = QByteArray::fromHex("04000000") + BackupFixture::aesWrap(k4, indexKey);
        QCOMPARE(unwrapManifestKey(unlocked, manifestKey), indexKey);
        QVERIFY(unwrapManifestKey(unlocked, QByteArray::fromHex("00000004") + manifestKey.mid(4)).isEmpty());
        QVERIFY(unwrapManifestKey(unlocked, manifestKey.left(43)).isEmpty());
        _KeybagInfo wrong = parseKeybag(bag);
        QVERIFY(!unlockWithPasscode("pass", wrong));

        // A missing or absurd first-stage count is refused, not run.
        _KeybagInfo noCount = parseKeybag(tlv("ITER", be32(10)) + tlv("DPSL", dpsl));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, derivePasscodeKey(password, noCount));
        _KeybagInfo huge = parseKeybag(tlv("ITER", be32(10)) + tlv("DPSL", dpsl) + tlv("DPIC", be32(0xFFFFFFFF)));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, derivePasscodeKey(password, huge));
    }
};

QTEST_GUILESS_MAIN(TestKeybag)
#include "test_keybag.moc"
