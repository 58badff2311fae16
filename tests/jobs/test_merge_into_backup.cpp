#include "fixtures/BackupFixture.h"
#include "jobs/IOSMergeWAFiles2iTunesBKThread.h"
#include "support/RecordingProgress.h"
#include "support/TestEnv.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <csignal>
#include <sys/resource.h>

namespace {
using Item = IOSMergeWAFiles2iTunesBKThread::_Item;
const QString kViber = QStringLiteral("AppDomain-com.viber");
const QString kStore = QStringLiteral("Documents/Contacts.data");

QString indexOf(const QString& folder, BackupFixture::Generation g)
{
    return folder + (g == BackupFixture::ManifestDb ? u"/Manifest.db"_qs : u"/Manifest.mbdb"_qs);
}
} // namespace

class TestMergeIntoBackup : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    int m_n = 0;

    QString backup(BackupFixture::Generation g, const QByteArray& password)
    {
        BackupFixture f;
        f.generation = g;
        f.encrypted = !password.isEmpty();
        f.password = password;
        f.addFolders(kViber, u"Documents"_qs);
        f.addFile(kViber, kStore, "old store");
        f.addFile(kViber, u"Documents/keep.txt"_qs, "keep me");
        return f.write(m_tmp.path(), u"b%1"_qs.arg(++m_n));
    }

    std::unique_ptr<BackupManifest> open(const QString& folder, const QByteArray& password)
    {
        auto b = std::make_unique<BackupManifest>(folder, g_testDataFolders());
        b->readManifestInfo();
        if (!password.isEmpty() && !b->setPasscode(QString::fromLatin1(password)))
            return nullptr;
        return b;
    }

    QByteArray readBack(BackupManifest& b, const QString& treePath)
    {
        b.parseInfo();
        const BackupManifest::_FileNode* node = b.findNode(treePath);
        if (!node)
            return "<missing>";
        const QString dest = m_tmp.filePath(u"read%1"_qs.arg(++m_n));
        b.copyFile(node, dest, nullptr, nullptr);
        return g_readFile(dest);
    }

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void writesAndReadsBack_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QByteArray>("password");
        QTest::newRow("Manifest.mbdb") << int(BackupFixture::Mbdb) << QByteArray();
        QTest::newRow("Manifest.db") << int(BackupFixture::ManifestDb) << QByteArray();
        QTest::newRow("Manifest.db encrypted") << int(BackupFixture::ManifestDb) << QByteArray("pw");
    }

    void writesAndReadsBack()
    {
        QFETCH(int, generation);
        QFETCH(QByteArray, password);
        const auto g = BackupFixture::Generation(generation);
        const QString folder = backup(g, password);
        const QString store = m_tmp.filePath(u"store%1"_qs.arg(++m_n));
        const QString atta = m_tmp.filePath(u"atta%1"_qs.arg(++m_n));
        g_writeFile(store, "merged store");
        g_writeFile(atta, QByteArray(5000, 'a'));

        auto b = open(folder, password);
        QVERIFY(b);
        RecordingProgress progress;
        IOSMergeWAFiles2iTunesBKThread job(*b,
                                           {Item(kViber, store, kStore, true),
                                            Item(kViber, atta, u"Documents/Attachments/a.jpg"_qs, true),
                                            Item(kViber, store, u"Documents/keep.txt"_qs, false),
                                            Item(kViber, m_tmp.filePath(u"missing"_qs), u"Documents/x"_qs, true)},
                                           progress);
        job.run();
        QCOMPARE(progress.errors(), QStringList());
        QCOMPARE(progress.successes(), QStringList{QString()});
        QCOMPARE(job.written(), 2);
        QCOMPARE(progress.updates().at(0).status, u"Transferring files..."_qs);
        QCOMPARE(progress.updates().at(2).detail, u"File: a.jpg"_qs);

        // A fresh reader, as the next load or a restore would see it.
        auto again = open(folder, password);
        QVERIFY(again);
        QCOMPARE(readBack(*again, u"Applications/com.viber/"_qs + kStore), QByteArray("merged store"));
        QCOMPARE(readBack(*again, u"Applications/com.viber/Documents/Attachments/a.jpg"_qs), QByteArray(5000, 'a'));
        QCOMPARE(readBack(*again, u"Applications/com.viber/Documents/keep.txt"_qs), QByteArray("keep me"));
        QVERIFY(again->findNode(u"Applications/com.viber/Documents/Attachments"_qs)->item.isFolder());
    }

    void cancelledOrRefusedLeavesTheIndex_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("Manifest.mbdb cancelled") << int(BackupFixture::Mbdb) << QByteArray() << true;
        QTest::newRow("Manifest.db cancelled") << int(BackupFixture::ManifestDb) << QByteArray("pw") << true;
        QTest::newRow("Manifest.mbdb encrypted") << int(BackupFixture::Mbdb) << QByteArray("pw") << false;
    }

    void cancelledOrRefusedLeavesTheIndex()
    {
        QFETCH(int, generation);
        QFETCH(QByteArray, password);
        QFETCH(bool, cancel);
        const auto g = BackupFixture::Generation(generation);
        const QString folder = backup(g, password);
        const QByteArray before = g_readFile(indexOf(folder, g));
        const QString store = m_tmp.filePath(u"store%1"_qs.arg(++m_n));
        g_writeFile(store, "merged store");

        auto b = open(folder, password);
        RecordingProgress progress;
        progress.cancelAfterUpdates(cancel ? 2 : 0); // during the first file
        IOSMergeWAFiles2iTunesBKThread job(
            *b, {Item(kViber, store, kStore, true), Item(kViber, store, u"Documents/b"_qs, true)}, progress);
        job.run();
        QVERIFY(progress.successes().isEmpty());
        QCOMPARE(progress.errors().isEmpty(), cancel);
        QCOMPARE(g_readFile(indexOf(folder, g)), before);
        if (password.isEmpty() || g == BackupFixture::ManifestDb)
            QCOMPARE(readBack(*open(folder, password), u"Applications/com.viber/"_qs + kStore), QByteArray("old store"));
    }

    void fullDiskLeavesEveryOldFile_data()
    {
        QTest::addColumn<int>("generation");
        QTest::newRow("Manifest.mbdb") << int(BackupFixture::Mbdb);
        QTest::newRow("Manifest.db") << int(BackupFixture::ManifestDb);
    }

    void fullDiskLeavesEveryOldFile()
    {
        // The disk fills up while the second file is written: the store,
        // written first, must not have replaced the backup's old one.
        QFETCH(int, generation);
        const auto g = BackupFixture::Generation(generation);
        const QString folder = backup(g, {});
        const QByteArray before = g_readFile(indexOf(folder, g));
        const QString store = m_tmp.filePath(u"store%1"_qs.arg(++m_n));
        const QString big = m_tmp.filePath(u"big%1"_qs.arg(++m_n));
        g_writeFile(store, "merged store");
        g_writeFile(big, QByteArray(256 * 1024, 'b'));

        auto b = open(folder, {});
        RecordingProgress progress;
        IOSMergeWAFiles2iTunesBKThread job(
            *b, {Item(kViber, store, kStore, true), Item(kViber, big, u"Documents/Attachments/big.jpg"_qs, true)},
            progress);
        {
            // A file size limit stands in for the full disk: writes past it
            // fail with EFBIG instead of raising a signal.
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            rlimit small = old;
            small.rlim_cur = 64 * 1024;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            job.run();
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        }
        QVERIFY(progress.successes().isEmpty());
        QCOMPARE(progress.errors().size(), 1);
        QCOMPARE(g_readFile(indexOf(folder, g)), before);
        auto again = open(folder, {});
        QCOMPARE(readBack(*again, u"Applications/com.viber/"_qs + kStore), QByteArray("old store"));
        QCOMPARE(readBack(*again, u"Applications/com.viber/Documents/keep.txt"_qs), QByteArray("keep me"));
        // Nothing half-written is left among the backup's files.
        QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            QVERIFY2(!it.next().contains(u".ferrowick-"_qs), qPrintable(it.filePath()));
    }
};

QTEST_GUILESS_MAIN(TestMergeIntoBackup)
#include "test_merge_into_backup.moc"
