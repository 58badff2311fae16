#include "sqlite/Sqlite3DB.h"
#include "sqlite/Sqlite3Statement.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSqlite : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(m_dir.isValid());
        QCOMPARE(sqlite_qt_version(), 6);
    }

    void bindsEveryTypeAndReadsItBack()
    {
        Sqlite3DB db;
        db.openThrow(path("types.db"), 6);
        db.executeThrow("create table t (i INTEGER, big INTEGER, d REAL, s TEXT, b BLOB, n TEXT)");
        db.executeThrow(Sqlite3Sql("insert into t values (?,?,?,?,?,?)")
                            .addIntParam(-7)
                            .addInt64Param(1LL << 40)
                            .addDoubleParam(2.5)
                            .addTextParam(QString::fromUtf8("h\xc3\xa9llo \xf0\x9f\x98\x84"))
                            .addBlobParam(QByteArray("\0\1\2", 3))
                            .addNullParam());
        QCOMPARE(db.lastInsertId(), 1);
        Sqlite3Cursor c = db.queryThrow("select * from t");
        QVERIFY(c.moveNext());
        QCOMPARE(c.getInt("i"), -7);
        QCOMPARE(c.getInt64("big"), 1LL << 40);
        QCOMPARE(c.getDouble("d"), 2.5);
        QCOMPARE(c.getText("s"), QString::fromUtf8("h\xc3\xa9llo \xf0\x9f\x98\x84"));
        QCOMPARE(c.getBlob("b"), QByteArray("\0\1\2", 3));
        QVERIFY(c.isNull("n"));
        QVERIFY(!c.isNull("i"));
        QVERIFY(!c.moveNext());
        QVERIFY(!c.moveNext());
    }

    void nullsAndMissingColumnsReadAsZeroOrEmpty()
    {
        Sqlite3DB db;
        db.openThrow(path("nulls.db"), 6);
        db.executeThrow("create table t (a INTEGER, b TEXT, c BLOB, d REAL)");
        db.executeThrow("insert into t values (NULL, NULL, NULL, NULL)");
        Sqlite3Cursor c = db.queryThrow("select * from t");
        QVERIFY(c.moveNext());
        QCOMPARE(c.getInt64("a"), 0);
        QVERIFY(c.getText("b").isEmpty());
        QVERIFY(c.getBlob("c").isEmpty());
        QCOMPARE(c.getDouble("d"), 0.0);
        QVERIFY(!c.containsCol("nosuch"));
        QCOMPARE(c.getInt("nosuch"), 0);
        QVERIFY(c.getText("nosuch").isEmpty());
        QVERIFY(c.isNull("nosuch"));
        // Reading before the first row or after the last is not an error either.
        Sqlite3Cursor before = db.queryThrow("select 5 as x");
        QCOMPARE(before.getInt("x"), 0);
    }

    void columnNamesIgnoreCaseAndAliasesCount()
    {
        Sqlite3DB db;
        db.openThrow(path("case.db"), 6);
        db.executeThrow("create table Events (EventId INTEGER, ChatId INTEGER)");
        db.executeThrow("insert into Events values (42, 7)");
        Sqlite3Cursor c = db.queryThrow("select e.*, e.ChatId as chat_id from Events as e");
        QVERIFY(c.moveNext());
        QCOMPARE(c.getInt64("EventID"), 42);
        QCOMPARE(c.getInt64("eventid"), 42);
        QCOMPARE(c.getInt64("CHAT_ID"), 7);
        QVERIFY(c.containsCol("CHATID"));
        const Sqlite3Row row = c.getRow();
        QCOMPARE(row.val("EventId").toLongLong(), 42);
        QCOMPARE(row.values().size(), 3);
    }

    void reusesStatementsWithFreshParameters()
    {
        Sqlite3DB db;
        db.openThrow(path("reuse.db"), 6);
        db.executeThrow("create table t (k INTEGER PRIMARY KEY, v TEXT)");
        for (int i = 1; i <= 5; ++i)
            db.executeThrow(Sqlite3Sql("insert into t (k, v) values (?, ?)").addIntParam(i).addTextParam(QString::number(i * 10)));
        // Two cursors of the same text open at once must not share a statement.
        Sqlite3Cursor a = db.queryThrow(Sqlite3Sql("select v from t where k = ?").addIntParam(2));
        Sqlite3Cursor b = db.queryThrow(Sqlite3Sql("select v from t where k = ?").addIntParam(4));
        QVERIFY(a.moveNext());
        QVERIFY(b.moveNext());
        QCOMPARE(a.getText("v"), QStringLiteral("20"));
        QCOMPARE(b.getText("v"), QStringLiteral("40"));
        a = Sqlite3Cursor();
        b = Sqlite3Cursor();
        Sqlite3Cursor again = db.queryThrow(Sqlite3Sql("select v from t where k = ?").addIntParam(5));
        QVERIFY(again.moveNext());
        QCOMPARE(again.getText("v"), QStringLiteral("50"));
    }

    void rowBuildsInsertWithExclusions()
    {
        Sqlite3DB db;
        db.openThrow(path("row.db"), 6);
        db.executeThrow("create table \"odd\"\"name\" (Z_PK INTEGER PRIMARY KEY, ZTEXT TEXT, ZDATE REAL, _other BLOB, n TEXT)");
        Sqlite3Row row;
        row["Z_PK"] = QVariant(qint64(9));
        row["ZTEXT"] = QStringLiteral("x");
        row.setVal("ZDATE", 1.5);
        row["_other"] = QByteArray("bag");
        row["n"] = QVariant();
        db.executeThrow(row.insertSql(QStringLiteral("odd\"name"), {QStringLiteral("Z_PK")}));
        Sqlite3Cursor c = db.queryThrow("select * from \"odd\"\"name\"");
        QVERIFY(c.moveNext());
        QCOMPARE(c.getInt64("Z_PK"), 1); // excluded, so SQLite chose the key
        QCOMPARE(c.getText("ZTEXT"), QStringLiteral("x"));
        QCOMPARE(c.getDouble("ZDATE"), 1.5);
        QCOMPARE(c.getBlob("_other"), QByteArray("bag"));
        QVERIFY(c.isNull("n"));
    }

    void errorsCarrySqliteText()
    {
        Sqlite3DB db;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.queryThrow("select 1"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.openThrow(path("missing/x.db"), 2));
        QVERIFY(!db.isOpen());

        db.openThrow(path("err.db"), 6);
        try {
            db.queryThrow("select * from nosuch");
            QFAIL("no error");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("no such table: nosuch"));
        }
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.executeThrow(Sqlite3Sql("select ?")));
        db.executeThrow("create table u (k INTEGER PRIMARY KEY)");
        db.executeThrow("insert into u values (1)");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.executeThrow("insert into u values (1)"));
        QString err;
        QVERIFY(db.exec(QStringLiteral("select 1; nonsense;"), err) != 0);
        QVERIFY(err.contains(QStringLiteral("nonsense")));

        QFile junk(path("junk.db"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
        junk.close();
        Sqlite3DB bad;
        bad.openThrow(junk.fileName(), 2);
        try {
            bad.queryThrow("select * from sqlite_master");
            QFAIL("no error");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("file is not a database"));
        }
    }

    void oversizedValuesFailInsteadOfExhaustingMemory()
    {
        Sqlite3DB db;
        db.openThrow(path("big.db"), 6);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 db.executeThrow(Sqlite3Sql("select zeroblob(?)").addInt64Param(kSqliteMaxValueBytes + 1LL)));
    }

    void cursorOutlivesClose()
    {
        Sqlite3Cursor c;
        {
            Sqlite3DB db;
            db.openThrow(path("outlive.db"), 6);
            db.executeThrow("create table t (v INTEGER)");
            db.executeThrow("insert into t values (1), (2)");
            c = db.queryThrow("select v from t order by v");
            db.close();
            QVERIFY(db.handle() == nullptr);
        }
        QVERIFY(c.moveNext());
        QVERIFY(c.moveNext());
        QCOMPARE(c.getInt(0), 2);
        QVERIFY(!c.moveNext());
    }

    // A statement prepared once: each run sees only its own values, a
    // failed run leaves it usable, and texts bind as the connection's own
    // parameters do (a null text is an empty text, not NULL).
    void preparedStatementRunsAgainWithFreshValues()
    {
        Sqlite3DB db;
        db.openThrow(path("prepared.db"), 6);
        db.executeThrow("create table t (k INTEGER PRIMARY KEY, v TEXT UNIQUE, d REAL, b BLOB)");
        Sqlite3Statement insert(db, QStringLiteral("insert into t (k, v, d, b) values (?, ?, ?, ?)"));
        insert.bindInt64(1, 1).bindText(2, QString::fromUtf8("\xc3\xa9t\xc3\xa9")).bindDouble(3, 2.5)
            .bindBlob(4, QByteArray("\0x", 2)).execute();
        // Values left unbound on the next run are NULL, not the last ones.
        insert.bindInt64(1, 2).bindText(2, QString()).execute();
        try {
            insert.bindInt64(1, 3).bindText(2, QString()).execute();
            QFAIL("no error");
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String("UNIQUE")), e.what());
        }
        insert.bindVariant(1, QVariant(qint64(4))).bindVariant(2, QVariant(QStringLiteral("x")))
            .bindVariant(3, QVariant(1.25)).bindVariant(4, QVariant()).execute();

        Sqlite3Cursor c = db.queryThrow("select k, v, typeof(v), d, b from t order by k");
        QStringList rows;
        while (c.moveNext())
            rows << QStringLiteral("%1|%2|%3|%4|%5").arg(c.getInt64(0)).arg(c.getText(1), c.getText(2))
                        .arg(c.isNull(3) ? QStringLiteral("null") : QString::number(c.getDouble(3)))
                        .arg(c.isNull(4) ? QStringLiteral("null") : QString::fromLatin1(c.getBlob(4).toHex()));
        QCOMPARE(rows, QStringList({QString::fromUtf8("1|\xc3\xa9t\xc3\xa9|text|2.5|0078"),
                                    QStringLiteral("2||text|null|null"), QStringLiteral("4|x|text|1.25|null")}));

        Sqlite3Statement find(db, QStringLiteral("select k from t where v=?"));
        QVERIFY(find.bindText(1, QString()).step());
        QCOMPARE(find.int64(0), 2);
        QVERIFY(!find.step());
        find.reset();
        QVERIFY(!find.bindText(1, QStringLiteral("nothing")).step());
        find.reset();

        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Sqlite3Statement(db, QStringLiteral("select * from nosuch")));
        Sqlite3DB closed;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Sqlite3Statement(closed, QStringLiteral("select 1")));
    }

    void transactionsAndTableColumns()
    {
        Sqlite3DB db;
        db.openThrow(path("tran.db"), 6);
        db.executeThrow("create table t (Z_PK INTEGER PRIMARY KEY, ZNAME VARCHAR NOT NULL DEFAULT 'x')");
        QVERIFY(db.beginTran());
        db.executeThrow("insert into t (ZNAME) values ('a')");
        QVERIFY(db.rollbackTran());
        Sqlite3Cursor c = db.queryThrow("select count(*) as n from t");
        QVERIFY(c.moveNext());
        QCOMPARE(c.getInt("n"), 0);
        const QList<_SqliteCol> cols = db.tbCols(QStringLiteral("t"));
        QCOMPARE(cols.size(), 2);
        QCOMPARE(cols.at(0).name, QStringLiteral("Z_PK"));
        QCOMPARE(cols.at(0).pk, 1);
        QCOMPARE(cols.at(1).type, QStringLiteral("VARCHAR"));
        QVERIFY(cols.at(1).notNull);
        QVERIFY(db.tbCols(QStringLiteral("nosuch")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSqlite)
#include "test_sqlite.moc"
