#include "fixtures/StoreFixture.h"
#include "stores/IOSViberDb.h"
#include "support/TestEnv.h"

#include <QFile>
#include <sqlite3.h>
#include <QTemporaryDir>
#include <QTest>

// Stores are untrusted: every broken one must end in a std::runtime_error
// with a readable text, never in a crash or a half-open reader.
class TestIOSViberDbBad : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    int m_n = 0;

    QDir newRoot()
    {
        const QDir root(m_tmp.filePath(QStringLiteral("c%1").arg(++m_n)));
        root.mkpath(QStringLiteral("Documents"));
        return root;
    }

    static QString loadError(const QDir& root)
    {
        IOSViberDb db(root, QStringLiteral("Documents/Contacts.data"), false);
        try {
            db.loadDataThrow();
        } catch (const std::runtime_error& e) {
            return QString::fromUtf8(e.what());
        }
        return QString();
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(m_tmp.isValid());
    }

    void filesThatAreNotStores()
    {
        QDir root = newRoot();
        QVERIFY(g_writeFile(root.filePath(QStringLiteral("Documents/Contacts.data")), QByteArray(8192, '\x5a')));
        QCOMPARE(loadError(root), QStringLiteral("file is not a database"));

        root = newRoot();
        QVERIFY(g_writeFile(root.filePath(QStringLiteral("Documents/Contacts.data")), QByteArray()));
        QCOMPARE(loadError(root), QStringLiteral("no such table: Z_PRIMARYKEY"));

        root = newRoot();
        {
            Sqlite3DB db;
            db.openThrow(root.filePath(QStringLiteral("Documents/Contacts.data")), 6);
            db.executeThrow("create table ZCONVERSATION (Z_PK INTEGER PRIMARY KEY)");
        }
        QCOMPARE(loadError(root), QStringLiteral("no such table: Z_PRIMARYKEY"));
    }

    void entityNumbersNamingNoJoinTable()
    {
        ContainerFixture c(newRoot().path());
        c.store().db().executeThrow("update Z_PRIMARYKEY set Z_ENT = 40 where Z_NAME = 'Conversation'");
        c.finish();
        QCOMPARE(loadError(c.root()), QStringLiteral("no such table: Z_40PHONENUMINDEXES"));
        // A store that failed to open is not taken for an open one next time.
        IOSViberDb db(c.root(), c.dbFile(), false);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.openCheckThrow());
        QVERIFY(!db.isOpen());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.openCheckThrow());

        ContainerFixture missing(newRoot().path());
        missing.store().db().executeThrow("delete from Z_PRIMARYKEY where Z_NAME = 'Conversation'");
        missing.finish();
        QCOMPARE(loadError(missing.root()), QStringLiteral("no such table: Z_0PHONENUMINDEXES"));
    }

    void aMissingRequiredColumnIsNamed_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        const QList<QPair<const char*, const char*>> required = {
            {"ZCONVERSATION", "Z_PK"},        {"Z_4PHONENUMINDEXES", "Z_4CONVERSATIONS"},
            {"Z_4PHONENUMINDEXES", "Z_8PHONENUMINDEXES"}, {"ZPHONENUMBERINDEX", "ZCANONIZEDPHONENUM"},
            {"ZPHONENUMBERINDEX", "ZCONTACT"}, {"ZABCONTACT", "ZMAINNAME"},
            {"ZVIBERMESSAGE", "Z_PK"},        {"ZVIBERMESSAGE", "ZCONVERSATION"},
            {"ZVIBERMESSAGE", "ZSTATE"},      {"ZVIBERMESSAGE", "ZDATE"},
            {"ZVIBERMESSAGE", "ZTEXT"},       {"ZVIBERLOCATION", "ZMESSAGE"},
            {"ZATTACHMENT", "ZMESSAGE"},      {"ZATTACHMENT", "ZTYPE"},
            {"ZATTACHMENT", "ZNAME"},         {"ZRECENT", "ZRECENTSLINE"},
            {"ZRECENT", "ZCALLTYPE"},         {"ZRECENTSLINE", "ZPHONENUMINDEX"}};
        for (const auto& [table, column] : required)
            QTest::addRow("%s.%s", table, column) << QString::fromLatin1(table) << QString::fromLatin1(column);
    }

    void aMissingRequiredColumnIsNamed()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        ContainerFixture c(newRoot().path());
        g_fillSampleStore(c);
        c.store().db().executeThrow(QStringLiteral("alter table %1 rename column %2 to gone").arg(table, column));
        c.finish();
        const QString err = loadError(c.root());
        QCOMPARE(err, QStringLiteral("the table %1 has no column %2, which is needed to read it").arg(table, column));
    }

    void missingOptionalColumnsKeepTheirDefaults()
    {
        ContainerFixture c(newRoot().path());
        const SampleStore s = g_fillSampleStore(c);
        for (const char* sql : {"alter table ZVIBERMESSAGE rename column ZSYSTEMTYPE to gone",
                                "alter table ZATTACHMENT rename column ZDURATION to gone",
                                "alter table ZPHONENUMBERINDEX rename column ZICONID to gone"})
            c.store().db().executeThrow(sql);
        c.finish();
        IOSViberDb db(c.root(), c.dbFile(), false);
        const ViberData data = db.loadDataThrow();
        QVERIFY(data.p()->msgs.contains(s.msgReceived));
        QCOMPARE(data.p()->msgs.value(s.msgAudio)->atta->duration, 0.0);
    }

    void truncatedStore()
    {
        ContainerFixture c(newRoot().path());
        g_fillSampleStore(c);
        for (int i = 0; i < 300; ++i) {
            IOSStoreWriter::Message m;
            m.chat = 1;
            m.text = QString(200, QLatin1Char('t'));
            c.store().addMessage(m);
        }
        c.finish();
        QFile f(c.storePath());
        QVERIFY(f.resize(f.size() / 2));
        QVERIFY(!loadError(c.root()).isEmpty());
    }

    void nullsInEveryColumnLoadAsEmptyValues()
    {
        ContainerFixture c(newRoot().path());
        IOSStoreWriter& w = c.store();
        for (const char* table : {"ZABCONTACT", "ZPHONENUMBERINDEX", "ZCONVERSATION", "ZVIBERMESSAGE", "ZVIBERLOCATION",
                                  "ZATTACHMENT", "ZRECENTSLINE", "ZRECENT", "Z_4PHONENUMINDEXES"}) {
            const DbSchemaTable t = [&] {
                DbSchema s;
                s.loadDbThrow(w.db());
                return s.table(QString::fromLatin1(table));
            }();
            QStringList cols;
            for (const _SqliteCol& col : t.cols())
                cols << col.name;
            QStringList nulls(cols.size(), QStringLiteral("NULL"));
            w.db().executeThrow(QStringLiteral("insert into %1 (%2) values (%3)")
                                    .arg(t.name, cols.join(QLatin1Char(',')), nulls.join(QLatin1Char(','))));
        }
        // A message whose columns are NULL apart from its chat and state.
        const qint64 chat = w.addChat(0, {});
        w.db().executeThrow(Sqlite3Sql("insert into ZVIBERMESSAGE (ZCONVERSATION, ZSTATE) values (?, 'received')").addInt64Param(chat));
        w.db().executeThrow("insert into ZATTACHMENT (ZMESSAGE, ZTYPE) values (last_insert_rowid(), 'picture')");
        c.finish();
        IOSViberDb db(c.root(), c.dbFile(), false);
        const ViberData data = db.loadDataThrow();
        QCOMPARE(data.p()->msgs.size(), 1);
        const _ViberMsg* m = data.p()->msgs.constBegin().value();
        QVERIFY(m->text.isEmpty());
        QCOMPARE(m->type, int(MSG_TYPE_IMAGE));
        QVERIFY(m->atta->filePath.isEmpty()); // an empty name is no file either
        QVERIFY(data.p()->calls.isEmpty());
    }

    void hugeTextValues()
    {
        ContainerFixture c(newRoot().path());
        const qint64 chat = c.store().addChat(0, {});
        IOSStoreWriter::Message m;
        m.chat = chat;
        m.state = QStringLiteral("received");
        m.text = QString(1 << 20, QLatin1Char('a'));
        c.store().addMessage(m);
        c.finish();
        {
            const ViberData data = IOSViberDb(c.root(), c.dbFile(), false).loadDataThrow();
            QCOMPARE(data.p()->msgs.constBegin().value()->text.size(), 1 << 20);
        }
        // Beyond the per-value limit the load fails instead of allocating.
        sqlite3* raw = nullptr;
        QCOMPARE(sqlite3_open(c.storePath().toUtf8().constData(), &raw), SQLITE_OK);
        const QByteArray sql = "update ZVIBERMESSAGE set ZTEXT = cast(zeroblob(" + QByteArray::number(kSqliteMaxValueBytes + 16)
                               + ") as text)";
        QCOMPARE(sqlite3_exec(raw, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(raw);
        QCOMPARE(loadError(c.root()), QStringLiteral("string or blob too big"));
    }
};

QTEST_GUILESS_MAIN(TestIOSViberDbBad)
#include "test_ios_viber_db_bad.moc"
