#include "CliApp.h"
#include "TerminalProgress.h"
#include "support/CliProcess.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
CliResult runProcess(const QStringList& args)
{
    return g_runCliProcess(QStringLiteral(FERROWICK_CLI_PATH), args, QProcessEnvironment::systemEnvironment());
}

CliResult runInProcess(const QStringList& args)
{
    QString out, err;
    QTextStream o(&out), e(&err);
    const int code = runCli(QStringList{QStringLiteral("ferrowick-cli")} + args, g_testDataFolders(), o, e);
    return {code, out, err};
}
} // namespace

class TestCliFrame : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void helpListsEveryCommand()
    {
        const CliResult r = runProcess({QStringLiteral("--help")});
        QCOMPARE(r.code, 0);
        for (const char* name : {"info", "chats", "messages", "export", "calls", "extract-media", "backup", "delete",
                                 "backups", "to-itunes", "devices", "to-device"})
            QVERIFY2(r.out.contains(QStringLiteral("\n  %1 ").arg(QLatin1String(name))), name);
        QVERIFY(r.err.isEmpty());
    }

    void commandHelpShowsItsOptions()
    {
        const CliResult r = runInProcess({QStringLiteral("export"), QStringLiteral("--help")});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QStringLiteral("--format")));
        QVERIFY(r.out.contains(QStringLiteral("--container")));
        const CliResult d = runInProcess({QStringLiteral("devices"), QStringLiteral("--help")});
        QVERIFY(!d.out.contains(QStringLiteral("--container"))); // reads no source
        // The program's plain name, the description once, where pages land.
        const CliResult p = runProcess({QStringLiteral("export"), QStringLiteral("--help")});
        QCOMPARE(p.code, 0);
        QVERIFY2(p.out.startsWith(QStringLiteral("Usage: ferrowick-cli export [options]\n")), qPrintable(p.out));
        QCOMPARE(p.out.count(QStringLiteral("Export messages as")), 1);
        QVERIFY(!p.out.contains(QStringLiteral("Arguments:")));
        QVERIFY(!p.out.contains(QStringLiteral("help-all")));
        QVERIFY(p.out.contains(QStringLiteral("PATH-html")));
        QCOMPARE(runInProcess({QStringLiteral("info"), QStringLiteral("--help-all")}).code, 2);
    }

    // One shape for every path error, saying what was expected.
    void pathsOfTheWrongKind()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("plain.txt"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const QString missing = dir.filePath(QStringLiteral("missing"));
        const struct
        {
            QStringList args;
            QString error;
        } cases[] = {
            {{QStringLiteral("info"), QStringLiteral("--desktop"), dir.path()},
             QStringLiteral("--desktop %1: is a folder, expected a file").arg(dir.path())},
            {{QStringLiteral("info"), QStringLiteral("--itunes"), file},
             QStringLiteral("--itunes %1: is a file, expected a folder").arg(file)},
            {{QStringLiteral("info"), QStringLiteral("--itunes"), missing},
             QStringLiteral("--itunes %1: no such file or folder").arg(missing)},
            {{QStringLiteral("info"), QStringLiteral("--desktop"), missing},
             QStringLiteral("--desktop %1: no such file or folder").arg(missing)},
            {{QStringLiteral("info"), QStringLiteral("--container"), file},
             QStringLiteral("--container %1: is a file, expected a folder").arg(file)},
            {{QStringLiteral("backups"), QStringLiteral("--dir"), file},
             QStringLiteral("--dir %1: is a file, expected a folder").arg(file)},
        };
        for (const auto& c : cases) {
            const CliResult r = runInProcess(c.args);
            QCOMPARE(r.code, 1);
            QCOMPARE(r.err, QStringLiteral("ferrowick-cli: ") + c.error + u'\n');
        }
    }

    // An existing folder as --out is written into, never beside.
    void outNamingAFolderWritesInsideIt()
    {
        QTemporaryDir data, parent;
        const QString dir = parent.filePath(QStringLiteral("sub"));
        QVERIFY(QDir().mkpath(dir));
        for (const QStringList& args :
             {QStringList{QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("txt")},
              QStringList{QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("html")},
              QStringList{QStringLiteral("calls")}}) {
            const CliResult r = runProcess(QStringList{QStringLiteral("--data-dir"), data.path()} + args +
                                           QStringList{QStringLiteral("--demo"), QStringLiteral("--out"), dir});
            QVERIFY2(r.code == 0, qPrintable(r.err));
        }
        QCOMPARE(QDir(parent.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("sub")});
        QVERIFY(QFileInfo(QDir(dir).filePath(QStringLiteral("messages.txt"))).isFile());
        QVERIFY(QFileInfo(QDir(dir).filePath(QStringLiteral("messages-html/index.html"))).isFile());
        QVERIFY(QFileInfo(QDir(dir).filePath(QStringLiteral("calls.txt"))).isFile());
    }

    // Two runs in one process, each with its own --data-dir: the second must
    // not write into the first one's folder, nor either into the default.
    void eachRunWritesIntoItsOwnDataFolder()
    {
        QTemporaryDir tmp;
        const QString first = tmp.filePath(QStringLiteral("first"));
        const QString second = tmp.filePath(QStringLiteral("second"));
        const QString store = QStringLiteral("/local_databases/Mine/Documents/Contacts-tellurine.data");
        for (const QString& dir : {first, second}) {
            const CliResult r = runInProcess({QStringLiteral("--data-dir"), dir, QStringLiteral("backup"),
                                              QStringLiteral("--demo"), QStringLiteral("--into"), QStringLiteral("Mine")});
            QVERIFY2(r.code == 0, qPrintable(r.err));
            QVERIFY2(QFileInfo(dir + store).isFile(), qPrintable(dir));
        }
        QVERIFY(!QFileInfo::exists(g_testDataFolders().localDbDir().filePath(QStringLiteral("Mine"))));
        // Without the option the run uses the folder it was given.
        const CliResult r = runInProcess({QStringLiteral("info"), QStringLiteral("--localdb"), QStringLiteral("Mine")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("no local database named 'Mine'")), qPrintable(r.err));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing") << QStringList() << QStringLiteral("Usage:");
        QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")}
                                         << QStringLiteral("unknown command 'frobnicate'");
        QTest::newRow("unknown option") << QStringList{QStringLiteral("info"), QStringLiteral("--demo"),
                                                       QStringLiteral("--bogus")}
                                        << QStringLiteral("bogus");
        QTest::newRow("no source") << QStringList{QStringLiteral("chats")} << QStringLiteral("choose a source");
        QTest::newRow("two sources") << QStringList{QStringLiteral("chats"), QStringLiteral("--demo"),
                                                    QStringLiteral("--localdb"), QStringLiteral("x")}
                                     << QStringLiteral("give only one source");
        QTest::newRow("stray argument") << QStringList{QStringLiteral("info"), QStringLiteral("--demo"),
                                                       QStringLiteral("extra")}
                                        << QStringLiteral("unexpected argument 'extra'");
        QTest::newRow("missing value") << QStringList{QStringLiteral("info"), QStringLiteral("--container")}
                                       << QStringLiteral("container");
        QTest::newRow("password without backup")
            << QStringList{QStringLiteral("info"), QStringLiteral("--demo"), QStringLiteral("--password-file"),
                           QStringLiteral("p")}
            << QStringLiteral("--password-file applies only to --itunes");
        QTest::newRow("unknown format") << QStringList{QStringLiteral("export"), QStringLiteral("--demo"),
                                                       QStringLiteral("--format"), QStringLiteral("xls"),
                                                       QStringLiteral("--out"), QStringLiteral("x")}
                                        << QStringLiteral("Try 'ferrowick-cli export --help'.");
        QTest::newRow("delete without a choice")
            << QStringList{QStringLiteral("delete"), QStringLiteral("--localdb"), QStringLiteral("x")}
            << QStringLiteral("give exactly one of --chat, --message or --all");
        QTest::newRow("missing option") << QStringList{QStringLiteral("calls"), QStringLiteral("--demo")}
                                        << QStringLiteral("--out is required");
        QTest::newRow("option before command") << QStringList{QStringLiteral("--demo"), QStringLiteral("info")}
                                               << QStringLiteral("the command comes before '--demo'");
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const CliResult r = runInProcess(args);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        // Every usage error says where help is.
        if (!args.isEmpty())
            QVERIFY2(r.err.endsWith(QStringLiteral(" --help'.\n")) && r.err.contains(QStringLiteral("Try 'ferrowick-cli")),
                     qPrintable(r.err));
    }

    void missingDeviceFailsWithOneLine()
    {
        QTemporaryDir data;
        const CliResult r = runProcess({QStringLiteral("--data-dir"), data.path(), QStringLiteral("to-device"),
                                        QStringLiteral("--demo"), QStringLiteral("--device"), QStringLiteral("X")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith(QStringLiteral("ferrowick-cli: ")), qPrintable(r.err));
        QCOMPARE(r.err.trimmed().count(u'\n'), 0);
        QVERIFY(r.out.isEmpty());
        // The global --data-dir took effect: the log went there.
        QVERIFY(QDir(data.filePath(QStringLiteral("qlogs"))).exists());
    }

    void terminalProgressOutcomes()
    {
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        {
            TerminalProgress p(err, false);
            p.invokeUpdateProgress(QStringLiteral("Exporting"), 10, QString());
            p.invokeSucceed(QStringLiteral("Successfully exported 3 messages."));
            QCOMPARE(p.finish(out), 0);
            QCOMPARE(outText, QStringLiteral("Successfully exported 3 messages.\n"));
            QVERIFY(errText.isEmpty()); // no progress drawn when not a terminal
        }
        {
            TerminalProgress p(err, false);
            p.invokeErrorOccurred(QStringLiteral("disk full"));
            QCOMPARE(p.finish(out), 1);
            QVERIFY(errText.endsWith(QStringLiteral("ferrowick-cli: disk full\n")));
        }
        {
            TerminalProgress p(err, true);
            p.invokeUpdateProgress(QStringLiteral("Exporting"), 42, QString());
            QVERIFY(errText.contains(QStringLiteral("Exporting  Progress:42%")));
            p.setClosed(true);
            QCOMPARE(p.finish(out), 130);
        }
    }

    void ctrlCClosesTheRunningJob()
    {
        QTextStream err(stderr);
        TerminalProgress progress(err, false);
        {
            InterruptGuard guard(progress);
            std::raise(SIGINT);
            QTRY_VERIFY_WITH_TIMEOUT(progress.closed(), 10000);
        }
        // Outside the guard the default handler is back; don't raise it again.
        QString text;
        QTextStream out(&text);
        QCOMPARE(progress.finish(out), 130);
    }
};

QTEST_GUILESS_MAIN(TestCliFrame)
#include "test_cli_frame.moc"
