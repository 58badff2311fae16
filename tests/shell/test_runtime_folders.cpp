#include "shell/RuntimeFolders.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}
} // namespace

// The build tree keeps everything in bin/; an installed prefix spreads it over
// bin/, lib/ferrowick and share/ferrowick. Both layouts are built here in a
// scratch folder, so the rule is checked without installing anything.
class TestRuntimeFolders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }
    void init() { qunsetenv("FERROWICK_BUBBLE_DIR"); }

    void candidatesAreTheExeFolderThenTheInstalledPlace()
    {
        QTemporaryDir root;
        const QString bin = root.filePath(u"usr/bin"_qs);
        QCOMPARE(g_runtimeFolderCandidates(RuntimeFolder::Artwork, bin),
                 (QStringList{bin, root.filePath(u"usr/share/ferrowick"_qs)}));
        QCOMPARE(g_runtimeFolderCandidates(RuntimeFolder::Plugins, bin),
                 (QStringList{bin, root.filePath(u"usr/lib/ferrowick"_qs)}));
        // A folder given with a trailing slash or "." parts names the same places.
        QCOMPARE(g_runtimeFolderCandidates(RuntimeFolder::Artwork, bin + u"/./"_qs),
                 g_runtimeFolderCandidates(RuntimeFolder::Artwork, bin));
    }

    void buildTreeArtworkBesideTheProgram()
    {
        QTemporaryDir root;
        const QString bin = root.filePath(u"build/bin"_qs);
        touch(bin + u"/vbbb/style.css"_qs);
        QCOMPARE(g_runtimeFolder(RuntimeFolder::Artwork, bin), bin);
    }

    void installedArtworkUnderShare()
    {
        QTemporaryDir root;
        const QString bin = root.filePath(u"opt/x/bin"_qs);
        QDir().mkpath(bin);
        touch(root.filePath(u"opt/x/share/ferrowick/vbbb/style.css"_qs));
        QCOMPARE(g_runtimeFolder(RuntimeFolder::Artwork, bin), root.filePath(u"opt/x/share/ferrowick"_qs));
        // A stray vbbb folder without the style sheet beside the program is
        // not taken for the artwork.
        QDir().mkpath(bin + u"/vbbb"_qs);
        QCOMPARE(g_runtimeFolder(RuntimeFolder::Artwork, bin), root.filePath(u"opt/x/share/ferrowick"_qs));
    }

    void installedPluginsUnderLib()
    {
        QTemporaryDir root;
        const QString bin = root.filePath(u"usr/bin"_qs);
        QDir().mkpath(bin);
        touch(root.filePath(u"usr/lib/ferrowick/libferrowick-imobiledevice.so"_qs));
        QCOMPARE(g_runtimeFolder(RuntimeFolder::Plugins, bin), root.filePath(u"usr/lib/ferrowick"_qs));
        // The build tree's copy wins when both exist.
        touch(bin + u"/libferrowick-imobiledevice.so"_qs);
        QCOMPARE(g_runtimeFolder(RuntimeFolder::Plugins, bin), bin);
    }

    void missingEverywhereNamesTheExeFolder()
    {
        QTemporaryDir root;
        const QString bin = root.filePath(u"bin"_qs);
        QCOMPARE(g_runtimeFolder(RuntimeFolder::Artwork, bin), bin);
        QCOMPARE(g_runtimeFolder(RuntimeFolder::Plugins, bin), bin);
    }

    void environmentOverridesOnlyTheArtwork()
    {
        QTemporaryDir root;
        const QString bin = root.filePath(u"bin"_qs);
        touch(bin + u"/vbbb/style.css"_qs);
        qputenv("FERROWICK_BUBBLE_DIR", QFile::encodeName(root.filePath(u"elsewhere"_qs)));
        QCOMPARE(g_runtimeFolder(RuntimeFolder::Artwork, bin), root.filePath(u"elsewhere"_qs));
        QCOMPARE(g_runtimeFolder(RuntimeFolder::Plugins, bin), bin);
    }
};

QTEST_GUILESS_MAIN(TestRuntimeFolders)
#include "test_runtime_folders.moc"
