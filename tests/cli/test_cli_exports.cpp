#include "export/ExportMessagesCsv.h"
#include "fixtures/StoreFixture.h"
#include "model/ViberData.h"
#include "stores/IOSViberDb.h"
#include "stores/IOSStoreWriter.h"
#include "support/CliProcess.h"
#include "support/TestEnv.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <tuple>

namespace {
QStringList filesBelow(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(dir).relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace

class TestCliExports : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_container;
    SampleStore m_sample;

    CliResult run(const QStringList& args)
    {
        return g_runCliProcess(QStringLiteral(FERROWICK_CLI_PATH), args,
                               g_cliEnvironment(m_tmp.filePath(QStringLiteral("data"))));
    }

    QString out(const QString& name) { return m_tmp.filePath(QStringLiteral("out/") + name); }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(QDir().mkpath(m_tmp.filePath(QStringLiteral("out"))));
        m_container = m_tmp.filePath(QStringLiteral("container"));
        ContainerFixture c(m_container);
        m_sample = g_fillSampleStore(c);
        c.finish();
    }

    // The group chat's CSV and text table against files written by hand
    // (tests/cli/expected), not against the program's own writers.
    void exportsMatchFilesWrittenByHand()
    {
        const QString chat = QString::number(m_sample.chatGroup);
        const QDir expected(g_testSourceDir() + QStringLiteral("/tests/cli/expected"));
        for (const auto& [format, name, file] : {std::tuple{"csv", "family.csv", "family.csv"},
                                                 std::tuple{"txt", "family.txt", "family.txt"}}) {
            const CliResult r = run({QStringLiteral("export"), QStringLiteral("--format"), QLatin1String(format),
                                     QStringLiteral("--out"), out(QLatin1String(name)), QStringLiteral("--container"),
                                     m_container, QStringLiteral("--chat"), chat});
            QVERIFY2(r.code == 0, qPrintable(r.err));
            const QByteArray want = g_readFile(expected.filePath(QLatin1String(file)));
            QVERIFY(!want.isEmpty());
            QCOMPARE(g_readFile(out(QLatin1String(name))), want);
        }
    }

