// Loading a store of the current layout (members, phone numbers, the message
// pointing at its attachment) against loading the same history in the old
// layout. The current store is made from the generated old one by SQL, so
// both hold the same rows; both are kept in FERROWICK_BENCH_DIR and reused.
#include "BenchIosStore.h"
#include "BenchSupport.h"
#include "sqlite/Sqlite3DB.h"
#include "stores/IOSViberDb.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <benchmark/benchmark.h>

namespace {
const char* const kConvert[] = {
    "CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, Z_MAX INTEGER)",
    "INSERT INTO Z_PRIMARYKEY VALUES (1,'ABContact',0,0),(4,'Attachment',0,0),(5,'Conversation',0,0),"
    "(10,'Member',0,0),(11,'PhoneNumber',0,0),(13,'Recent',0,0),(14,'RecentsLine',0,0),(20,'ViberLocation',0,0),"
    "(21,'ViberMessage',0,0)",
    "CREATE TABLE ZABCONTACT (Z_PK INTEGER PRIMARY KEY, ZMAINNAME VARCHAR, ZCONTACTID INTEGER)",
    "INSERT INTO ZABCONTACT SELECT Z_PK, ZMAINNAME, ZRECORDID FROM old.ZABCONTACT",
    "CREATE TABLE ZABCONTACTNUMBER (Z_PK INTEGER PRIMARY KEY, ZCONTACT INTEGER, ZCANONIZEDPHONENUM VARCHAR)",
    "INSERT INTO ZABCONTACTNUMBER SELECT Z_PK, ZCONTACT, ZCANONIZEDPHONENUM FROM old.ZPHONENUMBERINDEX",
    "CREATE TABLE ZMEMBER (Z_PK INTEGER PRIMARY KEY, Z_OPT INTEGER, ZDISPLAYFULLNAME VARCHAR, ZICONID VARCHAR)",
    "INSERT INTO ZMEMBER SELECT Z_PK, 1, 'Member ' || Z_PK, ZICONID FROM old.ZPHONENUMBERINDEX",
    "CREATE TABLE ZPHONENUMBER (Z_PK INTEGER PRIMARY KEY, ZMEMBER INTEGER, ZCANONIZEDPHONENUM VARCHAR)",
    "INSERT INTO ZPHONENUMBER SELECT Z_PK, Z_PK, ZCANONIZEDPHONENUM FROM old.ZPHONENUMBERINDEX",
    "CREATE TABLE ZCONVERSATION (Z_PK INTEGER PRIMARY KEY, Z_OPT INTEGER, ZDATE TIMESTAMP, ZNAME VARCHAR, "
    "ZGROUPID VARCHAR, ZINTERLOCUTOR INTEGER, ZBEINGDELETED INTEGER)",
    "INSERT INTO ZCONVERSATION SELECT c.Z_PK, 1, c.ZDATE, c.ZNAME, c.ZGROUPID, CASE WHEN c.ZGROUPID IS NULL THEN "
    "(SELECT Z_8PHONENUMINDEXES FROM old.Z_4PHONENUMINDEXES WHERE Z_4CONVERSATIONS=c.Z_PK LIMIT 1) END, 0 "
    "FROM old.ZCONVERSATION AS c",
    "CREATE TABLE Z_5PHONENUMINDEXES (Z_5CONVERSATIONS INTEGER, Z_10PHONENUMINDEXES INTEGER)",
    "INSERT INTO Z_5PHONENUMINDEXES SELECT * FROM old.Z_4PHONENUMINDEXES",
    "CREATE TABLE ZATTACHMENT (Z_PK INTEGER PRIMARY KEY, Z_OPT INTEGER, ZTYPE VARCHAR, ZNAME VARCHAR, ZID VARCHAR, "
    "ZFILESIZE INTEGER, ZBUCKET VARCHAR, ZSTATE VARCHAR)",
    "INSERT INTO ZATTACHMENT SELECT Z_PK, 1, ZTYPE, ZNAME, ZID, ZFILESIZE, ZBUCKET, ZSTATE FROM old.ZATTACHMENT",
    "CREATE TABLE ZVIBERLOCATION (Z_PK INTEGER PRIMARY KEY, ZMESSAGE INTEGER, ZLATITUDE FLOAT, ZLONGITUDE FLOAT, "
    "ZADDRESS VARCHAR)",
    "INSERT INTO ZVIBERLOCATION SELECT Z_PK, ZMESSAGE, ZLATITUDE, ZLONGITUDE, ZADDRESS FROM old.ZVIBERLOCATION",
    "CREATE TABLE ZVIBERMESSAGE (Z_PK INTEGER PRIMARY KEY, Z_OPT INTEGER, ZSEQ INTEGER, ZTOKEN INTEGER, "
    "ZCONVERSATION INTEGER, ZPHONENUMINDEX INTEGER, ZDATE TIMESTAMP, ZSTATEDATE TIMESTAMP, ZSTATE VARCHAR, "
    "ZSYSTEMTYPE VARCHAR, ZTEXT VARCHAR, ZATTACHMENT INTEGER, ZLOCATION INTEGER, ZCALLTYPE VARCHAR, "
    "ZBEINGDELETED INTEGER)",
    "INSERT INTO ZVIBERMESSAGE SELECT m.Z_PK, 1, m.ZSEQ, m.ZTOKEN, m.ZCONVERSATION, NULLIF(m.ZPHONENUMINDEX, 0), "
    "m.ZDATE, m.ZSTATEDATE, m.ZSTATE, m.ZSYSTEMTYPE, m.ZTEXT, (SELECT a.Z_PK FROM old.ZATTACHMENT AS a WHERE "
    "a.ZMESSAGE=m.Z_PK), NULL, NULL, 0 FROM old.ZVIBERMESSAGE AS m",
    "CREATE TABLE ZRECENTSLINE (Z_PK INTEGER PRIMARY KEY, ZPHONENUMINDEX INTEGER, ZPHONENUMBER VARCHAR)",
    "INSERT INTO ZRECENTSLINE SELECT l.Z_PK, l.ZPHONENUMINDEX, p.ZCANONIZEDPHONENUM FROM old.ZRECENTSLINE AS l "
    "LEFT JOIN old.ZPHONENUMBERINDEX AS p ON l.ZPHONENUMINDEX=p.Z_PK",
    "CREATE TABLE ZRECENT (Z_PK INTEGER PRIMARY KEY, Z_OPT INTEGER, ZCALLTOKEN INTEGER, ZDURATION INTEGER, "
    "ZRECENTSLINE INTEGER, ZDATE TIMESTAMP, ZCALLTYPE VARCHAR, ZCALLLOGMESSAGE INTEGER)",
    "INSERT INTO ZRECENT SELECT Z_PK, 1, ZCALLTOKEN, ZDURATION, ZRECENTSLINE, ZDATE, ZCALLTYPE || '_with_video', NULL "
    "FROM old.ZRECENT",
};

// The folder holding com.viber/database/Contacts.data for n messages.
QString currentStore(int n)
{
    const QDir old = bench_store::store(n);
    const QString group = QDir(bench_store::benchDir()).filePath(QStringLiteral("current-%1").arg(n));
    const QString path = QDir(group).filePath(QStringLiteral("com.viber/database/Contacts.data"));
    if (QFileInfo::exists(path))
        return path;
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    {
        Sqlite3DB db;
        db.openThrow(part, 6);
        db.executeThrow(Sqlite3Sql("ATTACH DATABASE ? AS old")
                            .addTextParam(old.filePath(QStringLiteral("Documents/Contacts.data"))));
        if (!db.beginTran())
            throw std::runtime_error("no transaction");
        for (const char* sql : kConvert)
            db.executeThrow(sql);
        if (!db.commitTran())
            throw std::runtime_error("no commit");
    }
    QFile::rename(part, path);
    return path;
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
