// Merging a large history into a phone's store, as the transfer to an iPhone
// and the write into an iTunes backup do (the merge job without a device:
// it collects the files for a backup instead of uploading them): into the
// empty template store of the old layout and into an empty store of today's
// layout (the whole schema of a real one, with its search index), then the
// same messages again into the result (every message found, none inserted),
// and another history's messages into a store already holding as many. The
// million shows whether the merge stays linear (its store is made on the
// first run, which takes a while).
#include "BenchIosStore.h"
#include "BenchSupport.h"
#include "fixtures/CurrentStoreFixture.h"
#include "jobs/IOSRestoreViberMsgThread.h"
#include "stores/TemplateStore.h"
#include "stores/IOSViberDb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>

namespace {
ViberData history(int n)
{
    static std::map<int, ViberData> loaded;
    auto it = loaded.find(n);
    if (it == loaded.end()) {
        IOSViberDb db(bench_store::store(n), QStringLiteral("Documents/Contacts.data"), false);
        db.setMakePreviews(false);
        it = loaded.emplace(n, db.loadDataThrow()).first;
    }
    return it->second;
}

// The same history as another phone's: every message and call under a token
// of its own, so none of them is found in a store holding history(n).
ViberData otherHistory(int n)
{
    static std::map<int, ViberData> loaded;
    auto it = loaded.find(n);
    if (it == loaded.end()) {
        IOSViberDb db(bench_store::store(n), QStringLiteral("Documents/Contacts.data"), false);
        db.setMakePreviews(false);
        ViberData data = db.loadDataThrow();
        for (_ViberMsg* m : data.p()->msgs)
            m->token += m->token ? 1000000000000LL : 0;
        for (_ViberCall* c : data.p()->calls)
            c->token += c->token ? 1000000000000LL : 0;
        it = loaded.emplace(n, data).first;
    }
    return it->second;
}

ViberContainers templateContainer(const QString& dir)
{
    ViberContainers c;
    c.appRoot = QDir(dir);
    c.storeFile = QDir(dir).filePath(QStringLiteral("Documents/Contacts.data"));
    g_copyTemplateStoreThrow(c.storeFile);
    return c;
}

// An empty store of today's layout in its app-group container.
ViberContainers todaysContainer(const QString& dir)
{
    const QString store = QDir(dir).filePath(QStringLiteral("com.viber/database/Contacts.data"));
    QDir().mkpath(QFileInfo(store).absolutePath());
    Sqlite3DB db;
    db.openThrow(store, 6);
    QString err;
    if (db.exec(CurrentStoreFixture::fullSchemaScript(), err) != 0)
        throw std::runtime_error(err.toStdString());
    db.close();
    return g_findViberContainers(dir);
}

using MakeTarget = ViberContainers (*)(const QString&);

double merge(const ViberData& data, const ViberContainers& target, benchmark::State& state)
{
    SilentProgress progress;
    IOSDevice none;
    none.udid = QStringLiteral("bench");
    IOSRestoreViberMsgThread job(none, target, data.messages(), progress);
    job.setDirect(false);
    QElapsedTimer t;
    t.start();
    job.run();
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    if (progress.result.startsWith(QLatin1String("error")))
        state.SkipWithError(progress.result.toUtf8().constData());
    return seconds;
}

void transferIntoEmpty(benchmark::State& state, MakeTarget make)
{
    const int n = int(state.range(0));
    const ViberData data = history(n);
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir tmp(bench_store::benchDir() + QStringLiteral("/transfer-XXXXXX"));
        const ViberContainers target = make(tmp.path());
        state.ResumeTiming();
        seconds = merge(data, target, state);
        state.PauseTiming();
        tmp.remove();
        state.ResumeTiming();
    }
    state.counters["msgs_per_s"] = double(data.p()->msgs.size()) / seconds;
}

void transferAgain(benchmark::State& state, MakeTarget make)
{
    const int n = int(state.range(0));
    const ViberData data = history(n);
    QTemporaryDir tmp(bench_store::benchDir() + QStringLiteral("/transfer-again-XXXXXX"));
    const ViberContainers target = make(tmp.path());
    merge(data, target, state);
    double seconds = 0;
    for (auto _ : state)
        seconds = merge(data, target, state);
    state.counters["msgs_per_s"] = double(data.p()->msgs.size()) / seconds;
}

// n messages into a store already holding n others.
void transferIntoFull(benchmark::State& state, MakeTarget make)
{
    const int n = int(state.range(0));
    const ViberData first = history(n);
    const ViberData second = otherHistory(n);
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir tmp(bench_store::benchDir() + QStringLiteral("/transfer-full-XXXXXX"));
        const ViberContainers target = make(tmp.path());
        merge(first, target, state);
        state.ResumeTiming();
        seconds = merge(second, target, state);
        state.PauseTiming();
        tmp.remove();
        state.ResumeTiming();
    }
    state.counters["msgs_per_s"] = double(second.p()->msgs.size()) / seconds;
}

void BM_TransferIntoEmpty(benchmark::State& state)
{
    transferIntoEmpty(state, templateContainer);
}

void BM_TransferAgain(benchmark::State& state)
{
    transferAgain(state, templateContainer);
}

void BM_TransferIntoTodaysStore(benchmark::State& state)
{
    transferIntoEmpty(state, todaysContainer);
}

void BM_TransferAgainIntoTodaysStore(benchmark::State& state)
{
    transferAgain(state, todaysContainer);
}

void BM_TransferIntoFull(benchmark::State& state)
{
    transferIntoFull(state, templateContainer);
}

void BM_TransferIntoFullTodaysStore(benchmark::State& state)
{
    transferIntoFull(state, todaysContainer);
}

BENCHMARK(BM_TransferIntoEmpty)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TransferAgain)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TransferIntoTodaysStore)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TransferAgainIntoTodaysStore)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TransferIntoFull)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TransferIntoFullTodaysStore)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
} // namespace

int main(int argc, char** argv)
{
    return g_runBenchmarks<QCoreApplication>(argc, argv);
}