    void csvMatchesTheWriterOnTheSameStore()
    {
        const CliResult r = run({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("csv"),
                                 QStringLiteral("--out"), out(QStringLiteral("chats")), QStringLiteral("--container"),
                                 m_container});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("Successfully exported ")), qPrintable(r.out + r.err));
        const QByteArray cli = g_readFile(out(QStringLiteral("chats.csv")));
        QVERIFY(cli.startsWith("date,send,person,number,content\n"));

        // The same store read here and written by the CSV writer directly.
        QTemporaryDir copy;
        QVERIFY(QFile::copy(m_container + QStringLiteral("/Documents/Contacts.data"),
                            copy.filePath(QStringLiteral("Contacts.data"))));
        IOSViberDb db(QDir(copy.path()), QStringLiteral("Contacts.data"), false);
        db.setMakePreviews(false);
        ViberData data = db.loadDataThrow();
        QList<_ViberMsg*> msgs = data.messages();
        std::sort(msgs.begin(), msgs.end(), compareViberMsgAsc);
        const QString direct = copy.filePath(QStringLiteral("direct.csv"));
        ExportMessagesCsv writer(direct);
        writer.init();
        for (_ViberMsg* m : msgs)
            writer.write(*m);
        writer.uninit();
        // Same-second messages may come in either order: compare sorted lines.
        auto lines = [](const QByteArray& b) {
            QList<QByteArray> l = b.split('\n');
            std::sort(l.begin(), l.end());
            return l;
        };
        QCOMPARE(lines(cli), lines(g_readFile(direct)));
        QVERIFY(cli.count('\n') > 10);
    }

    void everyFormatAndItsPlace()
    {
        const QStringList base{QStringLiteral("--container"), m_container};
        auto exportAs = [&](const char* format, const QString& name) {
            return run(QStringList{QStringLiteral("export"), QStringLiteral("--format"), QLatin1String(format),
                                   QStringLiteral("--out"), out(name)} +
                       base);
        };
        QCOMPARE(exportAs("doc", QStringLiteral("table")).code, 0);
        QVERIFY(g_readFile(out(QStringLiteral("table.doc"))).startsWith("Date"));
        QCOMPARE(exportAs("txt", QStringLiteral("plain.text")).code, 0);
        QVERIFY(QFileInfo::exists(out(QStringLiteral("plain.text"))));

        QCOMPARE(exportAs("html", QStringLiteral("pages.html")).code, 0);
        const QStringList html = filesBelow(out(QStringLiteral("pages-html")));
        QVERIFY(html.contains(QStringLiteral("files/style.css")));
        QVERIFY(std::count_if(html.cbegin(), html.cend(), [](const QString& f) { return !f.contains(u'/'); }) >= 3);

        const CliResult pdf = exportAs("pdf", QStringLiteral("print.pdf"));
        QCOMPARE(pdf.code, 0);
        const QStringList pdfs = filesBelow(out(QStringLiteral("print-pdf")));
        QVERIFY(pdfs.size() >= 3);
        for (const QString& f : pdfs)
            QVERIFY(g_readFile(out(QStringLiteral("print-pdf/") + f)).startsWith("%PDF"));
    }

    void callsAndMedia()
    {
        const CliResult calls = run({QStringLiteral("calls"), QStringLiteral("--out"), out(QStringLiteral("calls.txt")),
                                     QStringLiteral("--container"), m_container});
        QCOMPARE(calls.code, 0);
        QVERIFY(calls.out.startsWith(QStringLiteral("Successfully extracted ")));
        QVERIFY(g_readFile(out(QStringLiteral("calls.txt"))).count('\n') >= 4);

        const QString mediaDir = out(QStringLiteral("media"));
        QVERIFY(QDir().mkpath(mediaDir));
        const CliResult media = run({QStringLiteral("extract-media"), QStringLiteral("--out"), mediaDir,
                                     QStringLiteral("--container"), m_container});
        QCOMPARE(media.code, 0);
        const QStringList made = QDir(mediaDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(made.size(), 1);
        QVERIFY(QRegularExpression(QStringLiteral("^attachments\\(\\d{8}-\\d{6}\\)$")).match(made.first()).hasMatch());
        const QStringList files = filesBelow(QDir(mediaDir).filePath(made.first()));
        QVERIFY(!files.isEmpty());
        for (const QString& f : files)
            QVERIFY(f.startsWith(QStringLiteral("atta_")));
    }

    void filesLeadingOutsideTheContainerAreNeverCopied()
    {
        const QByteArray secret("top secret, not part of any history");
        QTemporaryDir outside;
        const QString secretFile = outside.filePath(QStringLiteral("shadow"));
        QVERIFY(g_writeFile(secretFile, secret));
        const QString container = m_tmp.filePath(QStringLiteral("linked-container"));
        {
            ContainerFixture c(container);
            g_fillSampleStore(c);
            c.finish();
        }
        // The picture, its preview and the video are links out of the container.
        for (const char* rel : {"Documents/Attachments/pic1.jpg", "Documents/AttachmentsPreview/pic1.jpg",
                                "Documents/Attachments/clip.v1.mp4"}) {
            const QString at = QDir(container).filePath(QLatin1String(rel));
            QVERIFY(QFile::remove(at));
            QVERIFY(QFile::link(secretFile, at));
        }
        const QString media = out(QStringLiteral("linked-media"));
        const QString html = out(QStringLiteral("linked"));
        const QStringList source{QStringLiteral("--container"), container};
        QCOMPARE(run(QStringList{QStringLiteral("extract-media"), QStringLiteral("--out"), media} + source).code, 0);
        QCOMPARE(run(QStringList{QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("html"),
                                 QStringLiteral("--out"), html} + source)
                     .code,
                 0);
        QCOMPARE(run(QStringList{QStringLiteral("backup"), QStringLiteral("--into"), QStringLiteral("Linked")} + source).code,
                 0);
        int checked = 0;
        for (const QString& dir : {media, html + QStringLiteral("-html"),
                                   m_tmp.filePath(QStringLiteral("data/local_databases/Linked"))}) {
            QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString f = it.next();
                QVERIFY2(!g_readFile(f).contains(secret), qPrintable(f));
                ++checked;
            }
        }
        QVERIFY(checked > 5);
        // The files that are the container's own still arrive.
        QVERIFY(QFileInfo::exists(m_tmp.filePath(QStringLiteral("data/local_databases/Linked/Documents/Attachments/pic2.png"))));
    }

    // --since includes its instant, --until excludes its own (TZ=UTC here).
    void dateRangeForCallsAndMedia()
    {
        const CliResult calls = run({QStringLiteral("calls"), QStringLiteral("--out"), out(QStringLiteral("range-calls.txt")),
                                     QStringLiteral("--container"), m_container, QStringLiteral("--since"),
                                     QStringLiteral("2020-01-06 10:46:40"), QStringLiteral("--until"),
                                     QStringLiteral("2020-01-06 10:53:20")});
        QCOMPARE(calls.code, 0);
        QCOMPARE(calls.out, QStringLiteral("Successfully extracted 1 call.\n"));
        QCOMPARE(g_readFile(out(QStringLiteral("range-calls.txt"))).count('\n'), 2);

        const QString mediaDir = out(QStringLiteral("range-media"));
        QVERIFY(QDir().mkpath(mediaDir));
        const CliResult media = run({QStringLiteral("extract-media"), QStringLiteral("--out"), mediaDir,
                                     QStringLiteral("--container"), m_container, QStringLiteral("--since"),
                                     QStringLiteral("2020-01-06T10:41"), QStringLiteral("--until"),
                                     QStringLiteral("2020-01-06 10:41:10")});
        QCOMPARE(media.code, 0);
        const QStringList made = QDir(mediaDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(made.size(), 1);
        QCOMPARE(filesBelow(QDir(mediaDir).filePath(made.first())), QStringList{QStringLiteral("atta_20200106-104100.mp4")});
    }

    void jsonWithCopiedAttachments()
    {
        const CliResult r = run({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("json"),
                                 QStringLiteral("--out"), out(QStringLiteral("history")), QStringLiteral("--container"),
                                 m_container, QStringLiteral("--copy-attachments")});
        QCOMPARE(r.code, 0);
        QProcess py;
        py.start(QStringLiteral("python3"), {QStringLiteral("-m"), QStringLiteral("json.tool"), out(QStringLiteral("history.json"))});
        QVERIFY(py.waitForFinished(60000) && py.exitCode() == 0);
        const QByteArray json = g_readFile(out(QStringLiteral("history.json")));
        QVERIFY(json.contains("\"source\":{\"kind\":\"container\""));
        QVERIFY(json.contains("\"path\":\"history-files/pic1.jpg\""));
        QVERIFY(QFileInfo(out(QStringLiteral("history-files/pic1.jpg"))).isFile());
        // Nothing from the hostile attachment name lands outside the folder.
        QVERIFY(!QFileInfo::exists(m_tmp.filePath(QStringLiteral("escape.jpg"))));
    }

    // Exporting a local database again after a backup brought new messages in.
    void sinceLastFollowsALocalDatabase()
    {
        auto backup = [&](const QString& container) {
            return run({QStringLiteral("backup"), QStringLiteral("--into"), QStringLiteral("Growing"),
                        QStringLiteral("--container"), container})
                .code;
        };
        auto exportNew = [&] {
            return run({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("--out"),
                        out(QStringLiteral("growing")), QStringLiteral("--localdb"), QStringLiteral("Growing"),
                        QStringLiteral("--since-last")});
        };
        QCOMPARE(backup(m_container), 0);
        const CliResult first = exportNew();
        QCOMPARE(first.code, 0);
        QVERIFY(first.out.startsWith(QStringLiteral("Successfully exported ")));
        const QByteArray before = g_readFile(out(QStringLiteral("growing.csv")));
        const CliResult again = exportNew();
        QCOMPARE(again.code, 0);
        QVERIFY2(again.out.startsWith(QStringLiteral("Nothing new since the last export")), qPrintable(again.out));
        QCOMPARE(g_readFile(out(QStringLiteral("growing.csv"))), before);

        // The same phone a day later, with two more messages.
        const QString later = m_tmp.filePath(QStringLiteral("container-later"));
        {
            ContainerFixture c(later);
            const SampleStore s = g_fillSampleStore(c);
            for (int i = 0; i < 2; ++i) {
                IOSStoreWriter::Message m;
                m.chat = s.chatAnna;
                m.date = 600000000 + 86400 + i;
                m.state = QStringLiteral("received");
                m.person = s.anna;
                m.text = QStringLiteral("news %1").arg(i);
                m.token = 8100000000LL + i;
                m.seq = 90000 + i;
                c.store().addMessage(m);
            }
            c.finish();
        }
        QCOMPARE(backup(later), 0);
        const CliResult news = exportNew();
        QCOMPARE(news.code, 0);
        QCOMPARE(news.out, QStringLiteral("Successfully exported 2 messages.\n"));
        const QByteArray after = g_readFile(out(QStringLiteral("growing.csv")));
        QVERIFY(after.startsWith(before));
        QCOMPARE(after.mid(before.size()), QByteArray("2020-01-07 10:40:00,0,Anna Berg,+4915111111111,news 0\n"
                                                      "2020-01-07 10:40:01,0,Anna Berg,+4915111111111,news 1\n"));
        QVERIFY(exportNew().out.startsWith(QStringLiteral("Nothing new")));
    }

    void demoHistoryExports()
    {
        const CliResult r = run({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("html"),
                                 QStringLiteral("--out"), out(QStringLiteral("demo")), QStringLiteral("--demo")});
        QCOMPARE(r.code, 0);
        QVERIFY(QFileInfo(out(QStringLiteral("demo-html"))).isDir());
    }

    // The demo history has emoji and emoticons: --keep-emoji writes them as
    // typed into text and CSV, and is refused for formats that draw them.
    void keepEmojiWritesTextsAsTyped()
    {
        auto exportTxt = [&](const QString& name, bool keep) {
            QStringList args{QStringLiteral("export"), QStringLiteral("--demo"), QStringLiteral("--format"),
                             QStringLiteral("txt"), QStringLiteral("--out"), out(name)};
            if (keep)
                args << QStringLiteral("--keep-emoji");
            return run(args).code;
        };
        QCOMPARE(exportTxt(QStringLiteral("plain.txt"), false), 0);
        QCOMPARE(exportTxt(QStringLiteral("kept.txt"), true), 0);
        const QString plain = g_readText(out(QStringLiteral("plain.txt")));
        const QString kept = g_readText(out(QStringLiteral("kept.txt")));
        const QString thumbs = QString::fromUtf16(u"\U0001F44D");
        QVERIFY(plain.contains(QStringLiteral("[EMOJI]")) && !plain.contains(thumbs));
        QVERIFY(kept.contains(thumbs) && !kept.contains(QStringLiteral("[EMOJI]")));
        QVERIFY(kept.contains(QStringLiteral("(heart)")));
        const CliResult pdf = run({QStringLiteral("export"), QStringLiteral("--demo"), QStringLiteral("--format"),
                                   QStringLiteral("pdf"), QStringLiteral("--keep-emoji"), QStringLiteral("--out"),
                                   out(QStringLiteral("k"))});
        QCOMPARE(pdf.code, 2);
        QVERIFY(!QFileInfo::exists(out(QStringLiteral("k-pdf"))));
    }

    void usageAndFailures()
    {
        QCOMPARE(run({QStringLiteral("export"), QStringLiteral("--demo"), QStringLiteral("--out"), out(QStringLiteral("x"))})
                     .code,
                 2);
        const CliResult bad = run({QStringLiteral("export"), QStringLiteral("--demo"), QStringLiteral("--format"),
                                   QStringLiteral("xls"), QStringLiteral("--out"), out(QStringLiteral("x"))});
        QCOMPARE(bad.code, 2);
        QVERIFY(bad.err.contains(QStringLiteral("unknown format 'xls'")));
        QCOMPARE(run({QStringLiteral("calls"), QStringLiteral("--demo")}).code, 2);
        const CliResult unwritable = run({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("csv"),
                                          QStringLiteral("--out"), out(QStringLiteral("missing/dir/x")),
                                          QStringLiteral("--demo")});
        QCOMPARE(unwritable.code, 1);
        for (const QStringList& wrong :
             {QStringList{QStringLiteral("--since"), QStringLiteral("2020-02-30")},
              QStringList{QStringLiteral("--since"), QStringLiteral("2020-01-02"), QStringLiteral("--until"),
                          QStringLiteral("2020-01-02")},
              QStringList{QStringLiteral("--page-size"), QStringLiteral("0")},
              QStringList{QStringLiteral("--since-last"), QStringLiteral("--format"), QStringLiteral("pdf")}}) {
            QStringList args{QStringLiteral("export"), QStringLiteral("--demo"), QStringLiteral("--out"), out(QStringLiteral("w"))};
            args << wrong;
            if (!wrong.contains(QStringLiteral("--format")))
                args << QStringLiteral("--format") << QStringLiteral("html");
            const CliResult r = run(args);
            QVERIFY2(r.code == 2, qPrintable(wrong.join(u' ') + QStringLiteral(": ") + r.err));
        }
        QVERIFY(!QFileInfo::exists(out(QStringLiteral("w-html"))));
        QCOMPARE(unwritable.err.count(u'\n'), 1);
    }
};

QTEST_GUILESS_MAIN(TestCliExports)
#include "test_cli_exports.moc"
