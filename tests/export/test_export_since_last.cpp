#include "support/ExportTestData.h"
#include "export/ExportMessagesThread.h"
#include "export/ExportState.h"
#include "support/RecordingProgress.h"
#include "support/TestEnv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString runSinceLast(const QList<_ViberMsg*>& msgs, const QString& path, ExportFormat type)
{
    RecordingProgress p;
    ExportMessagesThread job(msgs, path, type, p);
    job.options().sinceLast = true;
    job.run();
    return p.errors().isEmpty() ? p.successes().value(0) : QStringLiteral("error: ") + p.errors().join(u';');
}

QByteArray plainExport(const QList<_ViberMsg*>& msgs, const QString& path, ExportFormat type)
{
    RecordingProgress p;
    ExportMessagesThread job(msgs, path, type, p);
    job.run();
    return g_readFile(path);
}
} // namespace

class TestExportSinceLast : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    // First run writes what a plain export writes; a second run with nothing
    // new touches nothing; later messages are added after the earlier ones.
    void tablesGrowOnlyByNewMessages_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("name");
        QTest::newRow("csv") << int(ExportFormat::Csv) << "out.csv";
        QTest::newRow("txt") << int(ExportFormat::Txt) << "out.doc";
    }
    void tablesGrowOnlyByNewMessages()
    {
        QFETCH(int, type);
        QFETCH(QString, name);
        const auto format = ExportFormat(type);
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        const QString out = dir.filePath(name);
        QCOMPARE(runSinceLast(t.data.messages(), out, format), QStringLiteral("Successfully exported 9 messages."));
        const QByteArray first = g_readFile(out);
        QCOMPARE(first, plainExport(t.data.messages(), dir.filePath(QStringLiteral("plain")), format));
        const QString state = ExportState::pathFor(out, false);
        QVERIFY(QFileInfo::exists(state));
        const QByteArray stateBytes = g_readFile(state);

        const QDateTime written = QFileInfo(out).lastModified();
        QTest::qWait(20);
        QCOMPARE(runSinceLast(t.data.messages(), out, format).left(31), QStringLiteral("Nothing new since the last expo"));
        QCOMPARE(g_readFile(out), first);
        QCOMPARE(QFileInfo(out).lastModified(), written);
        QCOMPARE(g_readFile(state), stateBytes);

        // New: one later message in an old chat, one in a new chat; one that
        // is older than what was exported from its chat stays out.
        t.msg(t.single, MSG_TYPE_TEXT, ExportTestData::kDay + 999, QStringLiteral("later"), MSG_STATE_SENT);
        t.msg(t.single, MSG_TYPE_TEXT, ExportTestData::kDay - 999, QStringLiteral("back-dated"), MSG_STATE_SENT);
        _ViberChat* fresh = t.chat(QString(), QString(), {t.person(QStringLiteral("Cleo"), QStringLiteral("+33"))});
        t.msg(fresh, MSG_TYPE_TEXT, 5, QStringLiteral("new chat"), MSG_STATE_SENT);
        QCOMPARE(runSinceLast(t.data.messages(), out, format), QStringLiteral("Successfully exported 2 messages."));
        const QByteArray grown = g_readFile(out);
        QVERIFY(grown.startsWith(first));
        const QByteArray added = grown.mid(first.size());
        QCOMPARE(added.count('\n'), 2);
        QVERIFY(added.contains("later") && added.contains("new chat") && !added.contains("back-dated"));
        QVERIFY(!added.contains("date,send") && !added.contains("Flag"));
        QCOMPARE(runSinceLast(t.data.messages(), out, format).left(11), QStringLiteral("Nothing new"));
        QVERIFY(!QFileInfo::exists(out + QStringLiteral(".new")));
    }

    void jsonStaysOneValidDocument()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        const QString out = dir.filePath(QStringLiteral("h.json"));
        QCOMPARE(runSinceLast(t.data.messages(), out, ExportFormat::Json),
                 QStringLiteral("Successfully exported 10 messages."));
        const QByteArray first = g_readFile(out);
        QCOMPARE(runSinceLast(t.data.messages(), out, ExportFormat::Json).left(11),
                 QStringLiteral("Nothing new"));
        QCOMPARE(g_readFile(out), first);

        _ViberChat* fresh = t.chat(QString(), QString(), {t.person(QStringLiteral("Cleo"), QStringLiteral("+33"))});
        t.msg(fresh, MSG_TYPE_TEXT, 5, QStringLiteral("new chat"), MSG_STATE_SENT);
        t.msg(t.group, MSG_TYPE_TEXT, ExportTestData::kDay + 90000, QStringLiteral("later"), MSG_STATE_SENT);
        QCOMPARE(runSinceLast(t.data.messages(), out, ExportFormat::Json),
                 QStringLiteral("Successfully exported 2 messages."));
        QProcess py;
        py.start(QStringLiteral("python3"), {QStringLiteral("-m"), QStringLiteral("json.tool"), out});
        QVERIFY(py.waitForFinished(60000) && py.exitCode() == 0);
        const QJsonObject doc = QJsonDocument::fromJson(g_readFile(out)).object();
        const QJsonArray chats = doc.value(QStringLiteral("chats")).toArray();
        QCOMPARE(chats.size(), 3);
        QCOMPARE(chats.last().toObject().value(QStringLiteral("key")).toInteger(), fresh->id);
        const QJsonArray msgs = doc.value(QStringLiteral("messages")).toArray();
        QCOMPARE(msgs.size(), 12);
        QCOMPARE(msgs.at(11).toObject().value(QStringLiteral("text")).toString(), QStringLiteral("later"));
        QCOMPARE(msgs.at(10).toObject().value(QStringLiteral("text")).toString(), QStringLiteral("new chat"));
    }

    // A state that cannot be trusted, or an output the user removed, means
    // everything is written again rather than messages silently left out.
    void untrustworthyStateExportsEverything()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        const QString out = dir.filePath(QStringLiteral("o.csv"));
        QCOMPARE(runSinceLast(t.data.messages(), out, ExportFormat::Csv),
                 QStringLiteral("Successfully exported 9 messages."));
        const QByteArray full = g_readFile(out);
        const QString state = ExportState::pathFor(out, false);
        for (const QByteArray& damaged : {QByteArray("{\"version\":1,\"format\":1,\"chats\":{\"x\":{}}}"),
                                          QByteArray("not json"), QByteArray("{\"version\":1,\"format\":4}")}) {
            QVERIFY(g_writeFile(state, damaged));
            QCOMPARE(runSinceLast(t.data.messages(), out, ExportFormat::Csv),
                     QStringLiteral("Successfully exported 9 messages."));
            QCOMPARE(g_readFile(out), full);
        }
        QVERIFY(QFile::remove(out));
        QCOMPARE(runSinceLast(t.data.messages(), out, ExportFormat::Csv),
                 QStringLiteral("Successfully exported 9 messages."));
        QCOMPARE(g_readFile(out), full);
    }

    // A link placed at the output path, or an output that is no longer the
    // file the earlier run wrote: never appended to, everything written
    // again (the link replaced, its target untouched).
    void anOutputThatIsNotTheEarlierOneIsWrittenAgain_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("csv") << int(ExportFormat::Csv);
        QTest::newRow("json") << int(ExportFormat::Json);
    }
    void anOutputThatIsNotTheEarlierOneIsWrittenAgain()
    {
        QFETCH(int, type);
        const auto format = ExportFormat(type);
        // JSON keeps the call entry whose call is missing; the tables leave it out.
        const auto exported = [format](int tables) {
            return QStringLiteral("Successfully exported %1 messages.")
                .arg(tables + (format == ExportFormat::Json ? 1 : 0));
        };
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        const QString out = dir.filePath(QStringLiteral("o.out"));
        QCOMPARE(runSinceLast(t.data.messages(), out, format), exported(9));
        const QByteArray full = g_readFile(out);

        // Another file, linked in at the output path.
        const QString other = dir.filePath(QStringLiteral("someone-elses.txt"));
        QVERIFY(g_writeFile(other, full));
        QVERIFY(QFile::remove(out));
        QVERIFY(QFile::link(other, out));
        t.msg(t.single, MSG_TYPE_TEXT, ExportTestData::kDay + 999, QStringLiteral("later"), MSG_STATE_SENT);
        QCOMPARE(runSinceLast(t.data.messages(), out, format), exported(10));
        QCOMPARE(g_readFile(other), full);
        QVERIFY(!QFileInfo(out).isSymLink());
        const QByteArray again = g_readFile(out);
        QCOMPARE(again, plainExport(t.data.messages(), dir.filePath(QStringLiteral("plain")), format));

        // The output changed since (same name, other content): written again.
        QVERIFY(g_writeFile(out, again.left(again.size() / 2)));
        t.msg(t.single, MSG_TYPE_TEXT, ExportTestData::kDay + 1999, QStringLiteral("later still"), MSG_STATE_SENT);
        QCOMPARE(runSinceLast(t.data.messages(), out, format), exported(11));
        QCOMPARE(g_readFile(out), plainExport(t.data.messages(), dir.filePath(QStringLiteral("plain2")), format));
        // Unchanged: only the new message is added.
        t.msg(t.single, MSG_TYPE_TEXT, ExportTestData::kDay + 2999, QStringLiteral("latest"), MSG_STATE_SENT);
        QCOMPARE(runSinceLast(t.data.messages(), out, format), QStringLiteral("Successfully exported 1 message."));
    }

    // An HTML folder grows page by page: the last page fills up, new pages
    // follow, older pages' links and the index change, and the result is the
    // folder a full export of the same messages writes.
    void htmlPagesGrowAsAFullExportWould()
    {
        QTemporaryDir dir, resources;
        qputenv("FERROWICK_BUBBLE_DIR", resources.path().toUtf8());
        ExportTestData t;
        _ViberPerson* anna = t.person(QStringLiteral("Anna"), QStringLiteral("+4911"));
        _ViberChat* single = t.chat(QString(), QString(), {anna});
        _ViberChat* other = t.chat(QStringLiteral("Other"), QStringLiteral("g2"), {anna});
        t.msg(other, MSG_TYPE_TEXT, ExportTestData::kDay, QStringLiteral("quiet chat"), MSG_STATE_SENT);
        int n = 0;
        auto add = [&](int count) {
            for (int i = 0; i < count; ++i, ++n) // a new day every third message
                t.msg(single, MSG_TYPE_TEXT, ExportTestData::kDay + n * 30000.0, QStringLiteral("m%1").arg(n),
                      n % 2 ? MSG_STATE_SENT : MSG_STATE_RECEIVED, n % 2 ? nullptr : anna);
        };
        const QString out = dir.filePath(QStringLiteral("pages"));
        auto since = [&] {
            RecordingProgress p;
            ExportMessagesThread job(t.data.messages(), out, ExportFormat::Html, p);
            job.options().sinceLast = true;
            job.options().pageSize = 4;
            job.run();
            return p.errors().isEmpty() ? p.successes().value(0) : QStringLiteral("error: ") + p.errors().join(u';');
        };
        auto sameAsFullExport = [&](int round) {
            const QString full = dir.filePath(QStringLiteral("full%1").arg(round));
            RecordingProgress p;
            ExportMessagesThread job(t.data.messages(), full, ExportFormat::Html, p);
            job.options().pageSize = 4;
            job.run();
            const QStringList pages = QDir(full).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
            QCOMPARE(QDir(out).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name), pages);
            for (const QString& page : pages)
                QVERIFY2(g_readFile(QDir(out).filePath(page)) == g_readFile(QDir(full).filePath(page)), qPrintable(page));
        };
        add(3); // one short of a page
        QCOMPARE(since(), QStringLiteral("Successfully exported 4 messages."));
        sameAsFullExport(1);
        add(1); // the page is exactly full
        QCOMPARE(since(), QStringLiteral("Successfully exported 1 message."));
        sameAsFullExport(2);
        add(1); // one more: a second page, and the first one links to it
        QCOMPARE(since(), QStringLiteral("Successfully exported 1 message."));
        sameAsFullExport(3);
        QVERIFY(g_readFile(QDir(out).filePath(QStringLiteral("Anna(+4911).html"))).contains("Anna%28%2B4911%29-page2.html"));
        add(6);
        QCOMPARE(since(), QStringLiteral("Successfully exported 6 messages."));
        sameAsFullExport(4);
        QVERIFY(QFileInfo::exists(QDir(out).filePath(QStringLiteral("Anna(+4911)-page3.html"))));

        const QString state = ExportState::pathFor(out, true);
        const QByteArray stateBytes = g_readFile(state);
        const QByteArray index = g_readFile(QDir(out).filePath(QStringLiteral("index.html")));
        QCOMPARE(since().left(11), QStringLiteral("Nothing new"));
        QCOMPARE(g_readFile(state), stateBytes);
        QCOMPARE(g_readFile(QDir(out).filePath(QStringLiteral("index.html"))), index);
        QVERIFY(QDir(out).entryList({QStringLiteral(".*continued")}, QDir::Files | QDir::Hidden).isEmpty());

        // A page the user removed: everything is written again.
        QVERIFY(QFile::remove(QDir(out).filePath(QStringLiteral("Anna(+4911)-page2.html"))));
        QCOMPARE(since(), QStringLiteral("Successfully exported 12 messages."));
        sameAsFullExport(5);
    }

    // Page names in the state file become paths: one that leaves the folder
    // makes the state untrusted, so nothing is written outside.
    void htmlStateCannotNameOutsideFiles()
    {
        QTemporaryDir dir, resources;
        qputenv("FERROWICK_BUBBLE_DIR", resources.path().toUtf8());
        ExportTestData t;
        t.fill(dir.path());
        const QString out = dir.filePath(QStringLiteral("x-html"));
        QCOMPARE(runSinceLast(t.data.messages(), out, ExportFormat::Html),
                 QStringLiteral("Successfully exported 9 messages."));
        const QString statePath = ExportState::pathFor(out, true);
        QByteArray state = g_readFile(statePath);
        QVERIFY(state.contains("\"pages\":[\""));
        const QString victim = dir.filePath(QStringLiteral("victim.html"));
        QVERIFY(g_writeFile(victim, "mine"));
        state.replace("\"pages\":[\"", "\"pages\":[\"../victim.html\",\"");
        QVERIFY(g_writeFile(statePath, state));
        t.msg(t.single, MSG_TYPE_TEXT, ExportTestData::kDay + 999, QStringLiteral("later"), MSG_STATE_SENT);
        QCOMPARE(runSinceLast(t.data.messages(), out, ExportFormat::Html),
                 QStringLiteral("Successfully exported 10 messages."));
        QCOMPARE(g_readFile(victim), QByteArray("mine"));
    }

    void refusedForDocuments()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        const QString out = dir.filePath(QStringLiteral("x-pdf"));
        QVERIFY(runSinceLast(t.data.messages(), out, ExportFormat::Pdf).startsWith(QStringLiteral("error")));
        QVERIFY(!QFileInfo::exists(out));
    }
};

QTEST_GUILESS_MAIN(TestExportSinceLast)
#include "test_export_since_last.moc"
