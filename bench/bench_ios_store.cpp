// Loading a large iPhone-layout store: IOSViberDb::loadDataThrow against a
// bare sqlite3_step scan of the same message query reading the same columns,
// in the same process, plus the memory the loaded data set takes per
// message. The generated stores are kept in FERROWICK_BENCH_DIR (default: the
// system temp folder) and reused by later runs.
#include "model/Sqlite3DB.h"
#include "stores/IOSViberDb.h"
#include "stores/IosStoreWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <malloc.h>

namespace {
const char* const kWords[] = {"ok", "see", "you", "later", "tomorrow", "morning", "thanks", "great", "photo",
                              "call", "me", "when", "free", "dinner", "at", "eight", "the", "train", "is", "late",
                              "(smiley)", "\xF0\x9F\x98\x84", "\xF0\x9F\x91\x8D", "love", "it", "where", "are"};

QString benchDir()
{
    const QByteArray env = qgetenv("FERROWICK_BENCH_DIR");
    return env.isEmpty() ? QDir::temp().filePath(QStringLiteral("ferrowick-bench")) : QString::fromLocal8Bit(env);
}

QString randomText(QRandomGenerator& rng)
{
    // Mostly short chat lines, now and then a long one.
    const int words = rng.bounded(100) < 90 ? 1 + rng.bounded(12) : 20 + rng.bounded(60);
    QString t;
    for (int i = 0; i < words; ++i) {
        if (i)
            t += QLatin1Char(' ');
        t += QString::fromUtf8(kWords[rng.bounded(int(std::size(kWords)))]);
    }
    return t;
}

// Writes a container with n messages in 1 000 chats among 2 000 people:
// about 8% attachments of every kind, 1% locations and one call per 50
// messages.
void generate(const QString& root, int n)
{
    const QString path = QDir(root).filePath(QStringLiteral("Documents/Contacts.data"));
    IosStoreWriter w(path + QStringLiteral(".part"));
    w.setBulkMode();
    w.beginThrow();
    QRandomGenerator rng(n);
    Sqlite3DB& db = w.db();
    const int people = 2000, chats = 1000;
    for (int i = 1; i <= people; ++i) {
        db.executeThrow(Sqlite3Sql("insert into ZABCONTACT (Z_ENT, Z_OPT, ZRECORDID, ZMAINNAME) values (1, 1, ?, ?)")
                            .addIntParam(i)
                            .addTextParam(QStringLiteral("Person %1").arg(i)));
        db.executeThrow(Sqlite3Sql("insert into ZPHONENUMBERINDEX (Z_ENT, Z_OPT, ZCONTACT, ZCANONIZEDPHONENUM, ZICONID) "
                                   "values (8, 1, ?, ?, ?)")
                            .addIntParam(i)
                            .addTextParam(QString::number(15550000000LL + i))
                            .addTextParam(QStringLiteral("icon%1").arg(i)));
    }
    for (int c = 1; c <= chats; ++c) {
        const bool group = c % 10 == 0;
        db.executeThrow(Sqlite3Sql("insert into ZCONVERSATION (Z_ENT, Z_OPT, ZDATE, ZNAME, ZGROUPID) values (4, 1, ?, ?, ?)")
                            .addDoubleParam(700000000 + c)
                            .addParam(group ? QVariant(QStringLiteral("Group %1").arg(c)) : QVariant())
                            .addParam(group ? QVariant(QStringLiteral("g%1").arg(c)) : QVariant()));
        const int members = group ? 5 : 1;
        for (int m = 0; m < members; ++m)
            db.executeThrow(Sqlite3Sql("insert or ignore into Z_4PHONENUMINDEXES values (?, ?)")
                                .addIntParam(c)
                                .addIntParam(1 + (c * 7 + m * 13) % people));
    }
    const char* kinds[] = {"picture", "sticker", "audio", "video"};
    for (int i = 1; i <= n; ++i) {
        const int chat = 1 + rng.bounded(chats);
        const bool received = rng.bounded(2);
        const int roll = rng.bounded(100);
        const bool location = roll == 99;
        const QString text = roll < 8 ? QString() : randomText(rng);
        db.executeThrow(Sqlite3Sql("insert into ZVIBERMESSAGE (Z_ENT, Z_OPT, ZSEQ, ZTOKEN, ZCONVERSATION, "
                                   "ZPHONENUMINDEX, ZDATE, ZSTATEDATE, ZSTATE, ZSYSTEMTYPE, ZTEXT) values "
                                   "(16, 1, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                            .addIntParam(i)
                            .addInt64Param(6000000000000LL + i)
                            .addIntParam(chat)
                            .addIntParam(received ? 1 + (chat * 7) % people : 0)
                            .addDoubleParam(600000000.0 + i * 30.0)
                            .addDoubleParam(600000000.0 + i * 30.0 + 2)
                            .addTextParam(received ? QStringLiteral("received") : QStringLiteral("delivered"))
                            .addParam(location ? QVariant(QStringLiteral("customLocation")) : QVariant())
                            .addTextParam(text));
        if (roll < 8) {
            const QString kind = QString::fromLatin1(kinds[roll % 4]);
            db.executeThrow(Sqlite3Sql("insert into ZATTACHMENT (Z_ENT, Z_OPT, ZMESSAGE, ZTYPE, ZNAME, ZID, ZFILESIZE, "
                                       "ZBUCKET, ZSTATE) values (3, 1, ?, ?, ?, ?, ?, 'share', 'downloaded')")
                                .addIntParam(i)
                                .addTextParam(kind)
                                .addTextParam(QStringLiteral("file%1.jpg").arg(i))
                                .addTextParam(QString::number(1000 + i % 500))
                                .addIntParam(10000 + i % 90000));
        }
        if (location)
            db.executeThrow(Sqlite3Sql("insert into ZVIBERLOCATION (Z_ENT, Z_OPT, ZMESSAGE, ZLATITUDE, ZLONGITUDE, "
                                       "ZADDRESS) values (15, 1, ?, 48.85, 2.29, 'Somewhere 1')")
                                .addIntParam(i));
        if (i % 50 == 0)
            w.addCall(1 + rng.bounded(people), i % 150 == 0 ? QStringLiteral("missed") : QStringLiteral("incoming"),
                      rng.bounded(600), 600000000.0 + i * 30.0, i);
    }
    w.commitThrow();
    db.close();
    QFile::rename(path + QStringLiteral(".part"), path);
}

QDir store(int n)
{
    const QDir root(QDir(benchDir()).filePath(QStringLiteral("store-%1").arg(n)));
    if (!QFileInfo::exists(root.filePath(QStringLiteral("Documents/Contacts.data")))) {
        QFile::remove(root.filePath(QStringLiteral("Documents/Contacts.data.part")));
        generate(root.path(), n);
    }
    return root;
}

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
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
