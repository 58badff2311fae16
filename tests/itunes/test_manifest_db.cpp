#include "fixtures/BackupFixture.h"
#include "itunes/BackupManifest.h"
#include "itunes/ManifestDb.h"
#include "itunes/ManifestDbWriter.h"
#include "sqlite/Sqlite3DB.h"
#include "shell/DataFolders.h"
#include "shell/UserTexts.h"
#include "support/RecordingProgress.h"
#include "support/TestEnv.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <stdexcept>

namespace {
using Node = BackupManifest::_FileNode;

const QString kViber = QStringLiteral("AppDomain-com.viber");

BackupFixture currentFixture(const QByteArray& password = QByteArray())
{
    BackupFixture f;
    f.generation = BackupFixture::ManifestDb;
    f.productVersion = QStringLiteral("14.4");
    f.encrypted = !password.isEmpty();
    f.password = password;
    f.addFolders(kViber, QStringLiteral("Documents"));
    f.addFile(kViber, QStringLiteral("Documents/Contacts.data"), QByteArray("store ").repeated(1000));
    f.addFile(kViber, QStringLiteral("Documents/sixteen.bin"), QByteArray(32, 's')); // a multiple of 16
    f.addFolders(QStringLiteral("AppDomainGroup-group.viber.share.container"), QStringLiteral("Library"));
    f.addFile(QStringLiteral("AppDomainGroup-group.viber.share.container"), QStringLiteral("Library/g.txt"), "group");
    f.addFolders(QStringLiteral("HomeDomain"), QStringLiteral("Library"));
    f.addFile(QStringLiteral("HomeDomain"), QStringLiteral("Library/h.txt"), "home", 4);
    BackupFixtureRecord link;
    link.domain = QStringLiteral("HomeDomain");
    link.path = QStringLiteral("Library/link");
    link.linkTarget = QStringLiteral("h.txt");
    f.addRecord(link);
    return f;
}

// Every file below the data folder's cache.
QStringList filesInCache()
{
    QStringList files;
    QDirIterator it(g_testDataFolders().cacheDir().absolutePath(), QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

QByteArray copyOut(const BackupManifest& b, const QString& treePath, const QString& dest)
{
    const Node* node = b.findNode(treePath);
    if (!node)
        throw std::runtime_error("no node " + treePath.toStdString());
    b.copyFile(node, dest, nullptr, nullptr);
    return g_readFile(dest);
}

void executeOn(const QString& db, const char* sql)
{
    Sqlite3DB d;
    d.openThrow(db, 2);
    d.executeThrow(Sqlite3Sql(sql));
}
} // namespace

class TestManifestDb : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    int m_n = 0;

    QString out() { return m_tmp.filePath(QStringLiteral("out%1").arg(++m_n)); }

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void plainTreeAndContents()
    {
        const QString folder = currentFixture().write(m_tmp.filePath(u"plain"_qs));
        QVERIFY(!QFileInfo::exists(folder + u"/Manifest.mbdb"_qs));
        BackupManifest b(folder, g_testDataFolders());
        b.readManifestInfo();
        QCOMPARE(b.generation(), BackupGeneration::ManifestDb);
        QCOMPARE(b.info().productVersion, u"14.4"_qs);
        b.parseInfo();
        QVERIFY(b.findNode(u"Applications/com.viber/Documents"_qs)->item.isFolder());
        QCOMPARE(copyOut(b, u"Applications/com.viber/Documents/Contacts.data"_qs, out()),
                 QByteArray("store ").repeated(1000));
        QCOMPARE(copyOut(b, u"AppDomainGroup/group.viber.share.container/Library/g.txt"_qs, out()),
                 QByteArray("group"));
        // HomeDomain shares the top of the tree.
        QCOMPARE(copyOut(b, u"Library/h.txt"_qs, out()), QByteArray("home"));
        const Node* link = b.findNode(u"Library/link"_qs);
        QVERIFY(link && !link->item.isFolder());
        QCOMPARE(link->item.linkTarget.toString(), u"h.txt"_qs);
        QCOMPARE(b.findNode(u"Library/h.txt"_qs)->item.protectionClass, quint8(4));
        // A backup decrypted by another tool keeps the file keys in its
        // index; the plain flag of Manifest.plist decides.
        const QString hId = QString::fromLatin1(BackupFixture::sha1Hex(u"HomeDomain"_qs, u"Library/h.txt"_qs));
        {
            Sqlite3DB db;
            db.openThrow(folder + u"/Manifest.db"_qs, 2);
            db.executeThrow(Sqlite3Sql("UPDATE Files SET file = ? WHERE fileID = ?")
                                .addBlobParam(BackupFixture::mbFileArchive(u"Library/h.txt"_qs, 4, 4, 0x81A4, 1,
                                                                           QByteArray(44, 'k'), QString(), 5))
                                .addTextParam(hId));
        }
        BackupManifest decrypted(folder, g_testDataFolders());
        decrypted.readManifestInfo();
        decrypted.parseInfo();
        QCOMPARE(copyOut(decrypted, u"Library/h.txt"_qs, out()), QByteArray("home"));
        QVERIFY(filesInCache().isEmpty()); // the working copy of the index is gone
        QCOMPARE(QDir(folder).entryList(QDir::Files), (QStringList{u"Info.plist"_qs, u"Manifest.db"_qs, u"Manifest.plist"_qs, u"Status.plist"_qs}));
    }

    void damagedRowsAreSkipped()
    {
        const QString folder = currentFixture().write(m_tmp.filePath(u"damaged"_qs));
        const QString db = folder + u"/Manifest.db"_qs;
        const QString hId = QString::fromLatin1(BackupFixture::sha1Hex(u"HomeDomain"_qs, u"Library/h.txt"_qs));
        const QString gId = QString::fromLatin1(
            BackupFixture::sha1Hex(u"AppDomainGroup-group.viber.share.container"_qs, u"Library/g.txt"_qs));
        // A row whose MBFile is garbage, a row whose fileID names another
        // file, and a row without an MBFile (which still names its file).
        executeOn(db, qPrintable(u"UPDATE Files SET file = x'62706c6973743030ff' WHERE fileID = '%1'"_qs.arg(hId)));
        executeOn(db, "UPDATE Files SET fileID = '0000000000000000000000000000000000000000' "
                      "WHERE relativePath = 'Documents/sixteen.bin'");
        executeOn(db, qPrintable(u"UPDATE Files SET file = NULL WHERE fileID = '%1'"_qs.arg(gId)));

        BackupManifest b(folder, g_testDataFolders());
        b.readManifestInfo();
        b.parseInfo();
        QVERIFY(!b.findNode(u"Library/h.txt"_qs));
        QVERIFY(!b.findNode(u"Applications/com.viber/Documents/sixteen.bin"_qs));
        QCOMPARE(copyOut(b, u"Applications/com.viber/Documents/Contacts.data"_qs, out()),
                 QByteArray("store ").repeated(1000));
        const Node* g = b.findNode(u"AppDomainGroup/group.viber.share.container/Library/g.txt"_qs);
        QVERIFY(g);
        QCOMPARE(g->item.size, quint64(5));
        QCOMPARE(copyOut(b, u"AppDomainGroup/group.viber.share.container/Library/g.txt"_qs, out()),
                 QByteArray("group"));

        // An index that is no database, or lacks the table, is an error.
        g_writeFile(db, "not a database at all, not even close to one");
        BackupManifest broken(folder, g_testDataFolders());
        broken.readManifestInfo();
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, broken.parseInfo());
    }

