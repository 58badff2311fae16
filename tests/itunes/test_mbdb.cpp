#include "fixtures/BackupFixture.h"
#include "itunes/MBDBParser.h"
#include "support/FileBytes.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

namespace {
QByteArray be(quint64 v, int width)
{
    return BackupFixture::bigEndian(v, width);
}

// One record by hand; strings given as null QByteArray are written absent.
QByteArray record(const QByteArray& domain, const QByteArray& path, const QByteArray& link, const QByteArray& hash,
                  const QByteArray& key, quint32 inode, quint64 size, const QList<QByteArray>& props = {})
{
    auto s = [](const QByteArray& b) { return BackupFixture::mbdbString(b, b.isNull()); };
    QByteArray r = s(domain) + s(path) + s(link) + s(hash) + s(key);
    r += be(0x81A4, 2) + be(0x01020304, 4) + be(inode, 4) + be(501, 4) + be(20, 4) + be(1600000000, 4) +
         be(1600000001, 4) + be(1600000002, 4) + be(size, 8) + be(3, 1) + be(quint64(props.size() / 2), 1);
    for (const QByteArray& p : props)
        r += s(p);
    return r;
}

const QByteArray kHeader("mbdb\x05\x00", 6);

} // namespace

class TestMBDB : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString file(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private slots:
    void storedNames()
    {
        QCOMPARE(MBDBParser::getFileHashName(u"HomeDomain"_qs, u"Library/SMS/sms.db"_qs),
                 u"3d0d7e5fb2ce288813306e4d4636395e047a3d28"_qs);
        QCOMPARE(MBDBParser::getFileHashName(u"HomeDomain"_qs, QString()),
                 QString::fromLatin1(QCryptographicHash::hash("HomeDomain-", QCryptographicHash::Sha1).toHex()));
    }

    // Records in sorted order written by hand come back byte for byte, whatever
    // order they are handed to save2File in; absent (0xFFFF) and empty (0)
    // strings keep their distinction, and a property count above 127 is read.
    void roundTripIsByteExact()
    {
        QList<QByteArray> manyProps;
        for (int i = 0; i < 200; ++i)
            manyProps << QByteArray("name") + QByteArray::number(i) << QByteArray();
        const QByteArray a = record("AppDomain-com.x", "Documents", QByteArray(), QByteArray(), QByteArray(), 1, 0);
        const QByteArray b = record("HomeDomain", "", "", QByteArray(20, '\x11'), QByteArray(44, 'k'), 2, 12, manyProps);
        const QByteArray c = record("HomeDomain", "Library/a\xc3\xa9.db", "target", QByteArray(20, '\x22'), QByteArray(),
                                    0xFFFFFFFF, 0x1122334455667788ULL, {"com.apple.x", "v"});
        const QByteArray bytes = kHeader + a + b + c;
        QVERIFY(g_writeFile(file("in.mbdb"), bytes));

        const QHash<QString, _MBDBItem> items = MBDBParser::parse(file("in.mbdb"));
        QCOMPARE(items.size(), 3);
        const _MBDBItem& rb = items.value(MBDBParser::getFileHashName(u"HomeDomain"_qs, QString()));
        QCOMPARE(rb.path.length, quint16(0));
        QVERIFY(!rb.path.isValid());
        QCOMPARE(rb.properties.size(), 200);
        QCOMPARE(rb.properties.at(199).name.toString(), u"name199"_qs);
        QCOMPARE(rb.properties.at(199).value.length, quint16(0xFFFF));
        const _MBDBItem& rc = items.value(MBDBParser::getFileHashName(u"HomeDomain"_qs, u"Library/aé.db"_qs));
        QCOMPARE(rc.size, 0x1122334455667788ULL);
        QCOMPARE(rc.inodeHigh, 0x01020304u);
        QCOMPARE(rc.inodeLow, 0xFFFFFFFFu);
        QCOMPARE(rc.linkTarget.toString(), u"target"_qs);
        QCOMPARE(rc.lastAccessed, 1600000001u);
        QVERIFY(!rc.isFolder());
        QVERIFY(items.value(MBDBParser::getFileHashName(u"AppDomain-com.x"_qs, u"Documents"_qs)).isFolder());

        QList<_MBDBItem> list = items.values();
        std::reverse(list.begin(), list.end());
        MBDBParser::save2File(list, file("out.mbdb"));
        QCOMPARE(g_readFile(file("out.mbdb")), bytes);
    }

    void laterDuplicateWins()
    {
        QVERIFY(g_writeFile(file("dup.mbdb"), kHeader + record("HomeDomain", "a", {}, {}, {}, 1, 5) +
                                                  record("HomeDomain", "a", {}, {}, {}, 2, 9)));
        const auto items = MBDBParser::parse(file("dup.mbdb"));
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.begin()->size, quint64(9));
    }

    void shortAndBrokenFiles()
    {
        QVERIFY(g_writeFile(file("empty.mbdb"), QByteArray()));
        QVERIFY(MBDBParser::parse(file("empty.mbdb")).isEmpty());
        QVERIFY(g_writeFile(file("short.mbdb"), "mbd"));
        QVERIFY(MBDBParser::parse(file("short.mbdb")).isEmpty());
        QVERIFY(g_writeFile(file("header.mbdb"), kHeader));
        QVERIFY(MBDBParser::parse(file("header.mbdb")).isEmpty());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, MBDBParser::parse(file("missing.mbdb")));
        QVERIFY(g_writeFile(file("magic.mbdb"), QByteArray("SQLite format 3\0", 16)));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, MBDBParser::parse(file("magic.mbdb")));

        // Cut anywhere inside a record: an error naming the file, never a partial record.
        const QByteArray full = kHeader + record("HomeDomain", "Library/x", {}, QByteArray(20, 'h'), {}, 1, 3, {"n", "v"});
        for (qsizetype cut = kHeader.size() + 1; cut < full.size(); ++cut) {
            try {
                MBDBParser::parseBytes(full.left(cut), u"Manifest.mbdb"_qs);
                QFAIL(qPrintable(QStringLiteral("no error when cut at %1").arg(cut)));
            } catch (const std::runtime_error& e) {
                QVERIFY(QString::fromUtf8(e.what()).contains(u"Manifest.mbdb is damaged"_qs));
            }
        }
        // A length field claiming far more than the file holds.
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 MBDBParser::parseBytes(kHeader + be(0xFFFE, 2) + "abc", u"x"_qs));
    }

    void appendFileAddsParentsAndNumbersInodes()
    {
        QHash<QString, _MBDBItem> items;
        _MBDBItem docs;
        docs.domain.setVal("AppDomain-com.x");
        docs.path.setVal("Documents");
        docs.inodeLow = 41;
        items.insert(docs.backupFileName(), docs);
        _MBDBItem other;
        other.domain.setVal("HomeDomain");
        other.path.setVal("y");
        other.inodeLow = 0x80000001; // negative as signed 32-bit: not the largest
        items.insert(other.backupFileName(), other);

        QVERIFY(g_writeFile(file("local.txt"), "hello"));
        MBDBParser::appendFile(items, file("local.txt"), u"AppDomain-com.x"_qs, u"Documents/a/b.txt"_qs);
        QCOMPARE(items.size(), 4);
        const _MBDBItem folder = items.value(MBDBParser::getFileHashName(u"AppDomain-com.x"_qs, u"Documents/a"_qs));
        QCOMPARE(folder.mode, quint16(0x41C0));
        QCOMPARE(folder.inodeLow, 42u);
        QCOMPARE(folder.size, quint64(0));
        QCOMPARE(folder.dataHash.length, quint16(0xFFFF));
        const QString fileKey = MBDBParser::getFileHashName(u"AppDomain-com.x"_qs, u"Documents/a/b.txt"_qs);
        _MBDBItem f = items.value(fileKey);
        QCOMPARE(f.mode, quint16(0x81A4));
        QCOMPARE(f.inodeLow, 43u);
        QCOMPARE(f.userId, 501u);
        QCOMPARE(f.protectionClass, quint8(4));
        QCOMPARE(f.size, quint64(5));
        QCOMPARE(f.dataHash.value, QCryptographicHash::hash("hello", QCryptographicHash::Sha1));

        // Again with new content: only size, hash and times of the file change.
        QVERIFY(g_writeFile(file("local.txt"), "hello again"));
        MBDBParser::appendFile(items, file("local.txt"), u"AppDomain-com.x"_qs, u"Documents/a/b.txt"_qs);
        QCOMPARE(items.size(), 4);
        f = items.value(fileKey);
        QCOMPARE(f.inodeLow, 43u);
        QCOMPARE(f.size, quint64(11));

        // A file that cannot be read gets an empty (length 0) hash.
        MBDBParser::appendFile(items, file("nowhere"), u"HomeDomain"_qs, u"z"_qs);
        QCOMPARE(items.value(MBDBParser::getFileHashName(u"HomeDomain"_qs, u"z"_qs)).dataHash.length, quint16(0));
    }

    void tooLongTextsAreRefused()
    {
        _MBDBBinary b;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, b.setVal(QByteArray(70000, 'a')));
        b.setVal(QByteArray());
        QCOMPARE(b.length, quint16(0));
        _MBDBItem bad;
        bad.domain.length = 10; // claims bytes it does not have
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, MBDBParser::save2File({bad}, file("bad.mbdb")));
    }
};

QTEST_GUILESS_MAIN(TestMBDB)
#include "test_mbdb.moc"
