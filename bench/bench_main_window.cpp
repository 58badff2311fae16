// The main window on a local database of 1 000 000 messages: from start-up to
// the first painted page of the database (the read included), with the
// longest stretch the event loop went without turning, beside the core's own
// read of the same store (what `ferrowick-cli info --localdb` does); once the
// store has been read (its first selection), selecting the database again, and
// selecting one of its chats, shows the message list and the first page of
// bubbles; sorting the million again (what a first showing costs) is measured
// by turning the date column's order. The list is swapped in one model reset and the view makes no
// widget per row, which the counters show.
#include "BenchIosStore.h"
#include "BenchSupport.h"
#include "jobs/BackupViberMsgThread.h"
#include "shell/DataFolders.h"
#include "shell/LocalDbNames.h"
#include "stores/IOSViberDb.h"
#include "ui/ItemModelMain.h"
#include "ui/ItemModelSms.h"
#include "ui/MainWindow.h"
#include "ui/MyTreeView.h"
#include "ui/ScriptedAnswers.h"
#include "ui/VBBubbleViewMgr.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>

#include <benchmark/benchmark.h>
#include <cstdio>

namespace {
const int kMessages = 1000000;
const QString kDbName = QStringLiteral("Big");

// The data folder main() chose (the environment, else beside the stores).
DataFolders benchFolders()
{
    return g_resolveDataFolders();
}

// The local database, made once from the generated store by the backup job.
bool makeLocalDb()
{
    const QDir folder(benchFolders().localDbDir().filePath(kDbName));
    if (QFileInfo(folder.filePath(QString::fromLatin1(kLocalDbStoreFile))).isFile())
        return true;
    ViberData data;
    {
        IOSViberDb db(bench_store::store(kMessages), QStringLiteral("Documents/Contacts.data"), false);
        db.setMakePreviews(false);
        data = db.loadDataThrow();
    }
    SilentProgress progress;
    BackupViberMsgThread job(data.messages(), folder, progress);
    job.run();
    std::fprintf(stderr, "%s\n", qPrintable(progress.result));
    return !progress.result.startsWith(QLatin1String("error"));
}

struct Shown
{
    MainWindow* window = nullptr;
    QModelIndex db;
};

Shown& shown(benchmark::State& state)
{
    static Shown s;
    if (s.window)
        return s;
    if (!makeLocalDb()) {
        state.SkipWithError("could not make the local database");
        return s;
    }
    ScriptedAnswers::setStandingAnswer(QMessageBox::Ok);
    s.window = new MainWindow(benchFolders());
    s.window->show();
    const ItemModelMain* tree = s.window->treeModel();
    for (const _ItemNode* n : tree->rootLocalDb()->children) {
        if (n->name == kDbName)
            s.db = tree->indexOfItemNode(n);
    }
    // The first selection reads the store (in the background); that is the
    // load, not measured here: the selections below start once it is read.
    s.window->sourceTree()->setCurrentIndex(s.db);
    const auto* node = static_cast<const _LocalDbItemNode*>(tree->nodeOf(s.db));
    QElapsedTimer waited;
    waited.start();
    while (!node->loaded && waited.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!node->loaded)
        state.SkipWithError("the local database was not read within two minutes");
    return s;
}

// The longest gap between turns of the event loop while it runs: a timer
// that should fire every few milliseconds notes how late each turn came.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_longest = qMax(m_longest, m_since.nsecsElapsed());
            m_since.start();
        });
        m_since.start();
        m_timer.start();
    }
    // The longest gap so far, the one still open included.
    double longestMs() const { return double(qMax(m_longest, m_since.nsecsElapsed())) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

void BM_FirstPaintOfMillionMessageDatabase(benchmark::State& state)
{
    if (!makeLocalDb()) {
        state.SkipWithError("could not make the local database");
        return;
    }
    ScriptedAnswers::setStandingAnswer(QMessageBox::Ok);
    const QDir folder(benchFolders().localDbDir().filePath(kDbName));
    double stall = 0, load = 0, firstPaint = 0;
    for (auto _ : state) {
        // The core's read of the store, as the command line does it.
        state.PauseTiming();
        QElapsedTimer core;
        core.start();
        {
            IOSViberDb db(folder, QString::fromLatin1(kLocalDbStoreFile), true);
            const ViberData data = db.loadDataThrow();
            benchmark::DoNotOptimize(data.messages().size());
        }
        load += core.nsecsElapsed() / 1e6;
        state.ResumeTiming();

        QElapsedTimer t;
        t.start();
        auto* window = new MainWindow(benchFolders());
        window->show();
        QModelIndex db;
        const ItemModelMain* tree = window->treeModel();
        for (const _ItemNode* n : tree->rootLocalDb()->children) {
            if (n->name == kDbName)
                db = tree->indexOfItemNode(n);
        }
        // The user's click arrives through the event loop, as the heartbeat
        // does; the page counts as painted once the loop has turned after it.
        StallMeter meter;
        QEventLoop loop;
        QObject::connect(window->bubbles(), &VBBubbleViewMgr::pageShown, &loop,
                         [&loop] { QTimer::singleShot(0, &loop, &QEventLoop::quit); });
        QTimer::singleShot(0, window, [window, db] { window->sourceTree()->setCurrentIndex(db); });
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        loop.exec();
        const double ms = t.nsecsElapsed() / 1e6;
        state.SetIterationTime(ms / 1e3);
        firstPaint += ms;
        stall = qMax(stall, meter.longestMs());
        state.counters["rows"] = window->messageModel()->rowCount();
        delete window;
    }
    const double n = double(state.iterations());
    state.counters["first_paint_ms"] = firstPaint / n;
    state.counters["core_load_ms"] = load / n;
    state.counters["ratio_to_core_load"] = firstPaint / load;
    state.counters["longest_stall_ms"] = stall;
}
BENCHMARK(BM_FirstPaintOfMillionMessageDatabase)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void measureSelection(benchmark::State& state, const std::function<QModelIndex(const Shown&)>& target)
{
    Shown& s = shown(state);
    if (!s.window) {
        for (auto _ : state) {
        }
        return;
    }
    MainWindow& w = *s.window;
    const QModelIndex root = w.treeModel()->indexOfItemNode(w.treeModel()->rootDevice());
    QSignalSpy resets(w.messageModel(), &QAbstractItemModel::modelReset);
    QSignalSpy pages(w.bubbles(), &VBBubbleViewMgr::pageShown);
    const QModelIndex to = target(s);
    for (auto _ : state) {
        state.PauseTiming();
        w.sourceTree()->setCurrentIndex(root);
        QCoreApplication::processEvents();
        resets.clear();
        pages.clear();
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        w.sourceTree()->setCurrentIndex(to);
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        if (resets.size() != 1 || pages.size() != 1) {
            state.SkipWithError(qPrintable(QStringLiteral("%1 model resets and %2 pages for one selection")
                                               .arg(resets.size())
                                               .arg(pages.size())));
            break;
        }
    }
    state.counters["rows"] = w.messageModel()->rowCount();
    state.counters["model_resets"] = double(resets.size());

    // Scrolling the whole list makes no widget per row.
    QWidget* viewport = w.messageList()->viewport();
    const qsizetype before = viewport->findChildren<QWidget*>().size();
    QScrollBar* bar = w.messageList()->verticalScrollBar();
    for (int v = 0; v <= bar->maximum(); v += qMax(1, bar->maximum() / 50)) {
        bar->setValue(v);
        QCoreApplication::processEvents();
    }
    state.counters["widgets_added_by_scrolling"] = double(viewport->findChildren<QWidget*>().size() - before);
}

void BM_SelectMillionMessageDatabase(benchmark::State& state)
{
    measureSelection(state, [](const Shown& s) { return s.db; });
}
BENCHMARK(BM_SelectMillionMessageDatabase)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SelectChatOfMillionMessageDatabase(benchmark::State& state)
{
    // The chat with the most messages.
    measureSelection(state, [](const Shown& s) {
        const ItemModelMain* tree = s.window->treeModel();
        const _ItemNode* best = nullptr;
        qsizetype most = -1;
        for (const _ItemNode* n : AbsTreeItemModel::nodeOf(s.db)->children) {
            const qsizetype count = static_cast<const _ChatSessionItemNode*>(n)->chat->msgs.size();
            if (count > most) {
                most = count;
                best = n;
            }
        }
        return tree->indexOfItemNode(best);
    });
}
BENCHMARK(BM_SelectChatOfMillionMessageDatabase)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
// Turning the date column's order turns the million shown messages (the
// sorted list is reversed, not sorted again) and swaps them in.
void BM_ResortMillionMessages(benchmark::State& state)
{
    Shown& s = shown(state);
    if (!s.window) {
        for (auto _ : state) {
        }
        return;
    }
    MainWindow& w = *s.window;
    w.sourceTree()->setCurrentIndex(s.db);
    QHeaderView* header = w.messageList()->header();
    QSignalSpy resets(w.messageModel(), &QAbstractItemModel::modelReset);
    for (auto _ : state) {
        const Qt::SortOrder next =
            header->sortIndicatorOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
        QElapsedTimer t;
        t.start();
        header->setSortIndicator(0, next);
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
    }
    state.counters["rows"] = w.messageModel()->rowCount();
    state.counters["model_resets_per_sort"] = double(resets.size()) / double(state.iterations());
    header->setSortIndicator(0, Qt::AscendingOrder);
}
BENCHMARK(BM_ResortMillionMessages)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(4);
} // namespace

int main(int argc, char** argv)
{
    // Its own data folder beside the generated stores, kept between runs.
    if (qEnvironmentVariableIsEmpty("FERROWICK_DATA_DIR"))
        qputenv("FERROWICK_DATA_DIR", QFile::encodeName(QDir(bench_store::benchDir()).filePath(QStringLiteral("mainwin-data"))));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return g_runBenchmarks<QApplication>(argc, argv);
}
