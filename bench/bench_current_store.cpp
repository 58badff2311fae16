// Loading a store of the current layout (members, phone numbers, the message
// pointing at its attachment) against loading the same history in the old
// layout. The current store is made from the generated old one by SQL, so
// both hold the same rows; both are kept in FERROWICK_BENCH_DIR and reused.
#include "BenchCurrentStore.h"
#include "BenchIosStore.h"
#include "BenchSupport.h"
#include "stores/IOSViberDb.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <benchmark/benchmark.h>

namespace {
// The folder holding com.viber/database/Contacts.data for n messages.
QString currentStore(int n)
{
    const QDir old = bench_store::store(n);
    const QString group = QDir(bench_store::benchDir()).filePath(QStringLiteral("current-%1").arg(n));
    return bench_store::convertToCurrent(old.filePath(QStringLiteral("Documents/Contacts.data")),
                                         QDir(group).filePath(QStringLiteral("com.viber/database/Contacts.data")));
}

void BM_LoadOldLayout(benchmark::State& state)
{
    const QDir root = bench_store::store(int(state.range(0)));
    qsizetype msgs = 0;
    for (auto _ : state) {
        IOSViberDb db(root, QStringLiteral("Documents/Contacts.data"), false);
        db.setMakePreviews(false);
        msgs = db.loadDataThrow().p()->msgs.size();
    }
    state.counters["messages"] = double(msgs);
}

void BM_LoadCurrentLayout(benchmark::State& state)
{
    const QString store = currentStore(int(state.range(0)));
    qsizetype msgs = 0;
    for (auto _ : state) {
        IOSViberDb db(QDir(bench_store::benchDir()), store, false);
        db.setMakePreviews(false);
        msgs = db.loadDataThrow().p()->msgs.size();
    }
    state.counters["messages"] = double(msgs);
}

BENCHMARK(BM_LoadOldLayout)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadCurrentLayout)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
} // namespace

int main(int argc, char** argv)
{
    return g_runBenchmarks<QCoreApplication>(argc, argv);
}
