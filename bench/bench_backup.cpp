// Backing up a large history into a new local database: the backup job
// against bare inserts of the same message, attachment and location rows
// into the same schema in one transaction with statements prepared once, in
// the same process (row by row, row by row with the job's sorted index build,
// and 64 rows per statement in date order); then a second backup of the same
// messages into the database the first one made (everything found, nothing
// inserted); and the look-up of chats without a group id by their members,
// which must not get slower per chat as the database holds more chats.
#include "BenchIosStore.h"
#include "BenchSupport.h"
#include "jobs/BackupViberMsgThread.h"
#include "stores/IOSViberDb.h"
#include "stores/OldStoreMerger.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <stdexcept>

namespace {
const QString kStore = QStringLiteral("Documents/Contacts-tellurine.data");

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

std::map<int, double> g_bareSeconds;

void runBackup(const ViberData& data, const QDir& dir, benchmark::State& state)
{
    SilentProgress progress;
    BackupViberMsgThread job(data.messages(), dir, progress);
    job.run();
    if (!progress.result.startsWith(QLatin1String("Successfully")))
        state.SkipWithError(progress.result.toUtf8().constData());
}

// How a bare insert writes the message rows.
enum class BareWay {
    // Chat by chat, one row per statement, every index kept up to date: how
    // the backup writes into a database that already holds messages.
    RowByRow,
    // The same, with the six message indexes the backup defers dropped first
    // and built once at the end: how the backup writes into an empty
    // database, and the measure BM_BackupNew is set against.
    SortedIndexes,
    // Oldest first across chats, 64 rows per statement, every index kept:
    // the cursors of one statement stay open, so the date, token and key
    // entries go on at the end of their trees as an INSERT ... SELECT of a
    // store in date order does. What per-row statements cannot reach.
    Batched,
};

constexpr int kBatchRows = 64;
constexpr int kMsgColumns = 10;

QByteArray messageInsertSql(int rows)
{
    QByteArray sql = "insert into ZVIBERMESSAGE (ZSEQ, ZTOKEN, ZCONVERSATION, ZPHONENUMINDEX, ZDATE, ZSTATEDATE, "
                     "ZSTATE, ZSYSTEMTYPE, ZTEXT, _other) values ";
    for (int i = 0; i < rows; ++i)
        sql += i ? ",(?,?,?,?,?,?,?,?,?,?)" : "(?,?,?,?,?,?,?,?,?,?)";
    return sql;
}

// Binds one message as the row at place (0-based) of a statement.
void bindMessage(sqlite3_stmt* st, int place, const _ViberMsg* m, QByteArray& text)
{
    const int p = place * kMsgColumns;
    text = m->text.toUtf8();
    sqlite3_bind_int64(st, p + 1, m->seq);
    sqlite3_bind_int64(st, p + 2, m->token);
    sqlite3_bind_int64(st, p + 3, m->chat ? m->chat->id : 0);
    sqlite3_bind_int64(st, p + 4, m->person ? m->person->id : 0);
    sqlite3_bind_double(st, p + 5, m->date);
    sqlite3_bind_double(st, p + 6, m->stateDate);
    sqlite3_bind_text(st, p + 7, m->state == MSG_STATE_RECEIVED ? "received" : "delivered", -1, SQLITE_STATIC);
    sqlite3_bind_null(st, p + 8);
    sqlite3_bind_text(st, p + 9, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(st, p + 10, m->others.constData(), int(m->others.size()), SQLITE_TRANSIENT);
}

// The rows the backup writes for the messages, inserted with the C API into
// the same schema with the backup's page cache. Against SortedIndexes the
// difference to the job is what the job adds, not a different access
// pattern; Batched shows the floor of another pattern.
void bareInsert(const ViberData& data, const QString& path, BareWay way)
{
    QList<_ViberMsg*> msgs = data.messages();
    msgs.removeIf([](const _ViberMsg* m) { return m->type == MSG_TYPE_CALL; });
    g_sortByChatAndTime(msgs, way != BareWay::Batched);
    QDir().mkpath(QFileInfo(path).absolutePath());
    {
        // The schema as the backup makes it.
        IOSViberDb schema(QDir(QFileInfo(path).absolutePath()), QFileInfo(path).fileName(), true);
        schema.setCreateIfMissing(true);
        schema.openCheckThrow();
    }
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_exec(db, "PRAGMA cache_size=-65536", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    // The job's own list; each index made again from its definition.
    QList<QByteArray> remake;
    if (way == BareWay::SortedIndexes) {
        for (const QString& name : BackupViberMsgThread::deferredIndexNames()) {
            sqlite3_stmt* q = nullptr;
            sqlite3_prepare_v2(db, "select sql from sqlite_master where type='index' and name=?", -1, &q, nullptr);
            const QByteArray utf8 = name.toUtf8();
            sqlite3_bind_text(q, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            const bool found = sqlite3_step(q) == SQLITE_ROW;
            if (found)
                remake << QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(q, 0)));
            sqlite3_finalize(q); // a table being read cannot lose an index
            if (found && sqlite3_exec(db, ("DROP INDEX " + utf8).constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
                throw std::runtime_error(sqlite3_errmsg(db));
        }
    }
    sqlite3_stmt *msg = nullptr, *batch = nullptr, *atta = nullptr, *loc = nullptr;
    sqlite3_prepare_v2(db, messageInsertSql(1).constData(), -1, &msg, nullptr);
    sqlite3_prepare_v2(db, messageInsertSql(kBatchRows).constData(), -1, &batch, nullptr);
    sqlite3_prepare_v2(db,
                       "insert into ZATTACHMENT (ZFILESIZE, ZSEQ, ZMESSAGE, ZID, ZNAME, ZTYPE, _other) values "
                       "(?,?,?,?,?,?,?)",
                       -1, &atta, nullptr);
    sqlite3_prepare_v2(db, "insert into ZVIBERLOCATION (ZMESSAGE, ZLATITUDE, ZLONGITUDE, ZADDRESS) values (?,?,?,?)", -1,
                       &loc, nullptr);
    // The attachment and place of a message whose key is known.
    const auto addParts = [&](const _ViberMsg* m, sqlite3_int64 key) {
        if (m->atta) {
            const QByteArray id = m->atta->mediaId.toUtf8(), name = m->atta->name.toUtf8();
            sqlite3_bind_int64(atta, 1, m->atta->fileSize);
            sqlite3_bind_int64(atta, 2, m->atta->seq);
            sqlite3_bind_int64(atta, 3, key);
            sqlite3_bind_text(atta, 4, id.constData(), int(id.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(atta, 5, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(atta, 6, "picture", -1, SQLITE_STATIC);
            sqlite3_bind_blob(atta, 7, m->atta->others.constData(), int(m->atta->others.size()), SQLITE_TRANSIENT);
            sqlite3_step(atta);
            sqlite3_reset(atta);
        }
        if (m->latitude() != 0 && m->longitude() != 0) {
            const QByteArray address = m->address().toUtf8();
            sqlite3_bind_int64(loc, 1, key);
            sqlite3_bind_double(loc, 2, m->latitude());
            sqlite3_bind_double(loc, 3, m->longitude());
            sqlite3_bind_text(loc, 4, address.constData(), int(address.size()), SQLITE_TRANSIENT);
            sqlite3_step(loc);
            sqlite3_reset(loc);
        }
    };
    QByteArray text;
    qsizetype i = 0;
    if (way == BareWay::Batched) {
        for (; i + kBatchRows <= msgs.size(); i += kBatchRows) {
            for (int j = 0; j < kBatchRows; ++j)
                bindMessage(batch, j, msgs[i + j], text);
            sqlite3_step(batch);
            sqlite3_reset(batch);
            // Into a table that was empty the rows of one statement take
            // consecutive keys.
            const sqlite3_int64 first = sqlite3_last_insert_rowid(db) - kBatchRows + 1;
            for (int j = 0; j < kBatchRows; ++j)
                addParts(msgs[i + j], first + j);
        }
    }
    for (; i < msgs.size(); ++i) {
        bindMessage(msg, 0, msgs[i], text);
        sqlite3_step(msg);
        sqlite3_reset(msg);
        addParts(msgs[i], sqlite3_last_insert_rowid(db));
    }
    for (const QByteArray& sql : std::as_const(remake)) {
        if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
    }
    sqlite3_finalize(msg);
    sqlite3_finalize(batch);
    sqlite3_finalize(atta);
    sqlite3_finalize(loc);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void bareInsertBench(benchmark::State& state, BareWay way)
{
    const int n = int(state.range(0));
    const ViberData data = history(n);
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir tmp(bench_store::benchDir() + QStringLiteral("/bare-XXXXXX"));
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        bareInsert(data, tmp.filePath(kStore), way);
        seconds = double(t.nsecsElapsed()) / 1e9;
        state.PauseTiming();
        tmp.remove();
        state.ResumeTiming();
    }
    if (way == BareWay::SortedIndexes)
        g_bareSeconds[n] = seconds;
    state.counters["msgs_per_s"] = double(data.p()->msgs.size()) / seconds;
}

void BM_BareInsert(benchmark::State& state)
{
    bareInsertBench(state, BareWay::RowByRow);
}

void BM_BareInsertSortedIndexes(benchmark::State& state)
{
    bareInsertBench(state, BareWay::SortedIndexes);
}

void BM_BareInsertBatched(benchmark::State& state)
{
    bareInsertBench(state, BareWay::Batched);
}

void BM_BackupNew(benchmark::State& state)
{
    const int n = int(state.range(0));
    const ViberData data = history(n);
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir tmp(bench_store::benchDir() + QStringLiteral("/backup-XXXXXX"));
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        runBackup(data, QDir(tmp.path()), state);
        seconds = double(t.nsecsElapsed()) / 1e9;
        state.PauseTiming();
        tmp.remove();
        state.ResumeTiming();
    }
    state.counters["msgs_per_s"] = double(data.p()->msgs.size()) / seconds;
    if (g_bareSeconds.count(n))
        state.counters["ratio_to_bare"] = seconds / g_bareSeconds[n];
}

void BM_BackupAgain(benchmark::State& state)
{
    const int n = int(state.range(0));
    const ViberData data = history(n);
    QTemporaryDir tmp(bench_store::benchDir() + QStringLiteral("/again-XXXXXX"));
    runBackup(data, QDir(tmp.path()), state);
    double seconds = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        runBackup(data, QDir(tmp.path()), state);
        seconds = double(t.nsecsElapsed()) / 1e9;
    }
    state.counters["msgs_per_s"] = double(data.p()->msgs.size()) / seconds;
}

void BM_FindGrouplessChats(benchmark::State& state)
{
    const int n = int(state.range(0));
    QTemporaryDir tmp(bench_store::benchDir() + QStringLiteral("/chats-XXXXXX"));
    QDir(tmp.path()).mkpath(QStringLiteral("Documents"));
    IOSViberDb db(QDir(tmp.path()), kStore, true);
    db.openCheckThrow();
    ViberData data;
    OldStoreMerger merger(db);
    db.executeThrow("BEGIN");
    for (int i = 0; i < n; ++i) {
        auto* c = new _ViberChat;
        c->id = i + 1;
        data.p()->chats.insert(c->id, c);
        for (int k = 0; k < 2; ++k) {
            auto* p = new _ViberPerson;
            p->id = 2 * i + k + 1;
            p->number = QStringLiteral("+1555%1").arg(p->id, 7, 10, QLatin1Char('0'));
            data.p()->persons.insert(p->id, p);
            c->members.insert(p->id, p);
        }
        merger.saveChatMembersThrow(merger.insertChatThrow(c), c->members.values());
    }
    db.executeThrow("COMMIT");
    qint64 found = 0;
    for (auto _ : state) {
        for (const _ViberChat* c : std::as_const(data.p()->chats))
            found += merger.findChatSlowThrow(c) > 0;
    }
    if (found != qint64(n) * state.iterations())
        state.SkipWithError("a chat was not found");
    state.counters["chats_per_s"] = benchmark::Counter(double(n), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_BareInsert)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BareInsertSortedIndexes)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BareInsertBatched)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BackupNew)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BackupAgain)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FindGrouplessChats)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    return g_runBenchmarks<QCoreApplication>(argc, argv);
}
