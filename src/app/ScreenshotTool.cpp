// Opens the main window on the data folder (FERROWICK_DATA_DIR) and saves
// pictures of it for the documentation: the first local database as a whole
// (also at 1024 x 700 and 1600 x 1000), a one-to-one chat, a group chat, and
// a first start on an empty data folder. Meant to run under Xvfb
// (scripts/screenshots.sh).
#include "shell/DataFolders.h"
#include "stores/DemoHistory.h"
#include "ui/AppStartup.h"
#include "ui/ItemModelMain.h"
#include "ui/MainWindow.h"
#include "ui/MyTreeView.h"
#include "ui/ScriptedAnswers.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>
#include <cstdio>

namespace {
// Runs the event loop until the bubble page has loaded and painted.
void settle(QWebEngineView* view)
{
    QEventLoop loop;
    QObject::connect(view, &QWebEngineView::loadFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(4000, &loop, &QEventLoop::quit);
    loop.exec();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1200)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

bool save(MainWindow& w, const QString& file)
{
    settle(w.findChild<QWebEngineView*>(QStringLiteral("webViewSMS")));
    const bool ok = w.grab().save(file);
    std::fprintf(stderr, "%s %s\n", ok ? "saved" : "could not save", qPrintable(file));
    return ok;
}

const _ChatSessionItemNode* firstChat(const _ItemNode* source, bool group)
{
    for (const _ItemNode* n : source->children) {
        const auto* chat = static_cast<const _ChatSessionItemNode*>(n);
        if (chat->chat && (chat->chat->members.size() > 1) == group && chat->chat->msgs.size() > 10)
            return chat;
    }
    return nullptr;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const DataFolders folders = g_resolveDataFolders();
    if (const int failed = g_prepareApplication(folders))
        return failed;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    out.mkpath(QStringLiteral("."));
    // A stored device copy shows what an iPhone looks like in the tree.
    const QString phone = folders.storedDevicesDir().filePath(QStringLiteral("Demo iPhone"));
    if (!QFileInfo::exists(phone)) {
        try {
            g_writeDemoContainerThrow(phone);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    }
    // Nobody is there to answer a box.
    ScriptedAnswers::setStandingAnswer(QMessageBox::Ok);

    MainWindow w(folders);
    w.resize(1280, 760);
    w.show();
    const ItemModelMain* tree = w.treeModel();
    if (tree->rootLocalDb()->children.isEmpty()) {
        std::fprintf(stderr, "no local database in %s\n", qPrintable(folders.localDbDir().absolutePath()));
        return 1;
    }
    const _ItemNode* db = tree->rootLocalDb()->children.first();
    w.sourceTree()->setCurrentIndex(tree->indexOfItemNode(db));
    // A large database is read in the background: the pictures show it read.
    QElapsedTimer reading;
    reading.start();
    while (!static_cast<const _LocalDbItemNode*>(db)->loaded && reading.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    bool ok = save(w, out.filePath(QStringLiteral("main-window.png")));
    for (const bool group : {false, true}) {
        const _ChatSessionItemNode* chat = firstChat(db, group);
        if (!chat)
            return 1;
        w.sourceTree()->setCurrentIndex(tree->indexOfItemNode(chat));
        ok = save(w, out.filePath(group ? QStringLiteral("group-chat.png") : QStringLiteral("one-to-one-chat.png"))) && ok;
    }
    // The whole history at the smallest size the window is meant for, and on a large screen.
    w.sourceTree()->setCurrentIndex(tree->indexOfItemNode(db));
    for (const QSize size : {QSize(1024, 700), QSize(1600, 1000)}) {
        w.resize(size);
        ok = save(w, out.filePath(QStringLiteral("main-window-%1x%2.png").arg(size.width()).arg(size.height()))) && ok;
    }
    w.close();

    // A first start: nothing in the data folder yet.
    QTemporaryDir empty;
    if (!empty.isValid())
        return 1;
    MainWindow first{DataFolders(empty.path())};
    first.resize(1024, 700);
    first.show();
    ok = save(first, out.filePath(QStringLiteral("first-start.png"))) && ok;
    first.close();
    // Any box on the way would be missing from the pictures: name it.
    for (const auto& box : ScriptedAnswers::shownBoxes())
        std::fprintf(stderr, "a message box was shown: %s\n", qPrintable(box.text));
    return ok ? 0 : 1;
}
