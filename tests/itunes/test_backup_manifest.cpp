#include "fixtures/BackupFixture.h"
#include "itunes/BackupListing.h"
#include "itunes/BackupManifest.h"
#include "itunes/MBDBParser.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

namespace {
using Node = BackupManifest::_FileNode;

QByteArray pattern(qsizetype n)
{
    QByteArray b(n, '\0');
    for (qsizetype i = 0; i < n; ++i)
        b[i] = char((i * 7 + i / 251) & 0xFF);
    return b;
}

QStringList childNames(const Node* n)
{
    QStringList names;
    for (const auto& c : n->children)
        names << c->name;
    return names;
}

void recordProgress(qint64 total, qint64 done, void* userData)
{
    auto* calls = static_cast<QList<QPair<qint64, qint64>>*>(userData);
    calls->append({total, done});
}

const QList<qsizetype> kSizes = {0, 1, 15, 16, 17, 8192, 8193, 1024 * 1024 + 5};
const QString kApp = QStringLiteral("AppDomain-com.viber");
} // namespace

class TestBackupManifest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;

    BackupFixture sizedFixture(bool encrypted)
    {
        BackupFixture fx;
        fx.encrypted = encrypted;
        fx.password = "pa55 wörd";
        fx.addFolder(kApp, QString());
        fx.addFolder(kApp, u"Documents"_qs);
        for (qsizetype n : kSizes)
            fx.addFile(kApp, QStringLiteral("Documents/f%1.bin").arg(n), pattern(n));
        return fx;
    }

