#include "fixtures/DesktopFixture.h"
#include "fixtures/StoreFixture.h"
#include "support/CliProcess.h"
#include "support/TestEnv.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestCliListings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_container;
    QString m_desktop;
    SampleStore m_s;

    CliResult run(const QStringList& args, const QString& dataDir = QString())
    {
        return g_runCliProcess(QStringLiteral(FERROWICK_CLI_PATH), args,
                               g_cliEnvironment(dataDir.isEmpty() ? m_tmp.filePath(QStringLiteral("data")) : dataDir));
    }

    void expectFailure(const QStringList& args, const QString& errorPart)
    {
        const CliResult r = run(args);
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith(QStringLiteral("ferrowick-cli: ")), qPrintable(r.err));
        QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(r.err.contains(errorPart), qPrintable(r.err));
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(m_tmp.isValid());
        const QString container = m_tmp.filePath(QStringLiteral("container"));
        m_s = g_writeSampleContainer(container);
        m_container = container;
        m_desktop = m_tmp.filePath(QStringLiteral("viber.db"));
        DesktopFixture f(m_desktop);
        g_fillDesktopSample(f);
        f.finish();
    }

    void infoCountsTheLoadedTablesWithoutTouchingTheInput()
    {
        const QByteArray before = g_treeDigest(m_container);
        const CliResult r = run({QStringLiteral("info"), QStringLiteral("--json"), QStringLiteral("--container"), m_container});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("{\"chats\":4,\"persons\":5,\"messages\":19,\"attachments\":8,\"calls\":4}\n"));
        // The orphans it removes and the previews it makes stay in its own copy.
        QCOMPARE(g_treeDigest(m_container), before);

        const CliResult text = run({QStringLiteral("info"), QStringLiteral("--container"), m_container});
        QCOMPARE(text.out, QStringLiteral("chats: 4\npersons: 5\nmessages: 19\nattachments: 8\ncalls: 4\n"));

        const QByteArray desktopBefore = g_fileDigest(m_desktop);
        const CliResult d = run({QStringLiteral("info"), QStringLiteral("--json"), QStringLiteral("--desktop"), m_desktop});
        QCOMPARE(d.code, 0);
        QCOMPARE(d.out, QStringLiteral("{\"chats\":2,\"persons\":3,\"messages\":13,\"attachments\":7,\"calls\":3}\n"));
        QCOMPARE(g_fileDigest(m_desktop), desktopBefore);
    }

    void chatsNewestFirst()
    {
        const CliResult r = run({QStringLiteral("chats"), QStringLiteral("--container"), m_container});
        QCOMPARE(r.code, 0);
        const QString expected = QStringLiteral("%1\t3\t2020-01-06 13:10:00\tFamily\n"
                                                "%2\t13\t2020-01-06 12:36:40\tAnna Berg\n"
                                                "-3\t2\t2020-01-06 10:53:20\tDora\n"
                                                "%3\t1\t2020-01-06 10:41:40\tBoris\n")
                                     .arg(m_s.chatGroup)
                                     .arg(m_s.chatAnna)
                                     .arg(m_s.chatBoris);
        QCOMPARE(r.out, expected);
    }

    void controlCharactersNeverReachTheTerminal()
    {
        // Names from the store with a terminal command (ESC ] ... BEL), NUL,
        // DEL and a C1 control: written escaped, never raw.
        ContainerFixture c(m_tmp.filePath(QStringLiteral("escapes")));
        IOSStoreWriter& w = c.store();
        const QString evil = QStringLiteral("Evil\x1b]0;owned\x07") + QChar(0) + QStringLiteral("x\x7f") + QChar(0x9b)
                             + QStringLiteral("2J");
        const qint64 person = w.addPerson(QStringLiteral("4915122222222"), QString(), 0, evil);
        const qint64 chat = w.addChat(600000000, {person}, evil, QStringLiteral("g-evil"));
        IOSStoreWriter::Message m;
        m.chat = chat;
        m.date = 600000000;
        m.state = QStringLiteral("received");
        m.text = QStringLiteral("hi\x1b[2Jthere");
        m.person = person;
        m.seq = 1;
        m.token = 7100000000LL;
        w.addMessage(m);
        c.finish();
        const QString escaped = QStringLiteral("Evil\\x1b]0;owned\\x07\\x00x\\x7f\\x9b2J");
        for (const char* command : {"chats", "messages"}) {
            const CliResult r = run({QLatin1String(command), QStringLiteral("--container"), c.root().path()});
            QCOMPARE(r.code, 0);
            for (QChar ch : r.out)
                QVERIFY2(ch == u'\t' || ch == u'\n' || (ch.unicode() >= 0x20 && ch.unicode() != 0x7f
                                                            && (ch.unicode() < 0x80 || ch.unicode() > 0x9f)),
                         qPrintable(QStringLiteral("%1: control character %2 in %3")
                                        .arg(QLatin1String(command))
                                        .arg(int(ch.unicode()))
                                        .arg(r.out.toHtmlEscaped())));
        }
        const CliResult chats = run({QStringLiteral("chats"), QStringLiteral("--container"), c.root().path()});
        QVERIFY2(chats.out.contains(escaped), qPrintable(chats.out));
        const CliResult messages = run({QStringLiteral("messages"), QStringLiteral("--container"), c.root().path()});
        QVERIFY2(messages.out.contains(QStringLiteral("hi\\x1b[2Jthere")), qPrintable(messages.out));
    }

    void messagesOfChosenChats()
    {
        const CliResult r = run({QStringLiteral("messages"), QStringLiteral("--container"), m_container,
                                 QStringLiteral("--chat"), QString::number(m_s.chatBoris), QStringLiteral("--chat"),
                                 QString::number(m_s.chatGroup)});
        QCOMPARE(r.code, 0);
        const QString expected =
            QStringLiteral("%1\t%2\t2020-01-06 10:40:50\t\t<Call>\tOutgoing Call (2' 5'')\n"
                           "%3\t%4\t2020-01-06 10:43:20\t\t<System>\tBoris changed the group name to \"Family\"\n"
                           "%5\t%4\t2020-01-06 10:43:30\t\t<System>\tChen joined\n"
                           "%6\t%4\t2020-01-06 10:43:40\tFrom\t+8613800000000\tHello all (wave)\n")
                .arg(-m_s.callBorisOut)
                .arg(m_s.chatBoris)
                .arg(m_s.msgNameChanged)
                .arg(m_s.chatGroup)
                .arg(m_s.msgMemberAdded)
                .arg(m_s.msgGroupText);
        QCOMPARE(r.out, expected);

        const CliResult anna = run({QStringLiteral("messages"), QStringLiteral("--container"), m_container,
                                    QStringLiteral("--chat"), QString::number(m_s.chatAnna)});
        const QStringList lines = anna.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 13);
        QCOMPARE(lines.first(), QStringLiteral("%1\t%2\t2020-01-06 10:40:10\tFrom\tAnna Berg(+4915111111111)\t"
                                               "Hi! [EMOJI] See you\\tat 5\\nok?")
                                    .arg(m_s.msgReceived)
                                    .arg(m_s.chatAnna));
        for (const QString& line : lines)
            QCOMPARE(line.count(QLatin1Char('\t')), 5);
    }

    void localDatabaseAndDemo()
    {
        const QString dataDir = m_tmp.filePath(QStringLiteral("fresh-data"));
        ContainerFixture local(dataDir + QStringLiteral("/local_databases/Saved"), IOSStoreWriter::LocalDb);
        const qint64 p = local.store().addPerson(QStringLiteral("42"), {}, 0, QStringLiteral("Zed"));
        IOSStoreWriter::Message m;
        m.chat = local.store().addChat(5, {p});
        m.text = QStringLiteral("kept");
        local.store().addMessage(m);
        local.finish();
        const CliResult r = run({QStringLiteral("chats"), QStringLiteral("--localdb"), QStringLiteral("Saved")}, dataDir);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("1\t1\t2001-01-01 00:00:05\tZed\n"));

        // The sample history is built on first use in a data folder that has
        // nothing yet, and read again from there the next time.
        for (int round = 0; round < 2; ++round) {
            const CliResult demo = run({QStringLiteral("info"), QStringLiteral("--json"), QStringLiteral("--demo")}, dataDir);
            QCOMPARE(demo.code, 0);
            QVERIFY(demo.out.startsWith(QStringLiteral("{\"chats\":11,\"persons\":12,")));
        }
        const CliResult msgs = run({QStringLiteral("messages"), QStringLiteral("--demo")}, dataDir);
        for (const char* kind : {"[IMAGE]", "[AUDIO]", "[VIDEO]", "[STICKER-", "[LOCATION]", "[EMOJI]", "<System>",
                                 "Missed Call", "Outgoing Call", "Incoming Call"})
            QVERIFY2(msgs.out.contains(QLatin1String(kind)), kind);
        // Private copies of the stores go when the command ends.
        QDirIterator it(dataDir + QStringLiteral("/cache"), {QStringLiteral("source-*")}, QDir::Dirs);
        QVERIFY(!it.hasNext());
    }

    void badInputsFailWithOneLine()
    {
        const QString notSqlite = m_tmp.filePath(QStringLiteral("junk"));
        QDir().mkpath(notSqlite + QStringLiteral("/Documents"));
        QFile junk(notSqlite + QStringLiteral("/Documents/Contacts.data"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(5000, 'j'));
        junk.close();
        expectFailure({QStringLiteral("info"), QStringLiteral("--container"), notSqlite}, QStringLiteral("file is not a database"));

        const QString empty = m_tmp.filePath(QStringLiteral("empty"));
        QDir().mkpath(empty + QStringLiteral("/Documents"));
        QFile emptyFile(empty + QStringLiteral("/Documents/Contacts.data"));
        QVERIFY(emptyFile.open(QIODevice::WriteOnly));
        emptyFile.close();
        expectFailure({QStringLiteral("info"), QStringLiteral("--container"), empty}, QStringLiteral("Z_PRIMARYKEY"));

        expectFailure({QStringLiteral("chats"), QStringLiteral("--container"), m_tmp.filePath(QStringLiteral("nowhere"))},
                      QStringLiteral("no Viber store"));
        expectFailure({QStringLiteral("info"), QStringLiteral("--desktop"), junk.fileName()},
                      QStringLiteral("file is not a database"));
        expectFailure({QStringLiteral("info"), QStringLiteral("--desktop"), m_tmp.filePath(QStringLiteral("none.db"))},
                      QStringLiteral("no such file"));
        expectFailure({QStringLiteral("messages"), QStringLiteral("--container"), m_container, QStringLiteral("--chat"),
                       QStringLiteral("12345")},
                      QStringLiteral("no chat with key 12345"));
        expectFailure({QStringLiteral("messages"), QStringLiteral("--container"), m_container, QStringLiteral("--chat"),
                       QStringLiteral("abc")},
                      QStringLiteral("not a chat key"));
        expectFailure({QStringLiteral("info"), QStringLiteral("--localdb"), QStringLiteral("../escape")},
                      QStringLiteral("not a database name"));
        expectFailure({QStringLiteral("info"), QStringLiteral("--localdb"), QStringLiteral("Missing")},
                      QStringLiteral("no local database"));
        expectFailure({QStringLiteral("info"), QStringLiteral("--itunes"), m_tmp.path()}, QStringLiteral("Manifest.plist"));
        QVERIFY(!QFileInfo::exists(m_tmp.filePath(QStringLiteral("nowhere"))));
    }
};

QTEST_GUILESS_MAIN(TestCliListings)
#include "test_cli_listings.moc"
