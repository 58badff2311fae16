#include "export/ExportMessagesCsv.h"
#include "fixtures/StoreFixture.h"
#include "model/ViberData.h"
#include "stores/IOSViberDb.h"
#include "support/TestEnv.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {
struct CliResult
{
    int code;
    QString out;
    QString err;
};

QStringList filesBelow(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(dir).relativeFilePath(it.next());
    files.sort();
    return files;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestCliExports : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_container;

    CliResult run(const QStringList& args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FERROWICK_DATA_DIR"), m_tmp.filePath(QStringLiteral("data")));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(FERROWICK_CLI_PATH), args);
        if (!p.waitForFinished(120000))
            return {-1, QString(), QStringLiteral("timed out")};
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

    QString out(const QString& name) { return m_tmp.filePath(QStringLiteral("out/") + name); }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(QDir().mkpath(m_tmp.filePath(QStringLiteral("out"))));
        m_container = m_tmp.filePath(QStringLiteral("container"));
        ContainerFixture c(m_container);
        g_fillSampleStore(c);
        c.finish();
    }

    void csvMatchesTheWriterOnTheSameStore()
    {
        const CliResult r = run({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("csv"),
                                 QStringLiteral("--out"), out(QStringLiteral("chats")), QStringLiteral("--container"),
                                 m_container});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("Successfully exported ")), qPrintable(r.out + r.err));
        const QByteArray cli = readAll(out(QStringLiteral("chats.csv")));
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
        QCOMPARE(lines(cli), lines(readAll(direct)));
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
        QVERIFY(readAll(out(QStringLiteral("table.doc"))).startsWith("Date"));
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
            QVERIFY(readAll(out(QStringLiteral("print-pdf/") + f)).startsWith("%PDF"));
    }

    void callsAndMedia()
    {
        const CliResult calls = run({QStringLiteral("calls"), QStringLiteral("--out"), out(QStringLiteral("calls.txt")),
                                     QStringLiteral("--container"), m_container});
        QCOMPARE(calls.code, 0);
        QVERIFY(calls.out.startsWith(QStringLiteral("Successfully extracted ")));
        QVERIFY(readAll(out(QStringLiteral("calls.txt"))).count('\n') >= 4);

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
                QVERIFY2(!readAll(f).contains(secret), qPrintable(f));
                ++checked;
            }
        }
        QVERIFY(checked > 5);
        // The files that are the container's own still arrive.
        QVERIFY(QFileInfo::exists(m_tmp.filePath(QStringLiteral("data/local_databases/Linked/Documents/Attachments/pic2.png"))));
    }

    void demoHistoryExports()
    {
        const CliResult r = run({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("html"),
                                 QStringLiteral("--out"), out(QStringLiteral("demo")), QStringLiteral("--demo")});
        QCOMPARE(r.code, 0);
        QVERIFY(QFileInfo(out(QStringLiteral("demo-html"))).isDir());
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
        QCOMPARE(unwritable.err.count(u'\n'), 1);
    }
};

QTEST_GUILESS_MAIN(TestCliExports)
#include "test_cli_exports.moc"
