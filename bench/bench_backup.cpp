// Backing up a large history into a new local database: the backup job
// against a bare insert of the same message, attachment and location rows
// into the same schema in one transaction with statements prepared once, in
// the same process; then a second backup of the same messages into the
// database the first one made (everything found, nothing inserted); and the
// look-up of chats without a group id by their members, which must not get
// slower per chat as the database holds more chats.
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

// The rows the backup writes for the messages, inserted with the C API in
// the backup's order (chat by chat) and with the backup's page cache, so
// the difference is what the job adds, not a different index access pattern.
void bareInsert(const ViberData& data, const QString& path)
{
    QList<_ViberMsg*> msgs = data.messages();
    g_sortByChatAndTime(msgs);
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
    sqlite3_stmt *msg = nullptr, *atta = nullptr, *loc = nullptr;
    sqlite3_prepare_v2(db,
                       "insert into ZVIBERMESSAGE (ZSEQ, ZTOKEN, ZCONVERSATION, ZPHONENUMINDEX, ZDATE, ZSTATEDATE, "
                       "ZSTATE, ZSYSTEMTYPE, ZTEXT, _other) values (?,?,?,?,?,?,?,?,?,?)",
                       -1, &msg, nullptr);
    sqlite3_prepare_v2(db,
                       "insert into ZATTACHMENT (ZFILESIZE, ZSEQ, ZMESSAGE, ZID, ZNAME, ZTYPE, _other) values "
                       "(?,?,?,?,?,?,?)",
                       -1, &atta, nullptr);
    sqlite3_prepare_v2(db, "insert into ZVIBERLOCATION (ZMESSAGE, ZLATITUDE, ZLONGITUDE, ZADDRESS) values (?,?,?,?)", -1,
                       &loc, nullptr);
    for (const _ViberMsg* m : std::as_const(msgs)) {
        if (m->type == MSG_TYPE_CALL)
            continue;
        const QByteArray text = m->text.toUtf8();
        sqlite3_bind_int64(msg, 1, m->seq);
        sqlite3_bind_int64(msg, 2, m->token);
        sqlite3_bind_int64(msg, 3, m->chat ? m->chat->id : 0);
        sqlite3_bind_int64(msg, 4, m->person ? m->person->id : 0);
        sqlite3_bind_double(msg, 5, m->date);
        sqlite3_bind_double(msg, 6, m->stateDate);
        sqlite3_bind_text(msg, 7, m->state == MSG_STATE_RECEIVED ? "received" : "delivered", -1, SQLITE_STATIC);
        sqlite3_bind_null(msg, 8);
        sqlite3_bind_text(msg, 9, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        sqlite3_bind_blob(msg, 10, m->others.constData(), int(m->others.size()), SQLITE_TRANSIENT);
        sqlite3_step(msg);
        sqlite3_reset(msg);
        const sqlite3_int64 key = sqlite3_last_insert_rowid(db);
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
    }
    sqlite3_finalize(msg);
    sqlite3_finalize(atta);
    sqlite3_finalize(loc);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void BM_BareInsert(benchmark::State& state)
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
        bareInsert(data, tmp.filePath(kStore));
        seconds = double(t.nsecsElapsed()) / 1e9;
        state.PauseTiming();
        tmp.remove();
        state.ResumeTiming();
    }
    g_bareSeconds[n] = seconds;
    state.counters["msgs_per_s"] = double(data.p()->msgs.size()) / seconds;
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
BENCHMARK(BM_BackupNew)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BackupAgain)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FindGrouplessChats)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    return g_runBenchmarks<QCoreApplication>(argc, argv);
}
