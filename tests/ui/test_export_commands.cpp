#include "CommandTestSupport.h"
#include "shell/UserTexts.h"
#include "support/TestEnv.h"
#include "ui/commands/ExportCommands.h"
#include "ui/dialogs/ExportMessagesDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

using namespace UiCommands;

namespace {
struct ExportAnswer
{
    ExportAnswer(QString path, int filter, QString since = {}, QString until = {}, int pageSize = -1)
        : path(std::move(path)), filter(filter), since(std::move(since)), until(std::move(until)), pageSize(pageSize)
    {
    }

    QString path;
    int filter = EXPORT_FILTER_TXT;
    QString since, until;
    int pageSize = -1; // -1: leave as proposed
    bool sinceLast = false;
};

void answerExport(const ExportAnswer& a)
{
    g_answer<ExportMessagesDlg>(QStringLiteral("ExportMessagesDlg"), [a](ExportMessagesDlg& d) {
        d.findChild<QLineEdit*>(QStringLiteral("txtPath"))->setText(a.path);
        d.findChild<QComboBox*>(QStringLiteral("cbFormat"))->setCurrentIndex(a.filter);
        d.findChild<QLineEdit*>(QStringLiteral("txtSince"))->setText(a.since);
        d.findChild<QLineEdit*>(QStringLiteral("txtUntil"))->setText(a.until);
        if (a.pageSize >= 0)
            d.findChild<QSpinBox*>(QStringLiteral("spinPageSize"))->setValue(a.pageSize);
        d.findChild<QCheckBox*>(QStringLiteral("chkSinceLast"))->setChecked(a.sinceLast);
        d.onBtnOkPress();
        return d.result();
    });
}

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

class TestExportCommands : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    LoadedSample m_sample;

