// A row's property bag is written straight into bytes; read back, it must
// hold what the row held, as the records' other fields are read: integers as
// stored, texts as QString reads them (malformed bytes and a leading byte
// order mark included), optional values left out when NULL or empty.
#include "sqlite/Sqlite3DB.h"
#include "model/TinyKVSerializer.h"
#include "stores/StoreBag.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <QTest>

class TestStoreBag : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void rowsReadBackAsStored()
    {
        QTemporaryDir dir;
        Sqlite3DB db;
        db.openThrow(dir.filePath(QStringLiteral("bag.db")), 6);
        db.executeThrow("create table t (Z_OPT INTEGER, ZRANGE INTEGER, ZSTATE TEXT, ZSHOWN INTEGER, ZRANGES BLOB)");
        const QList<QByteArray> texts = {QByteArray("downloaded"), QByteArray("\xEF\xBB\xBFstarts with a mark"),
                                         QByteArray("bad \xC0\xAF byte"), QByteArray("Привет"), QByteArray()};
        for (qsizetype i = 0; i < texts.size(); ++i) {
            Sqlite3Sql insert("insert into t values (?, ?, CAST(? AS TEXT), ?, ?)");
            insert.addIntParam(int(i)).addInt64Param((1LL << 40) + i).addBlobParam(texts.at(i));
            if (i % 2)
                insert.addNullParam().addBlobParam(QByteArray());
            else
                insert.addIntParam(7).addBlobParam(QByteArray("\0\1", 2));
            db.executeThrow(insert);
        }
        Sqlite3Cursor c = db.queryThrow("select * from t");
        StoreBag bag(c, {{"Z_OPT", StoreBag::Int},
                         {"ZRANGE", StoreBag::Int64},
                         {"ZSTATE", StoreBag::Text},
                         {"ZSHOWN", StoreBag::IntUnlessNull},
                         {"ZRANGES", StoreBag::BytesUnlessEmpty},
                         {"ZABSENT", StoreBag::Int}});
        for (qsizetype i = 0; i < texts.size(); ++i) {
            QVERIFY(c.moveNext());
            QHash<QString, QVariant> expected{{QStringLiteral("Z_OPT"), int(i)},
                                              {QStringLiteral("ZRANGE"), qlonglong((1LL << 40) + i)},
                                              {QStringLiteral("ZSTATE"), c.getText(2)}};
            if (i % 2 == 0) {
                expected.insert(QStringLiteral("ZSHOWN"), 7);
                expected.insert(QStringLiteral("ZRANGES"), QByteArray("\0\1", 2));
            }
            const QHash<QString, QVariant> got = TinyKVSerializer::unser(bag.bag(c));
            QCOMPARE(got, expected);
            QCOMPARE(got.value(QStringLiteral("ZSTATE")).toString(), QString::fromUtf8(texts.at(i)));
        }
    }

    void aLocalDatabaseBagIsKeptAsItIs()
    {
        QTemporaryDir dir;
        Sqlite3DB db;
        db.openThrow(dir.filePath(QStringLiteral("local.db")), 6);
        db.executeThrow("create table t (Z_OPT INTEGER, _other BLOB)");
        const QByteArray stored = TinyKVSerializer::ser({{QStringLiteral("ZURL"), QStringLiteral("x")}});
        db.executeThrow(Sqlite3Sql("insert into t values (3, ?)").addBlobParam(stored));
        Sqlite3Cursor c = db.queryThrow("select * from t");
        StoreBag bag(c, {{"Z_OPT", StoreBag::Int}});
        QVERIFY(c.moveNext());
        QCOMPARE(bag.bag(c), stored);
    }
};

QTEST_GUILESS_MAIN(TestStoreBag)
#include "test_store_bag.moc"