private slots:
    void readsManifestInfo()
    {
        BackupFixture fx;
        fx.binaryPlists = true;
        const QString path = fx.write(m_tmp.filePath(u"info"_qs), fx.udid + u"-20240305-102030"_qs);
        BackupManifest b(path, g_testDataFolders());
        b.readManifestInfo();
        QCOMPARE(b.info().deviceName, u"Test iPhone"_qs);
        QCOMPARE(b.info().uniqueDeviceID, fx.udid);
        QCOMPARE(b.info().productType, u"iPhone9,3"_qs);
        QCOMPARE(b.info().productVersion, u"10.3.3"_qs);
        QCOMPARE(b.info().serialNumber, u"F17TESTSERIAL"_qs);
        QCOMPARE(b.info().date, QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30), Qt::LocalTime));
        QVERIFY(!b.info().isEncrypted);
        QCOMPARE(b.displayName(), u"Test iPhone-20240305-102030"_qs);
        QCOMPARE(b.dirPathMd5().size(), 32);
        QCOMPARE(BackupManifest(path + u"/."_qs, g_testDataFolders()).dirPathMd5(), b.dirPathMd5());

        const QString other = fx.write(m_tmp.filePath(u"info"_qs), u"Copied Backup"_qs);
        BackupManifest c(other, g_testDataFolders());
        c.readManifestInfo();
        QCOMPARE(c.displayName(), u"Test iPhone-Copied Backup"_qs);

        // A backup without a device identifier must not have its name mangled.
        QVERIFY(g_writeFile(other + u"/Manifest.plist"_qs,
                            "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Lockdown</key><dict>"
                            "<key>DeviceName</key><string>Phone</string></dict></dict></plist>"));
        c.readManifestInfo();
        QCOMPARE(c.displayName(), u"Phone-Copied Backup"_qs);
        QVERIFY(!c.info().date.isValid());

        QVERIFY(g_writeFile(other + u"/Manifest.plist"_qs, "garbage"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, c.readManifestInfo());
        QFile::remove(other + u"/Manifest.plist"_qs);
        try {
            c.readManifestInfo();
            QFAIL("no error");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), u"Cannot find "_qs + other + u"/Manifest.plist"_qs);
        }
    }

    void buildsTheTree()
    {
        BackupFixture fx;
        fx.addFolder(kApp, QString());
        fx.addFolder(kApp, u"Documents"_qs);
        fx.addFile(kApp, u"Documents/Contacts.data"_qs, "db");
        fx.addFile(kApp, u"Library/Caches/orphan.txt"_qs, "o"); // no folder records above it
        fx.addFolder(u"AppDomainGroup-group.viber.share"_qs, QString());
        fx.addFile(u"AppDomainGroup-group.viber.share"_qs, u"shared.plist"_qs, "s");
        fx.addFolder(u"HomeDomain"_qs, u"Library"_qs);
        fx.addFolder(u"RootDomain"_qs, u"Library"_qs); // same tree path: first domain wins
        fx.addFile(u"HomeDomain"_qs, u"Library/x.db"_qs, "x");
        fx.addFolder(u"CameraRollDomain"_qs, u"Media"_qs);
        fx.addFile(u"CameraRollDomain"_qs, u"Media/a.jpg"_qs, "j");
        fx.addFile(u"SysContainerDomain-com.apple.x"_qs, u"y"_qs, "y");
        fx.addFile(u"HomeDomain"_qs, QString(), "nameless"); // no name: skipped
        BackupManifest b(fx.write(m_tmp.filePath(u"tree"_qs)), g_testDataFolders());
        b.parseInfo();
        b.parseInfo(); // built once

        const Node& root = b.rootNode();
        // Sorted by domain and path; the orphan's parent folders have no
        // records: they exist all the same, implied by its path.
        QCOMPARE(childNames(&root), (QStringList{u"Applications"_qs, u"AppDomainGroup"_qs, u"Media"_qs, u"Library"_qs,
                                                 u"SysContainerDomain-com.apple.x"_qs}));
        QCOMPARE(root.children.at(1)->parent, &root);
        const Node* orphan = b.findNode(u"Applications/com.viber/Library/Caches/orphan.txt"_qs);
        QVERIFY(orphan);
        QCOMPARE(orphan->item.size, quint64(1));
        const Node* caches = b.findNode(u"Applications/com.viber/Library/Caches"_qs);
        QVERIFY(caches && caches->item.isFolder());
        QCOMPARE(caches->item.domain.toString(), kApp);
        QCOMPARE(caches->item.path.toString(), u"Library/Caches"_qs);
        QCOMPARE(orphan->parent, caches);
        QVERIFY(b.findNode(u"Applications/com.viber/Documents/Contacts.data"_qs));
        QCOMPARE(b.findNode(u"Applications/com.viber/Documents/Contacts.data"_qs)->item.size, quint64(2));
        QVERIFY(b.findNode(u"AppDomainGroup/group.viber.share/shared.plist"_qs));
        QCOMPARE(b.findNode(u"Library"_qs)->item.domain.toString(), u"HomeDomain"_qs);
        QVERIFY(b.findNode(u"Library/x.db"_qs));
        QVERIFY(b.findNode(u"Media/a.jpg"_qs)); // CameraRollDomain shares the top
        QVERIFY(b.findNode(u"SysContainerDomain-com.apple.x/y"_qs));
        QCOMPARE(b.findNode(u"Applications"_qs)->item.lastModified, 0u);
    }

    void copiesPlainAndEncryptedFiles_data()
    {
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<bool>("binary");
        QTest::newRow("plain") << false << false;
        QTest::newRow("encrypted") << true << false;
        QTest::newRow("encrypted, binary plists") << true << true;
    }

    void copiesPlainAndEncryptedFiles()
    {
        QFETCH(bool, encrypted);
        QFETCH(bool, binary);
        BackupFixture fx = sizedFixture(encrypted);
        fx.binaryPlists = binary;
        const QString folder = fx.write(m_tmp.filePath(QTest::currentDataTag()));
        BackupManifest b(folder, g_testDataFolders());
        b.readManifestInfo();
        QCOMPARE(b.info().isEncrypted, encrypted);
        if (encrypted) {
            QVERIFY(!b.setPasscode(u"pa55 word"_qs));
            QVERIFY(!b.setPasscode(QString()));
            QVERIFY(b.setPasscode(u"pa55 wörd"_qs));
        }
        b.parseInfo();
        for (qsizetype n : kSizes) {
            const Node* node = b.findNode(QStringLiteral("Applications/com.viber/Documents/f%1.bin").arg(n));
            QVERIFY(node);
            const QString dest = m_tmp.filePath(QStringLiteral("out-%1").arg(n));
            QList<QPair<qint64, qint64>> calls;
            b.copyFile(node, dest, &calls, recordProgress);
            QCOMPARE(g_readFile(dest), pattern(n));
            QCOMPARE(QFileInfo(dest).lastModified().toSecsSinceEpoch(), qint64(1500000000));
            if (n > 0) {
                const qint64 stored = QFileInfo(folder + u'/' + node->item.backupFileName()).size();
                QCOMPARE(calls.last(), qMakePair(stored, stored));
            }
        }
    }

    void refusesBrokenOrLockedEncryptedFiles()
    {
        const QString folder = sizedFixture(true).write(m_tmp.filePath(u"broken"_qs));
        BackupManifest b(folder, g_testDataFolders());
        b.readManifestInfo();
        b.parseInfo();
        const Node* node = b.findNode(u"Applications/com.viber/Documents/f8193.bin"_qs);
        const QString dest = m_tmp.filePath(u"broken-out"_qs);
        // Without the password the ciphertext must not come out as the file,
        // and an existing file at dest stays as it was.
        QVERIFY(g_writeFile(dest, "keep"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, b.copyFile(node, dest, nullptr, nullptr));
        QCOMPARE(g_readFile(dest), QByteArray("keep"));
        QVERIFY(b.setPasscode(u"pa55 wörd"_qs));

        const QString stored = folder + u'/' + node->item.backupFileName();
        const QByteArray cipher = g_readFile(stored);
        QVERIFY(g_writeFile(stored, cipher.left(cipher.size() - 32))); // ends early, still whole blocks
        try {
            b.copyFile(node, dest, nullptr, nullptr);
            QFAIL("no error");
        } catch (const std::runtime_error& e) {
            QVERIFY(QString::fromUtf8(e.what()).contains(u"does not match the recorded size"_qs));
        }
        // Whole blocks beyond the padding are not cut off quietly either.
        QVERIFY(g_writeFile(stored, cipher + cipher.right(32)));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, b.copyFile(node, dest, nullptr, nullptr));
        QVERIFY(g_writeFile(stored, cipher.left(cipher.size() - 5))); // not whole blocks
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, b.copyFile(node, dest, nullptr, nullptr));
        QFile::remove(stored);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, b.copyFile(node, dest, nullptr, nullptr));
    }

    void listsBackupsNewestFirst()
    {
        const QString dir = m_tmp.filePath(u"list"_qs);
        BackupFixture older;
        older.date = QDateTime(QDate(2023, 1, 2), QTime(3, 4, 5), Qt::UTC);
        older.write(dir, u"older"_qs);
        BackupFixture newer;
        newer.encrypted = true;
        newer.password = "x";
        newer.write(dir, u"newer"_qs);
        const QString broken = older.write(dir, u"broken"_qs);
        QVERIFY(g_writeFile(broken + u"/Manifest.plist"_qs, "nope"));
        const QString noMbdb = older.write(dir, u"no-mbdb"_qs);
        QFile::remove(noMbdb + u"/Manifest.mbdb"_qs);

        const _BackupListing l = g_listItunesBackups(QDir(dir), g_testDataFolders());
        QCOMPARE(l.backups.size(), 2);
        QCOMPARE(l.backups.at(0)->root().dirName(), u"newer"_qs);
        QVERIFY(l.backups.at(0)->info().isEncrypted);
        QCOMPARE(l.backups.at(1)->root().dirName(), u"older"_qs);
        QCOMPARE(l.errors.size(), 1);
        QVERIFY(l.errors.at(0).startsWith(u"load "_qs + broken + u" error. "_qs));
    }
};

QTEST_GUILESS_MAIN(TestBackupManifest)
#include "test_backup_manifest.moc"
