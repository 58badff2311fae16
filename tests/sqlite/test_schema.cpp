#include "sqlite/DbSchema.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <QTest>

class TestSchema : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(m_dir.isValid());
    }

    void tablesAndColumnsIgnoreCase()
    {
        Sqlite3DB db;
        db.openThrow(m_dir.filePath(QStringLiteral("a.db")), 6);
        db.executeThrow("create table ZABCONTACT (Z_PK INTEGER PRIMARY KEY, ZMainName VARCHAR)");
        db.executeThrow("create table ZOTHER (x)");
        db.executeThrow("create index ZOTHER_X on ZOTHER (x)");
        db.executeThrow("create view V as select * from ZOTHER");
        DbSchema s;
        s.loadDbThrow(db);
        QCOMPARE(s.tables().size(), 2);
        QVERIFY(s.containsTable(QStringLiteral("zabcontact")));
        QVERIFY(s.containsTable(QStringLiteral("ZABCONTACT")));
        QVERIFY(!s.containsTable(QStringLiteral("V")));
        QVERIFY(s.containsCol(QStringLiteral("zabcontact"), QStringLiteral("ZMAINNAME")));
        QVERIFY(!s.containsCol(QStringLiteral("nosuch"), QStringLiteral("Z_PK")));
        const DbSchemaTable t = s.table(QStringLiteral("ZAbContact"));
        QCOMPARE(t.name, QStringLiteral("ZABCONTACT"));
        QVERIFY(t.sql.startsWith(QStringLiteral("CREATE TABLE ZABCONTACT")));
        QCOMPARE(t.col(QStringLiteral("zmainname")).name, QStringLiteral("ZMainName"));
        QVERIFY(s.table(QStringLiteral("nosuch")).name.isEmpty());
        QVERIFY(s.table(QStringLiteral("nosuch")).cols().isEmpty());

        // A snapshot: later tables appear only after the next load.
        db.executeThrow("create table LATER (y)");
        QVERIFY(!s.containsTable(QStringLiteral("LATER")));
        s.loadDbThrow(db);
        QVERIFY(s.containsTable(QStringLiteral("later")));
    }

    void fileWithoutTablesGivesEmptySchema()
    {
        Sqlite3DB db;
        db.openThrow(m_dir.filePath(QStringLiteral("empty.db")), 6);
        db.executeThrow("create view V as select 1 as one");
        DbSchema s;
        s.loadDbThrow(db);
        QVERIFY(s.tables().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "test_schema.moc"
