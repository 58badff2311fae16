#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/UserTexts.h"
#include "support/FileBytes.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

namespace {
void touch(const QString& path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}
} // namespace

class TestFileRoutines : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void md5()
    {
        QCOMPARE(g_md5(QString()), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
        QCOMPARE(g_md5(QStringLiteral("abc")), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
        QCOMPARE(g_md5(QStringLiteral("ü")), QStringLiteral("c03410a5204b21cd8229ff754688d743")); // UTF-8 C3 BC
    }

    void formatFileName()
    {
        QCOMPARE(g_formatFileName(QStringLiteral(" Team/Work:\tNotes ")), QStringLiteral("TeamWorkNotes"));
        QCOMPARE(g_formatFileName(QStringLiteral("a\\b*c?d\"e<f>g|h\ni\rj")), QStringLiteral("abcdefghij"));
        QCOMPARE(g_formatFileName(QStringLiteral("Ünïcødé 😀")), QStringLiteral("Ünïcødé 😀"));
        QCOMPARE(g_formatFileName(QStringLiteral("///")), QString());
    }

    void validFilePathCollisions()
    {
        QTemporaryDir dir;
        const QString report = dir.filePath(QStringLiteral("report.txt"));
        QCOMPARE(g_getValidFilePath(report), report);
        touch(report);
        touch(dir.filePath(QStringLiteral("report(1).txt")));
        QCOMPARE(g_getValidFilePath(report), dir.filePath(QStringLiteral("report(2).txt")));

        // A folder of that name counts as taken too.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("export-html")));
        QCOMPARE(g_getValidFilePath(dir.filePath(QStringLiteral("export-html"))),
                 dir.filePath(QStringLiteral("export-html(1)")));
    }

    void validFilePathKeepsDottedNames()
    {
        QTemporaryDir dir;
        touch(dir.filePath(QStringLiteral("Mr. Smith.html")));
        touch(dir.filePath(QStringLiteral("a.tar.gz")));
        touch(dir.filePath(QStringLiteral(".hidden")));
        touch(dir.filePath(QStringLiteral("trailing.")));
        QCOMPARE(g_getValidFilePath(dir.filePath(QStringLiteral("Mr. Smith.html"))),
                 dir.filePath(QStringLiteral("Mr. Smith(1).html")));
        QCOMPARE(g_getValidFilePath(dir.filePath(QStringLiteral("a.tar.gz"))),
                 dir.filePath(QStringLiteral("a.tar(1).gz")));
        QCOMPARE(g_getValidFilePath(dir.filePath(QStringLiteral(".hidden"))),
                 dir.filePath(QStringLiteral(".hidden(1)")));
        QCOMPARE(g_getValidFilePath(dir.filePath(QStringLiteral("trailing."))),
                 dir.filePath(QStringLiteral("trailing.(1)")));
    }

    // The kernel copies regular files; what it will not copy, and files whose
    // size says nothing of their content, go through the read loop. Either way
    // the copy is whole, and an existing target is never touched.
    void copyFileCopiesEveryKindWhole()
    {
        QTemporaryDir dir;
        QByteArray big(3 * 1024 * 1024 + 17, Qt::Uninitialized);
        for (qsizetype i = 0; i < big.size(); ++i)
            big[i] = char(i * 7 + i / 4096);
        const QString src = dir.filePath(QStringLiteral("big.mp4"));
        QVERIFY(g_writeFile(src, big));
        QString error;
        QCOMPARE(g_copyFile(src, dir.filePath(QStringLiteral("copy.mp4")), error), CopyFailure::None);
        QCOMPARE(g_readFile(dir.filePath(QStringLiteral("copy.mp4"))), big);

        QVERIFY(g_writeFile(dir.filePath(QStringLiteral("empty")), QByteArray()));
        QCOMPARE(g_copyFile(dir.filePath(QStringLiteral("empty")), dir.filePath(QStringLiteral("empty2")), error),
                 CopyFailure::None);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("empty2"))).isFile());

        // A pseudo-file reports a size of zero and still has content.
        if (QFileInfo(QStringLiteral("/proc/self/status")).isFile()) {
            QCOMPARE(g_copyFile(QStringLiteral("/proc/self/status"), dir.filePath(QStringLiteral("status")), error),
                     CopyFailure::None);
            QVERIFY(g_readFile(dir.filePath(QStringLiteral("status"))).contains("Name:"));
        }

        QCOMPARE(g_copyFile(src, dir.filePath(QStringLiteral("empty2")), error), CopyFailure::Target);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("empty2"))).size() == 0);
        QCOMPARE(g_copyFile(dir.filePath(QStringLiteral("absent")), dir.filePath(QStringLiteral("x")), error),
                 CopyFailure::Source);
        QVERIFY(error.contains(QLatin1String("absent")));
    }

    void sqliteCopiesSayWhyTheyFail()
    {
        // QFile::copy said "Failure to write block: Unknown error".
        QTemporaryDir tmp;
        const QString db = tmp.filePath(QStringLiteral("a.db"));
        QVERIFY(g_writeFile(db, QByteArray(4096, 'd')));
        QVERIFY(g_writeFile(db + QStringLiteral("-wal"), QByteArray(4096, 'w')));
        const QString target = tmp.filePath(QStringLiteral("copy.db"));
        QString error;
        g_failNthWriteForTest(2); // the log, after the store
        try {
            g_copySqliteFilesThrow(db, target);
        } catch (const std::runtime_error& e) {
            error = QString::fromUtf8(e.what());
        }
        g_failNthWriteForTest(0);
        QVERIFY2(error.contains(QStringLiteral("No space left on device")), qPrintable(error));
        QVERIFY2(error.contains(target + QStringLiteral("-wal")), qPrintable(error));
        QVERIFY(!QFileInfo::exists(target + QStringLiteral("-wal")));
        // Without a fault, every companion comes along.
        g_copySqliteFilesThrow(db, target);
        QCOMPARE(g_readFile(target + QStringLiteral("-wal")), QByteArray(4096, 'w'));
    }

    void delDirCascadeRemovesEverythingAndNeverFollowsLinks()
    {
        QTemporaryDir outside;
        touch(outside.filePath(QStringLiteral("precious.txt")));

        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("db"));
        QVERIFY(QDir().mkpath(root + QStringLiteral("/a/b")));
        touch(root + QStringLiteral("/a/b/file.jpg"));
        touch(root + QStringLiteral("/top.data"));
        QVERIFY(QFile::link(outside.path(), root + QStringLiteral("/link-to-outside")));
        QVERIFY(QFile::link(outside.filePath(QStringLiteral("precious.txt")), root + QStringLiteral("/a/file-link")));

        g_delDirCascade(root);
        QVERIFY(!QFileInfo::exists(root));
        QVERIFY(QFileInfo::exists(outside.filePath(QStringLiteral("precious.txt"))));

        // Hidden files and folders go too (a store's journal, a ".trash").
        QVERIFY(QDir().mkpath(root + QStringLiteral("/sub/.hidden-dir")));
        touch(root + QStringLiteral("/.keep"));
        touch(root + QStringLiteral("/sub/.hidden-dir/.x"));
        QVERIFY(QFile::link(outside.path(), root + QStringLiteral("/.hidden-link")));
        g_delDirCascade(root);
        QVERIFY(!QFileInfo::exists(root));
        QVERIFY(QFileInfo::exists(outside.filePath(QStringLiteral("precious.txt"))));

        g_delDirCascade(dir.filePath(QStringLiteral("missing"))); // ignored
    }

    void dataFolders()
    {
        QTemporaryDir tmp;
        const DataFolders folders(tmp.filePath(QStringLiteral("data")));
        // Naming the folders creates nothing; the root and the databases'
        // folder are made when asked for.
        QCOMPARE(folders.cacheDir().absolutePath(), tmp.filePath(QStringLiteral("data/cache")));
        QCOMPARE(folders.deviceCacheDir().absolutePath(), tmp.filePath(QStringLiteral("data/ios_cache")));
        QCOMPARE(folders.storedDevicesDir().absolutePath(), tmp.filePath(QStringLiteral("data/virtual_ios")));
        QCOMPARE(folders.logDir().absolutePath(), tmp.filePath(QStringLiteral("data/qlogs")));
        QVERIFY(!QFileInfo::exists(tmp.filePath(QStringLiteral("data"))));
        QVERIFY(folders.localDbDir().exists());
        QCOMPARE(folders.localDbDir().absolutePath(), tmp.filePath(QStringLiteral("data/local_databases")));
        QCOMPARE(QString::fromLatin1(kProductId).size(), 32);
        QVERIFY(QString::fromLatin1(kProductId).toUpper() == QString::fromLatin1(kProductId));
    }

    // The resolver reads its inputs on every call: a second resolve after
    // the variable changed must not return the first answer.
    void resolverFollowsTheEnvironmentEachTime()
    {
        struct Restore
        {
            QByteArray saved = qgetenv("FERROWICK_DATA_DIR");
            ~Restore() { qputenv("FERROWICK_DATA_DIR", saved); }
        } restore;
        QTemporaryDir tmp;
        qputenv("FERROWICK_DATA_DIR", QFile::encodeName(tmp.filePath(QStringLiteral("one"))));
        QVERIFY(g_resolveDataFolders() == DataFolders(tmp.filePath(QStringLiteral("one"))));
        qputenv("FERROWICK_DATA_DIR", QFile::encodeName(tmp.filePath(QStringLiteral("two"))));
        QVERIFY(g_resolveDataFolders() == DataFolders(tmp.filePath(QStringLiteral("two"))));

        // Without the variable: the redirect's folder, else the default one.
        qunsetenv("FERROWICK_DATA_DIR");
        const QString product = QString::fromLatin1(kProductId);
        const QString maker = g_osAppDir().filePath(QString::fromLatin1(kMakerFolderName));
        QVERIFY(g_resolveDataFolders() == DataFolders(maker + u'/' + product));
        const QString redirect = maker + QStringLiteral("/%1.redirect").arg(product);
        QVERIFY(QDir().mkpath(maker));
        QVERIFY(g_writeFile(redirect, tmp.path().toUtf8()));
        QVERIFY(g_resolveDataFolders() == DataFolders(tmp.filePath(product)));
        QFile::remove(redirect);
    }

    void redirectFile()
    {
        // g_osAppDir follows XDG_DATA_HOME, which the test run points into the build tree.
        const QString appDir = g_osAppDir().absolutePath();
        QVERIFY(appDir.startsWith(qEnvironmentVariable("HOME")));
        const QString redirect =
            g_defaultSaveDirPath() + QStringLiteral("/%1.redirect").arg(QString::fromLatin1(kProductId));
        QFile::remove(redirect);
        QCOMPARE(g_dataSaveDirLink(), QString());

        QTemporaryDir target;
        QFile f(redirect);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(target.path().toUtf8());
        f.close();
        QCOMPARE(g_dataSaveDirLink(), target.path());

        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("/no/such/folder/anywhere");
        f.close();
        QCOMPARE(g_dataSaveDirLink(), QString());
        QFile::remove(redirect);
    }

    void embeddedUserTexts()
    {
        QCOMPARE(ids("IDS_CANCEL"), QStringLiteral("Cancel"));
        QCOMPARE(ids("IDS_NO_SUCH_KEY"), QStringLiteral("IDS_NO_SUCH_KEY"));
    }
};

QTEST_GUILESS_MAIN(TestFileRoutines)
#include "test_file_routines.moc"