    QString out(const QString& name) const { return m_tmp.filePath(QStringLiteral("out/") + name); }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(m_tmp.isValid());
        QVERIFY(QDir().mkpath(m_tmp.filePath(QStringLiteral("out"))));
        m_sample = g_loadSample(m_tmp.filePath(QStringLiteral("container")));
    }

    void init() { g_resetDialogScripts(); }

    void cleanup() { QCOMPARE(ScriptedAnswers::pendingDialogScripts(), 0); }

    void dateRangeIncludesItsStartAndExcludesItsEnd()
    {
        const __ViberData* d = m_sample.data.p();
        const double added = d->msgs.value(m_sample.keys.msgMemberAdded)->date;
        const double text = d->msgs.value(m_sample.keys.msgGroupText)->date;

        answerExport({out(QStringLiteral("range")), EXPORT_FILTER_CSV, g_localTime(added), g_localTime(text, 1)});
        QCOMPARE(exportMessages(nullptr, m_sample.data.messages()), JobEnd::Succeeded);
        QStringList lines = g_readLines(out(QStringLiteral("range.csv")));
        QCOMPARE(lines.size(), 3); // the header, the member added at the start, the text
        QVERIFY(lines.last().contains(QStringLiteral("Hello all")));
        QVERIFY(g_boxTexts().contains(QStringLiteral("Successfully exported 2 messages.")));

        // The end of the range is left out.
        answerExport({out(QStringLiteral("range2")), EXPORT_FILTER_CSV, g_localTime(added), g_localTime(text)});
        QCOMPARE(exportMessages(nullptr, m_sample.data.messages()), JobEnd::Succeeded);
        lines = g_readLines(out(QStringLiteral("range2.csv")));
        QCOMPARE(lines.size(), 2);
        QVERIFY(!lines.join(u'\n').contains(QStringLiteral("Hello all")));
    }

    void onlyNewMessagesAreAddedOnASecondRun()
    {
        const QList<_ViberMsg*> all = m_sample.data.messages();
        const __ViberData* d = m_sample.data.p();
        const double text = d->msgs.value(m_sample.keys.msgGroupText)->date;
        // First everything before the group's last text, then everything.
        ExportAnswer first{out(QStringLiteral("grow")), EXPORT_FILTER_CSV, {}, g_localTime(text)};
        first.sinceLast = true;
        answerExport(first);
        QCOMPARE(exportMessages(nullptr, all), JobEnd::Succeeded);
        const int before = int(g_readLines(out(QStringLiteral("grow.csv"))).size());

        ExportAnswer again{out(QStringLiteral("grow.csv")), EXPORT_FILTER_CSV};
        again.sinceLast = true;
        answerExport(again);
        QCOMPARE(exportMessages(nullptr, all), JobEnd::Succeeded);
        const QStringList lines = g_readLines(out(QStringLiteral("grow.csv")));
        QVERIFY(lines.size() > before);
        QCOMPARE(lines.filter(QStringLiteral("Hello all")).size(), 1);

        const QByteArray written = g_readFile(out(QStringLiteral("grow.csv")));
        answerExport(again);
        QCOMPARE(exportMessages(nullptr, all), JobEnd::Succeeded);
        QCOMPARE(g_readFile(out(QStringLiteral("grow.csv"))), written);
        QVERIFY(g_boxTexts().constLast().startsWith(QStringLiteral("Nothing new")));
    }

    void addingOnlyNewMessagesIsOfferedWhereTheFormatCanAppend()
    {
        ExportMessagesDlg dlg(out(QStringLiteral("x")));
        auto* format = dlg.findChild<QComboBox*>(QStringLiteral("cbFormat"));
        auto* sinceLast = dlg.findChild<QCheckBox*>(QStringLiteral("chkSinceLast"));
        QList<bool> enabled;
        for (int i = 0; i < format->count(); ++i) {
            format->setCurrentIndex(i);
            enabled << sinceLast->isEnabled();
        }
        QCOMPARE(enabled, (QList<bool>{true, true, true, false, true, true})); // txt doc csv pdf html json
    }

    void badDatesKeepTheDialogOpen()
    {
        QList<int> results;
        g_answer<ExportMessagesDlg>(QStringLiteral("ExportMessagesDlg"), [&](ExportMessagesDlg& d) {
            d.findChild<QLineEdit*>(QStringLiteral("txtPath"))->setText(out(QStringLiteral("never")));
            auto* since = d.findChild<QLineEdit*>(QStringLiteral("txtSince"));
            auto* until = d.findChild<QLineEdit*>(QStringLiteral("txtUntil"));
            since->setText(QStringLiteral("2020-13-01"));
            d.onBtnOkPress();
            results << d.result();
            since->setText(QStringLiteral("2020-02-01"));
            until->setText(QStringLiteral("2020-01-01"));
            d.onBtnOkPress();
            results << d.result();
            d.findChild<QLineEdit*>(QStringLiteral("txtPath"))->clear();
            until->clear();
            d.onBtnOkPress();
            results << d.result();
            d.reject();
            return d.result();
        });
        QCOMPARE(exportMessages(nullptr, m_sample.data.messages()), JobEnd::NotStarted);
        QCOMPARE(results, (QList<int>{0, 0, 0}));
        const QStringList boxes = g_boxTexts();
        QCOMPARE(boxes.size(), 3);
        // The date is named once, with the forms that are understood.
        QCOMPARE(boxes.at(0).count(QStringLiteral("2020-13-01")), 1);
        QVERIFY(boxes.at(0).contains(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        QCOMPARE(boxes.at(1), ids("IDS_EXPORT_SINCE_NOT_BEFORE_UNTIL"));
        QCOMPARE(boxes.at(2), ids("IDS_EXPORT_PATH_REQUIRED"));
        QVERIFY(filesBelow(m_tmp.filePath(QStringLiteral("out"))).filter(QStringLiteral("never")).isEmpty());
    }

    void docAndPdfNamesFollowTheChosenFilter()
    {
        answerExport({out(QStringLiteral("table")), EXPORT_FILTER_DOC});
        QCOMPARE(exportMessages(nullptr, m_sample.data.messages()), JobEnd::Succeeded);
        QVERIFY(g_readText(out(QStringLiteral("table.doc"))).startsWith(QStringLiteral("Date")));

        answerExport({out(QStringLiteral("book.pdf")), EXPORT_FILTER_PDF});
        QCOMPARE(exportMessages(nullptr, m_sample.data.messages()), JobEnd::Succeeded);
        const QStringList pdfs = filesBelow(out(QStringLiteral("book-pdf")));
        QCOMPARE(pdfs.size(), m_sample.data.chats().size());
        for (const QString& f : pdfs)
            QVERIFY(f.endsWith(QStringLiteral(".pdf")));
    }

    void htmlPagesHoldAtMostThePageSize()
    {
        answerExport({out(QStringLiteral("site")), EXPORT_FILTER_HTML, {}, {}, 2});
        QCOMPARE(exportMessages(nullptr, m_sample.data.messages()), JobEnd::Succeeded);
        const QStringList pages = filesBelow(out(QStringLiteral("site-html"))).filter(QRegularExpression(QStringLiteral("^[^/]+\\.html$")));
        // The chat with Anna alone has more than ten messages: five or more pages.
        QVERIFY2(pages.size() >= m_sample.data.chats().size() + 5, qPrintable(pages.join(u' ')));
    }

    // A group's pages are named, titled and headed by the group's name; a
    // one-to-one chat's by its member.
    void chatsAreNamedByTheirOwnName()
    {
        answerExport({out(QStringLiteral("named")), EXPORT_FILTER_HTML});
        QCOMPARE(exportMessages(nullptr, m_sample.data.messages()), JobEnd::Succeeded);
        const QDir site(out(QStringLiteral("named-html")));
        const QString group = g_readText(site.filePath(QStringLiteral("Family.html")));
        QVERIFY2(group.contains(QStringLiteral("<title>Family</title>")) &&
                     group.contains(QStringLiteral("<h1 class=\"chat-title\">Family</h1>")),
                 qPrintable(site.entryList().join(u' ')));
        QVERIFY(g_readText(site.filePath(QStringLiteral("index.html"))).contains(QStringLiteral("\">Family</a>")));
        const QString single = g_readText(site.filePath(QStringLiteral("Anna Berg(+4915111111111).html")));
        QVERIFY(single.contains(QStringLiteral("<title>Anna Berg(+4915111111111)</title>")));
    }

    void cancellingTheJobRemovesTheOutput()
    {
        answerExport({out(QStringLiteral("cancelled")), EXPORT_FILTER_HTML});
        g_cancelNextJob();
        QCOMPARE(exportMessages(nullptr, m_sample.data.messages()), JobEnd::Stopped);
        QVERIFY(!QFileInfo::exists(out(QStringLiteral("cancelled-html"))));
        QCOMPARE(g_boxTexts(), QStringList());
    }

    void callsGoIntoTheChosenFile()
    {
        ScriptedAnswers::answerNextFileDialog(out(QStringLiteral("calls.txt")));
        QCOMPARE(exportCalls(nullptr, m_sample.data.messages()), JobEnd::Succeeded);
        QCOMPARE(ScriptedAnswers::fileDialogCaptions(), QStringList{ids("IDS_SEL_EXPORT_CALLS_PATH")});
        const QStringList lines = g_readLines(out(QStringLiteral("calls.txt")));
        QCOMPARE(lines.size(), 1 + m_sample.data.p()->calls.size());
        QVERIFY(lines.first().startsWith(QStringLiteral("number")));

        ScriptedAnswers::answerNextFileDialog(QString());
        QCOMPARE(exportCalls(nullptr, m_sample.data.messages()), JobEnd::NotStarted);
    }

    void mediaGoIntoANewFolderInsideTheChosenOne()
    {
        const QString base = m_tmp.filePath(QStringLiteral("media"));
        QVERIFY(QDir().mkpath(base));
        ScriptedAnswers::answerNextFileDialog(base);
        QCOMPARE(extractMediaFiles(nullptr, m_sample.data.messages()), JobEnd::Succeeded);
        QCOMPARE(ScriptedAnswers::fileDialogCaptions(), QStringList{ids("IDS_TITLE_SEL_OUTPUT_FOLDER_EXTRACT_MEDIA_FILES")});
        const QStringList folders = QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(folders.size(), 1);
        QVERIFY(folders.first().startsWith(QStringLiteral("attachments(")));
        const QStringList files = filesBelow(base);
        QVERIFY(files.size() >= 3); // two pictures and the video at least
        for (const QString& f : files)
            QVERIFY(QFileInfo(f).fileName().startsWith(QStringLiteral("atta_")));

        // A folder typed into the dialog that does not exist yet is made.
        const QString fresh = m_tmp.filePath(QStringLiteral("not/there/yet"));
        ScriptedAnswers::answerNextFileDialog(fresh);
        QCOMPARE(extractMediaFiles(nullptr, m_sample.data.messages()), JobEnd::Succeeded);
        QCOMPARE(filesBelow(fresh).size(), files.size());
    }
};

QTEST_MAIN(TestExportCommands)
#include "test_export_commands.moc"
