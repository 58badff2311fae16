#include "export/StoreDump.h"
#include "fixtures/StoreFixture.h"
#include "support/CliProcess.h"
#include "support/TestEnv.h"
#include "sqlite/Sqlite3DB.h"
#include "stores/IOSViberDb.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <stdexcept>

namespace {
// A messages listing without the message and chat keys, which a backup
// chooses itself.
QString withoutKeys(const QString& listing)
{
    QStringList lines;
    for (const QString& line : listing.split(u'\n', Qt::SkipEmptyParts))
        lines << line.section(u'\t', 2);
    return lines.join(u'\n');
}
} // namespace

class TestCliBackup : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_container;
    QString m_data;
    SampleStore m_s;

    CliResult run(const QStringList& args)
    {
        return g_runCliProcess(QStringLiteral(FERROWICK_CLI_PATH), args, g_cliEnvironment(m_data));
    }
    QString dbFolder(const QString& name) const { return m_data + QStringLiteral("/local_databases/") + name; }
    QString storeOf(const QString& name) const
    {
        return dbFolder(name) + QStringLiteral("/Documents/Contacts-tellurine.data");
    }
    QString messages(const QString& db) { return run({QStringLiteral("messages"), QStringLiteral("--localdb"), db}).out; }
    void backupInto(const QString& name, const QString& expected)
    {
        const CliResult r = run({QStringLiteral("backup"), QStringLiteral("--into"), name, QStringLiteral("--container"),
                                 m_container});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, expected);
        QCOMPARE(r.code, 0);
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(m_tmp.isValid());
        const QString container = m_tmp.filePath(QStringLiteral("container"));
        m_s = g_writeSampleContainer(container);
        m_container = container;
        m_data = m_tmp.filePath(QStringLiteral("data"));
    }

    void backupListsTheSameMessagesAndRepeatsWithoutChange()
    {
        backupInto(QStringLiteral("Main"), QStringLiteral("Successfully backed up 19 messages.\n"));
        const QString source = run({QStringLiteral("messages"), QStringLiteral("--container"), m_container}).out;
        const QString copy = messages(QStringLiteral("Main"));
        QCOMPARE(copy.count(u'\n'), 19);
        QCOMPARE(withoutKeys(copy), withoutKeys(source));

        const QString dump = g_dumpStore(storeOf(QStringLiteral("Main")));
        backupInto(QStringLiteral("Main"), QStringLiteral("Successfully backed up 19 messages.\n"));
        QCOMPARE(g_dumpStore(storeOf(QStringLiteral("Main"))), dump);
        // Another spelling of the name merges into the same database.
        backupInto(QStringLiteral("mAIN"), QStringLiteral("Successfully backed up 19 messages.\n"));
        QCOMPARE(g_dumpStore(storeOf(QStringLiteral("Main"))), dump);
        QVERIFY(!QFileInfo::exists(dbFolder(QStringLiteral("mAIN"))));
    }

    void twoBackupsIntoOneNewDatabaseAtOnce()
    {
        // Both start before the database exists: the second waits for the
        // first instead of reading a store that is being made.
        for (int round = 0; round < 3; ++round) {
            const QString name = QStringLiteral("Race%1").arg(round);
            QList<QProcess*> procs;
            for (int i = 0; i < 2; ++i) {
                auto* p = new QProcess(this);
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.insert(QStringLiteral("FERROWICK_DATA_DIR"), m_data);
                p->setProcessEnvironment(env);
                p->start(QStringLiteral(FERROWICK_CLI_PATH),
                         {QStringLiteral("backup"), QStringLiteral("--into"), name, QStringLiteral("--container"), m_container});
                procs << p;
            }
            for (QProcess* p : procs) {
                QVERIFY(p->waitForFinished(120000));
                QCOMPARE(QString::fromUtf8(p->readAllStandardError()), QString());
                QCOMPARE(p->exitCode(), 0);
                delete p;
            }
            QCOMPARE(messages(name).count(u'\n'), 19);
        }
    }

    void backupOfOneChat()
    {
        const CliResult r = run({QStringLiteral("backup"), QStringLiteral("--into"), QStringLiteral("Anna only"),
                                 QStringLiteral("--container"), m_container, QStringLiteral("--chat"),
                                 QString::number(m_s.chatAnna)});
        QCOMPARE(r.out, QStringLiteral("Successfully backed up 13 messages.\n"));
        const QString listing = messages(QStringLiteral("Anna only"));
        QCOMPARE(listing.count(u'\n'), 13);
        QVERIFY(!listing.contains(QLatin1String("Hello all")));
    }

    void deleteRemovesExactlyWhatItIsAsked()
    {
        backupInto(QStringLiteral("Del"), QStringLiteral("Successfully backed up 19 messages.\n"));
        QStringList lines = messages(QStringLiteral("Del")).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 19);
        // One message and one call, named twice.
        const QString msgKey = lines.at(0).section(u'\t', 0, 0);
        QString callKey;
        for (const QString& l : lines) {
            if (l.section(u'\t', 0, 0).startsWith(u'-'))
                callKey = l.section(u'\t', 0, 0);
        }
        QVERIFY(!callKey.isEmpty());
        CliResult r = run({QStringLiteral("delete"), QStringLiteral("--localdb"), QStringLiteral("Del"),
                           QStringLiteral("--message"), msgKey, QStringLiteral("--message=") + callKey,
                           QStringLiteral("--message"), msgKey});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, QStringLiteral("Successfully deleted 2 messages.\n"));
        QStringList expected = lines;
        expected.removeIf([&](const QString& l) {
            const QString k = l.section(u'\t', 0, 0);
            return k == msgKey || k == callKey;
        });
        QCOMPARE(withoutKeys(messages(QStringLiteral("Del"))), withoutKeys(expected.join(u'\n')));

        // A whole chat; the chat goes with its last message.
        const QString chats = run({QStringLiteral("chats"), QStringLiteral("--localdb"), QStringLiteral("Del")}).out;
        // Reading finds the database whatever the case of its name, as backing up does.
        QCOMPARE(run({QStringLiteral("chats"), QStringLiteral("--localdb"), QStringLiteral("dEl")}).out, chats);
        const QString group = chats.split(u'\n').filter(QStringLiteral("Family")).value(0).section(u'\t', 0, 0);
        QVERIFY(!group.isEmpty());
        r = run({QStringLiteral("delete"), QStringLiteral("--localdb"), QStringLiteral("Del"), QStringLiteral("--chat"),
                 group});
        QCOMPARE(r.out, QStringLiteral("Successfully deleted 3 messages.\n"));
        QVERIFY(!run({QStringLiteral("chats"), QStringLiteral("--localdb"), QStringLiteral("Del")})
                     .out.contains(QLatin1String("Family")));

        // Unknown keys change nothing.
        const QString dump = g_dumpStore(storeOf(QStringLiteral("Del")));
        r = run({QStringLiteral("delete"), QStringLiteral("--localdb"), QStringLiteral("Del"), QStringLiteral("--message"),
                 QStringLiteral("999999")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QLatin1String("no message with key 999999")), qPrintable(r.err));
        QCOMPARE(g_dumpStore(storeOf(QStringLiteral("Del"))), dump);

        // Hidden files (a journal, a desktop's folder notes) go with the rest.
        QVERIFY(g_writeFile(dbFolder(QStringLiteral("Del")) + QStringLiteral("/.directory"), "x"));
        QVERIFY(g_writeFile(storeOf(QStringLiteral("Del")) + QStringLiteral("-journal"), "x"));
        QVERIFY(QDir().mkpath(dbFolder(QStringLiteral("Del")) + QStringLiteral("/.trash/sub")));
        r = run({QStringLiteral("delete"), QStringLiteral("--localdb"), QStringLiteral("dEL"), QStringLiteral("--all")});
        QCOMPARE(r.out, QStringLiteral("Deleted the local database \"Del\".\n"));
        QVERIFY(!QFileInfo::exists(dbFolder(QStringLiteral("Del"))));
    }

    void deleteAllTakesTheDatabaseOutOfUseFirst()
    {
        backupInto(QStringLiteral("Busy"), QStringLiteral("Successfully backed up 19 messages.\n"));
        // A writer holds the database (a backup into it): the deletion waits
        // for it instead of pulling the files from under it.
        {
            Sqlite3DB writer;
            writer.openThrow(storeOf(QStringLiteral("Busy")), SQLITE_OPEN_READWRITE);
            writer.executeThrow("BEGIN IMMEDIATE");
            QProcess del;
            del.setProcessEnvironment(g_cliEnvironment(m_data));
            del.start(QStringLiteral(FERROWICK_CLI_PATH),
                      {QStringLiteral("delete"), QStringLiteral("--localdb"), QStringLiteral("Busy"), QStringLiteral("--all")});
            QVERIFY(del.waitForStarted());
            QVERIFY(!del.waitForFinished(1500));
            QVERIFY(QFileInfo::exists(storeOf(QStringLiteral("Busy"))));
            writer.executeThrow("COMMIT");
            writer.close();
            QVERIFY(del.waitForFinished(60000));
            QCOMPARE(QString::fromUtf8(del.readAllStandardError()), QString());
            QCOMPARE(del.exitCode(), 0);
        }
        QVERIFY(!QFileInfo::exists(dbFolder(QStringLiteral("Busy"))));
        // Nothing is left beside the other databases, hidden or not.
        const QStringList left = QDir(m_data + QStringLiteral("/local_databases"))
                                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                                     .filter(QStringLiteral("Busy"), Qt::CaseInsensitive);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));

        // A reader whose database is gone by the time it opens it fails with a
        // clear message and makes no database (it used to make an empty one
        // and "export" 0 messages from it).
        QVERIFY(QDir().mkpath(dbFolder(QStringLiteral("Gone")) + QStringLiteral("/Documents")));
        IOSViberDb reader(QDir(dbFolder(QStringLiteral("Gone"))), QStringLiteral("Documents/Contacts-tellurine.data"),
                          true);
        try {
            reader.loadDataThrow();
            QFAIL("a missing local database was read");
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String("no longer exists")), e.what());
        }
        QVERIFY(!QFileInfo::exists(storeOf(QStringLiteral("Gone"))));
    }

    void aNameMatchingSeveralDatabasesOnlyByCaseIsRefused()
    {
        backupInto(QStringLiteral("Base2"), QStringLiteral("Successfully backed up 19 messages.\n"));
        // A second spelling made by hand (a backup into "base2" merges into "Base2").
        QVERIFY(QDir().mkpath(dbFolder(QStringLiteral("base2")) + QStringLiteral("/Documents")));
        QVERIFY(QFile::copy(storeOf(QStringLiteral("Base2")), storeOf(QStringLiteral("base2"))));
        const QString dump = g_dumpStore(storeOf(QStringLiteral("Base2")));
        for (const QStringList& args :
             {QStringList{QStringLiteral("delete"), QStringLiteral("--localdb"), QStringLiteral("BASE2"), QStringLiteral("--all")},
              QStringList{QStringLiteral("backup"), QStringLiteral("--into"), QStringLiteral("BASE2"), QStringLiteral("--demo")},
              QStringList{QStringLiteral("messages"), QStringLiteral("--localdb"), QStringLiteral("BASE2")}}) {
            const CliResult r = run(args);
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.contains(QLatin1String("Base2, base2")), qPrintable(r.err));
            QVERIFY(r.out.isEmpty());
        }
        QCOMPARE(g_dumpStore(storeOf(QStringLiteral("Base2"))), dump);
        QCOMPARE(g_dumpStore(storeOf(QStringLiteral("base2"))), dump);
        // The exact name still chooses one.
        const CliResult r = run({QStringLiteral("delete"), QStringLiteral("--localdb"), QStringLiteral("base2"),
                                 QStringLiteral("--all")});
        QCOMPARE(r.code, 0);
        QVERIFY(!QFileInfo::exists(dbFolder(QStringLiteral("base2"))));
        QCOMPARE(g_dumpStore(storeOf(QStringLiteral("Base2"))), dump);
    }

    void badNamesAndOptionsAreRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        const QString del = QStringLiteral("delete"), db = QStringLiteral("--localdb");
        QTest::newRow("dot-dot") << QStringList{del, db, QStringLiteral(".."), QStringLiteral("--all")} << 2;
        QTest::newRow("dot") << QStringList{del, db, QStringLiteral("."), QStringLiteral("--all")} << 2;
        QTest::newRow("slash") << QStringList{del, db, QStringLiteral("a/b"), QStringLiteral("--all")} << 2;
        QTest::newRow("two kinds") << QStringList{del, db, QStringLiteral("Main"), QStringLiteral("--all"),
                                                  QStringLiteral("--chat"), QStringLiteral("1")}
                                   << 2;
        QTest::newRow("no kind") << QStringList{del, db, QStringLiteral("Main")} << 2;
        QTest::newRow("missing database") << QStringList{del, db, QStringLiteral("Nope"), QStringLiteral("--all")} << 1;
        QTest::newRow("backup dot-dot") << QStringList{QStringLiteral("backup"), QStringLiteral("--into"),
                                                       QStringLiteral(".."), QStringLiteral("--demo")}
                                        << 2;
        QTest::newRow("backup colon") << QStringList{QStringLiteral("backup"), QStringLiteral("--into"),
                                                     QStringLiteral("a:b"), QStringLiteral("--demo")}
                                      << 2;
    }

    void badNamesAndOptionsAreRefused()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        backupInto(QStringLiteral("Main"), QStringLiteral("Successfully backed up 19 messages.\n"));
        const QString dump = g_dumpStore(storeOf(QStringLiteral("Main")));
        const CliResult r = run(args);
        QCOMPARE(r.code, code);
        QVERIFY(r.out.isEmpty());
        QVERIFY(QDir(m_data).exists());
        QCOMPARE(g_dumpStore(storeOf(QStringLiteral("Main"))), dump);
    }
};

QTEST_GUILESS_MAIN(TestCliBackup)
#include "test_cli_backup.moc"