    void encryptedUnlocksDecryptsAndForgetsTheIndex()
    {
        const QByteArray password("pa55 w\xc3\xb6rd");
        const QString folder = currentFixture(password).write(m_tmp.filePath(u"enc"_qs));
        BackupManifest b(folder, g_testDataFolders());
        b.readManifestInfo();
        QVERIFY(b.info().isEncrypted);
        QCOMPARE(b.info().manifestKey.size(), 44);
        // Locked, the index cannot be read at all.
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, b.parseInfo());

        QVERIFY(!b.setPasscode(u"pa55 word"_qs));
        QVERIFY(!b.isUnlocked());
        QVERIFY(filesInCache().isEmpty());

        QVERIFY(b.setPasscode(QString::fromUtf8(password)));
        b.parseInfo();
        QCOMPARE(copyOut(b, u"Applications/com.viber/Documents/Contacts.data"_qs, out()),
                 QByteArray("store ").repeated(1000));
        QCOMPARE(copyOut(b, u"Applications/com.viber/Documents/sixteen.bin"_qs, out()), QByteArray(32, 's'));
        QCOMPARE(copyOut(b, u"Library/h.txt"_qs, out()), QByteArray("home"));
        // The decrypted index was only a working copy, in an owner-only folder.
        QVERIFY(filesInCache().isEmpty());
        const QFileInfo index(g_testDataFolders().cacheDir().filePath(u"index"_qs));
        QCOMPARE(index.permissions() & 0x0077, QFile::Permissions());
    }

    void unlockingIsAStageAndRemembered()
    {
        BackupFixture f = currentFixture("pw");
        f.firstStageIterations = 40000; // two checkpoints
        const QString folder = f.write(m_tmp.filePath(u"stage"_qs));

        BackupManifest first(folder, g_testDataFolders());
        first.readManifestInfo();
        RecordingProgress cancelling;
        cancelling.cancelAfterUpdates(2);
        QVERIFY_THROWS_EXCEPTION(JobCancelled, first.setPasscode(u"pw"_qs, &cancelling));
        QVERIFY(!first.isUnlocked());
        QCOMPARE(cancelling.updates().first().status, ids("IDS_UNLOCKING_BACKUP"));

        RecordingProgress progress;
        QVERIFY(first.setPasscode(u"pw"_qs, &progress));
        QCOMPARE(progress.updates().first().status, u"Unlocking the backup…"_qs);
        QCOMPARE(progress.updates().last().percent, 81); // 32768 of 40000 rounds

        // A second open of the same backup with the same password does not
        // derive again (a closed progress would stop a derivation at once);
        // another password still does.
        BackupManifest second(folder, g_testDataFolders());
        second.readManifestInfo();
        RecordingProgress closed;
        closed.setClosed(true);
        QVERIFY(second.setPasscode(u"pw"_qs, &closed));
        QVERIFY(closed.updates().isEmpty());
        second.parseInfo();
        QCOMPARE(copyOut(second, u"Library/h.txt"_qs, out()), QByteArray("home"));
        QVERIFY_THROWS_EXCEPTION(JobCancelled, second.setPasscode(u"other"_qs, &closed));
    }

    void encryptedSizeMustMatchContent()
    {
        const QString folder = currentFixture("pw").write(m_tmp.filePath(u"sizes"_qs));
        BackupManifest b(folder, g_testDataFolders());
        b.readManifestInfo();
        QVERIFY(b.setPasscode(u"pw"_qs));
        b.parseInfo();
        const Node* node = b.findNode(u"Applications/com.viber/Documents/sixteen.bin"_qs);
        const QString stored = b.storedFilePath(node->item);
        const QByteArray cipher = g_readFile(stored);
        QCOMPARE(cipher.size(), 48); // 32 bytes and a whole block of padding

        // Whole blocks beyond the padding, or missing: an error, not a file
        // cut to the record's size or short of it.
        for (const QByteArray& content : {cipher + cipher.right(32), cipher.left(32), cipher.left(16)}) {
            g_writeFile(stored, content);
            const QString dest = out();
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, b.copyFile(node, dest, nullptr, nullptr));
            QVERIFY(!QFileInfo::exists(dest));
        }
        g_writeFile(stored, cipher);
        QCOMPARE(copyOut(b, u"Applications/com.viber/Documents/sixteen.bin"_qs, out()), QByteArray(32, 's'));

        // A row without its MBFile has no key: its still-encrypted bytes are
        // not handed out as the file.
        const QString index = folder + u"/Manifest.db"_qs;
        const QString plain = m_tmp.filePath(u"plain-index"_qs);
        g_decryptManifestDbThrow(index, plain, b.indexKey());
        executeOn(plain, "UPDATE Files SET file = NULL WHERE relativePath = 'Documents/sixteen.bin'");
        g_encryptBackupFileThrow(plain, index, b.indexKey());
        BackupManifest keyless(folder, g_testDataFolders());
        keyless.readManifestInfo();
        QVERIFY(keyless.setPasscode(u"pw"_qs));
        keyless.parseInfo();
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 copyOut(keyless, u"Applications/com.viber/Documents/sixteen.bin"_qs, out()));
        QCOMPARE(copyOut(keyless, u"Library/h.txt"_qs, out()), QByteArray("home"));
    }

    void plainFileShorterThanItsRecord()
    {
        const QString folder = currentFixture().write(m_tmp.filePath(u"short"_qs));
        BackupManifest b(folder, g_testDataFolders());
        b.readManifestInfo();
        b.parseInfo();
        const Node* node = b.findNode(u"Applications/com.viber/Documents/Contacts.data"_qs);
        g_writeFile(b.storedFilePath(node->item), "store");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, b.copyFile(node, out(), nullptr, nullptr));
    }

    void aFullDiskIsNamedWithTheSystemsReason_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::newRow("plain") << QByteArray();
        QTest::newRow("encrypted") << QByteArray("pw");
    }

    void aFullDiskIsNamedWithTheSystemsReason()
    {
        // Files written into the backup used to fail with "...ferrowick-new:
        // Unknown error" on a full disk.
        QFETCH(QByteArray, password);
        const QString folder = currentFixture(password).write(m_tmp.filePath(u"full"_qs),
                                                              QString::fromLatin1(QTest::currentDataTag()));
        const QString big = m_tmp.filePath(u"big-%1.bin"_qs.arg(QString::fromLatin1(QTest::currentDataTag())));
        g_writeFile(big, QByteArray(512 * 1024, 'b'));
        BackupManifest b(folder, g_testDataFolders());
        b.readManifestInfo();
        if (!password.isEmpty())
            QVERIFY(b.setPasscode(QString::fromLatin1(password)));
        b.parseInfo();
        ManifestDbWriter w(b);
        QString error;
        {
            // A file size limit stands in for the full disk: writes past it
            // fail with EFBIG instead of raising a signal.
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            rlimit small = old;
            small.rlim_cur = 64 * 1024;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            try {
                w.addFileThrow(kViber, u"Documents/Attachments/big.jpg"_qs, big);
            } catch (const std::runtime_error& e) {
                error = QString::fromUtf8(e.what());
            }
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        }
        QVERIFY2(error.contains(qt_error_string(EFBIG)), qPrintable(error));
        QVERIFY2(error.contains(folder), qPrintable(error));
        QVERIFY2(!error.contains(u"Unknown error"_qs), qPrintable(error));
    }

    void writtenFilesReadBack_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::newRow("plain") << QByteArray();
        QTest::newRow("encrypted") << QByteArray("pw");
    }

    void writtenFilesReadBack()
    {
        QFETCH(QByteArray, password);
        const QString folder = currentFixture(password).write(m_tmp.filePath(u"write"_qs), QString::fromLatin1(QTest::currentDataTag()));
        const QByteArray oldIndex = g_readFile(folder + u"/Manifest.db"_qs);
        const QString store = m_tmp.filePath(u"new-store"_qs);
        const QString deep = m_tmp.filePath(u"deep.bin"_qs);
        g_writeFile(store, QByteArray("new store content"));
        g_writeFile(deep, QByteArray(4096 + 3, 'd'));

        auto open = [&] {
            auto b = std::make_unique<BackupManifest>(folder, g_testDataFolders());
            b->readManifestInfo();
            if (!password.isEmpty() && !b->setPasscode(QString::fromLatin1(password)))
                throw std::runtime_error("does not unlock");
            b->parseInfo();
            return b;
        };
        const auto before = open();
        const QByteArray oldKey =
            before->findNode(u"Applications/com.viber/Documents/Contacts.data"_qs)->item.encryptionKey.value;

        {
            // Abandoned: the backup stays exactly as it was.
            const auto abandoned = open();
            ManifestDbWriter w(*abandoned);
            QVERIFY(w.addFileThrow(kViber, u"Documents/Contacts.data"_qs, store));
        }
        QCOMPARE(g_readFile(folder + u"/Manifest.db"_qs), oldIndex);
        QCOMPARE(copyOut(*open(), u"Applications/com.viber/Documents/Contacts.data"_qs, out()),
                 QByteArray("store ").repeated(1000));

        const auto target = open();
        ManifestDbWriter w(*target);
        QVERIFY(w.addFileThrow(kViber, u"Documents/Contacts.data"_qs, store));
        QVERIFY(w.addFileThrow(kViber, u"Documents/new/deeper/x.bin"_qs, deep));
        QVERIFY(!w.addFileThrow(kViber, u"Documents/sixteen.bin"_qs, deep, false));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, w.addFileThrow(kViber, u"/abs"_qs, deep));
        QCOMPARE(g_readFile(folder + u"/Manifest.db"_qs), oldIndex); // not before commit
        w.commitThrow();

        const auto after = open();
        QCOMPARE(copyOut(*after, u"Applications/com.viber/Documents/Contacts.data"_qs, out()),
                 QByteArray("new store content"));
        QCOMPARE(copyOut(*after, u"Applications/com.viber/Documents/new/deeper/x.bin"_qs, out()),
                 QByteArray(4096 + 3, 'd'));
        QCOMPARE(copyOut(*after, u"Applications/com.viber/Documents/sixteen.bin"_qs, out()), QByteArray(32, 's'));
        QCOMPARE(copyOut(*after, u"Library/h.txt"_qs, out()), QByteArray("home"));
        QVERIFY(after->findNode(u"Applications/com.viber/Documents/new"_qs)->item.isFolder());
        const _MBDBItem& written = after->findNode(u"Applications/com.viber/Documents/Contacts.data"_qs)->item;
        QCOMPARE(written.size, quint64(17));
        // The record keeps the phone's inode, gets a fresh key when encrypted.
        QCOMPARE(written.inodeLow,
                 before->findNode(u"Applications/com.viber/Documents/Contacts.data"_qs)->item.inodeLow);
        QCOMPARE(written.encryptionKey.isValid(), !password.isEmpty());
        if (!password.isEmpty())
            QVERIFY(written.encryptionKey.value != oldKey);
        const quint32 newInode = after->findNode(u"Applications/com.viber/Documents/new/deeper/x.bin"_qs)->item.inodeLow;
        // New records take inode numbers no record had.
        std::function<quint32(const Node&)> largest = [&](const Node& n) {
            quint32 m = n.item.inodeLow;
            for (const auto& child : n.children)
                m = std::max(m, largest(*child));
            return m;
        };
        QVERIFY(newInode > largest(before->rootNode()));

        // Nothing staged or decrypted is left anywhere.
        QDirIterator it(folder, {u"*.ferrowick-new"_qs, u"Manifest.db.*"_qs}, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY(!it.hasNext());
        QVERIFY2(filesInCache().isEmpty(), qPrintable(filesInCache().join(u' ')));
    }
};

QTEST_GUILESS_MAIN(TestManifestDb)
#include "test_manifest_db.moc"
