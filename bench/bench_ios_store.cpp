// Loading a large iPhone-layout store: IOSViberDb::loadDataThrow against a
// bare sqlite3_step scan of the same message query reading the same columns,
// in the same process, plus the memory the loaded data set takes per
// message. The generated stores are kept in FERROWICK_BENCH_DIR (default: the
// system temp folder) and reused by later runs.
#include "sqlite/Sqlite3DB.h"
#include "stores/IOSViberDb.h"
#include "BenchIosStore.h"
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <malloc.h>

namespace {
using bench_store::store;

long rssKb(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

void BM_LoadDataThrow(benchmark::State& state)
{
    const QDir root = store(int(state.range(0)));
    qsizetype msgs = 0;
    double extraBytesPerMsg = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const long before = rssKb("VmRSS:");
        IOSViberDb db(root, QStringLiteral("Documents/Contacts.data"), false);
        db.setMakePreviews(false);
        ViberData data = db.loadDataThrow();
        msgs = data.p()->msgs.size();
        state.PauseTiming();
        const long after = rssKb("VmRSS:");
        qint64 textBytes = 0;
        for (const _ViberMsg* m : std::as_const(data.p()->msgs))
            textBytes += m->text.size() * 2;
        extraBytesPerMsg = (double(after - before) * 1024 - double(textBytes)) / double(qMax<qsizetype>(msgs, 1));
        data = ViberData();
        state.ResumeTiming();
    }
    state.counters["messages"] = double(msgs);
    state.counters["bytes_per_msg_beyond_text"] = extraBytesPerMsg;
}

// The same message query, stepped with the C API, each column read once.
void BM_BareScan(benchmark::State& state)
{
    const QDir root = store(int(state.range(0)));
    const QByteArray path = root.filePath(QStringLiteral("Documents/Contacts.data")).toUtf8();
    qint64 rows = 0;
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db,
                           "select m.*, l.ZLATITUDE, l.ZLONGITUDE, l.ZADDRESS as loc_address from ZVIBERMESSAGE as m "
                           "left join ZVIBERLOCATION as l on m.Z_PK=l.ZMESSAGE",
                           -1, &st, nullptr);
        const int n = sqlite3_column_count(st);
        rows = 0;
        qint64 sink = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < n; ++i) {
                switch (sqlite3_column_type(st, i)) {
                case SQLITE_INTEGER:
                    sink += sqlite3_column_int64(st, i);
                    break;
                case SQLITE_FLOAT:
                    sink += qint64(sqlite3_column_double(st, i));
                    break;
                case SQLITE_TEXT:
                    sink += sqlite3_column_bytes(st, i) + (sqlite3_column_text(st, i) ? 1 : 0);
                    break;
                case SQLITE_BLOB:
                    sink += sqlite3_column_bytes(st, i);
                    break;
                default:
                    break;
                }
            }
            ++rows;
        }
        benchmark::DoNotOptimize(sink);
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    state.counters["rows"] = double(rows);
}

BENCHMARK(BM_BareScan)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadDataThrow)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
} // namespace

int main(int argc, char** argv)
{
    return g_runBenchmarks<QCoreApplication>(argc, argv);
}
