#include "itunes/Keybag.h"

#include "itunes/AesCrypto.h"

#include <mbedtls/md.h>
#include <mbedtls/pkcs5.h>

#include <stdexcept>

namespace {
// Far above what backups use (10 000, and 10 000 000 for the first stage); a
// crafted count must not stall the program for hours.
constexpr quint32 kMaxIterations = 10'000'000;
constexpr quint32 kMaxFirstStageIterations = 50'000'000;
constexpr int kPasscodeWrap = 2;

quint32 bigEndian32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return (quint32(u[0]) << 24) | (quint32(u[1]) << 16) | (quint32(u[2]) << 8) | quint32(u[3]);
}

bool isClassTag(const QString& tag)
{
    return tag == QLatin1String("CLAS") || tag == QLatin1String("WRAP") || tag == QLatin1String("WPKY") ||
           tag == QLatin1String("KTYP") || tag == QLatin1String("PBKY");
}

QByteArray pbkdf2Sha1(const QByteArray& password, const QByteArray& salt, quint32 iterations)
{
    QByteArray key(32, '\0');
    mbedtls_md_context_t md;
    mbedtls_md_init(&md);
    int rc = mbedtls_md_setup(&md, mbedtls_md_info_from_type(MBEDTLS_MD_SHA1), 1);
    if (rc == 0)
        rc = mbedtls_pkcs5_pbkdf2_hmac(&md, reinterpret_cast<const unsigned char*>(password.constData()),
                                       size_t(password.size()), reinterpret_cast<const unsigned char*>(salt.constData()),
                                       size_t(salt.size()), iterations, 32,
                                       reinterpret_cast<unsigned char*>(key.data()));
    mbedtls_md_free(&md);
    if (rc != 0)
        throw std::runtime_error("The backup password could not be checked (key derivation failed).");
    return key;
}
} // namespace

quint32 _KeybagPros::getInt32(const QString& tag) const
{
    const QByteArray v = value(tag);
    return v.size() < 4 ? 0 : bigEndian32(v.constData());
}

_KeybagInfo parseKeybag(const QByteArray& data)
{
    _KeybagInfo info;
    _KeybagPros group;
    const qsizetype size = data.size();
    qsizetype pos = 0;
    while (pos < size) {
        if (size - pos < 8)
            throw std::runtime_error("The backup keybag is damaged: an entry is cut short.");
        const QString tag = QString::fromLatin1(data.constData() + pos, 4);
        const quint32 length = bigEndian32(data.constData() + pos + 4);
        pos += 8;
        if (quint64(length) > quint64(size - pos))
            throw std::runtime_error("The backup keybag is damaged: an entry is longer than the keybag.");
        const QByteArray value = data.mid(pos, qsizetype(length));
        pos += qsizetype(length);

        if (tag == QLatin1String("UUID") && !info.attrs.contains(tag)) {
            info.attrs.insert(tag, value);
        } else if (tag == QLatin1String("WRAP") && !info.attrs.contains(tag)) {
            info.attrs.insert(tag, value);
        } else if (tag == QLatin1String("UUID")) {
            // A new class-key group starts; the previous one is already stored.
            group.clear();
            group.insert(tag, value);
        } else if (isClassTag(tag)) {
            group.insert(tag, value);
        } else {
            info.attrs.insert(tag, value);
        }
        if (group.contains(QStringLiteral("CLAS")))
            info.classKeys.insert(int(group.getInt32(QStringLiteral("CLAS"))), group);
    }
    return info;
}

QByteArray derivePasscodeKey(const QByteArray& password, const _KeybagInfo& keybag,
                             const KeyDerivationCheckpoint& checkpoint)
{
    const quint32 iterations = keybag.attrs.getInt32(QStringLiteral("ITER"));
    if (iterations > kMaxIterations)
        throw std::runtime_error("The backup keybag is damaged: its iteration count is out of range.");
    QByteArray secret = password;
    if (keybag.attrs.contains(QStringLiteral("DPSL"))) {
        const quint32 firstStage = keybag.attrs.getInt32(QStringLiteral("DPIC"));
        if (firstStage == 0 || firstStage > kMaxFirstStageIterations)
            throw std::runtime_error("The backup keybag is damaged: its iteration count is out of range.");
        secret = g_pbkdf2HmacSha256(password, keybag.attrs.value(QStringLiteral("DPSL")), firstStage, 32, checkpoint);
    }
    return pbkdf2Sha1(secret, keybag.attrs.value(QStringLiteral("SALT")), iterations);
}

bool unlockWithPasscode(const QByteArray& password, _KeybagInfo& keybag, const KeyDerivationCheckpoint& checkpoint)
{
    return unlockWithKey(derivePasscodeKey(password, keybag, checkpoint), keybag);
}

bool unlockWithKey(const QByteArray& key, _KeybagInfo& keybag)
{
    for (auto it = keybag.classKeys.begin(); it != keybag.classKeys.end(); ++it) {
        if (!it->contains(QStringLiteral("WPKY")) || !(it->getInt32(QStringLiteral("WRAP")) & kPasscodeWrap))
            continue;
        const QByteArray classKey = g_aesKeyUnwrap(key, it->value(QStringLiteral("WPKY")));
        if (classKey.isEmpty())
            return false;
        it->insert(QStringLiteral("KEY"), classKey);
    }
    return true;
}

QByteArray unwrapKeyForClass(const _KeybagInfo& keybag, int protectionClass, const QByteArray& wrapped)
{
    const auto it = keybag.classKeys.constFind(protectionClass);
    if (it == keybag.classKeys.constEnd() || wrapped.size() != 40)
        return QByteArray();
    return g_aesKeyUnwrap(it->value(QStringLiteral("KEY")), wrapped);
}

QByteArray unwrapManifestKey(const _KeybagInfo& keybag, const QByteArray& manifestKey)
{
    if (manifestKey.size() != 44)
        return QByteArray();
    const auto* p = reinterpret_cast<const unsigned char*>(manifestKey.constData());
    const quint32 cls = quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
    if (cls > 0x7fffffff)
        return QByteArray();
    return unwrapKeyForClass(keybag, int(cls), manifestKey.mid(4));
}
