#include "CommandTestSupport.h"
#include "fixtures/BackupFixture.h"
#include "itunes/BackupManifest.h"
#include "shell/FileRoutines.h"
#include "shell/UserTexts.h"
#include "support/TestEnv.h"
#include "ui/ExecDialog.h"
#include "ui/commands/PrintCommand.h"
#include "ui/dialogs/DataSourceSelForm.h"
#include "ui/dialogs/ExportMessagesDlg.h"
#include "ui/dialogs/LoadItunesBackupDlg.h"
#include "ui/dialogs/LocalDbSelForm.h"
#include "ui/dialogs/PasscodeDlg.h"
#include "ui/dialogs/ViberMsgPrinter.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTemporaryDir>
#include <QTest>

class TestDialogs : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    LoadedSample m_sample;

    // Shows the dialog offscreen and grabs it; with FERROWICK_SCREENSHOT_DIR
    // set the picture is kept there for a person to look at.
    QImage shot(QWidget& w, const QString& name)
    {
        w.show();
        QCoreApplication::processEvents();
        const QImage image = w.grab().toImage();
        w.hide();
        const QString dir = qEnvironmentVariable("FERROWICK_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            image.save(QDir(dir).filePath(name + QStringLiteral(".png")));
        return image;
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(m_tmp.isValid());
        m_sample = g_loadSample(m_tmp.filePath(QStringLiteral("container")));
    }

    void init() { g_resetDialogScripts(); }

    void scriptsGoToTheDialogTheyNameInOrder()
    {
        QStringList ran;
        ScriptedAnswers::answerNextDialog(QStringLiteral("Second"), [&](QDialog&) {
            ran << QStringLiteral("second");
            return 7;
        });
        ScriptedAnswers::answerNextDialog(QStringLiteral("First"), [&](QDialog&) {
            ran << QStringLiteral("first a");
            return 1;
        });
        ScriptedAnswers::answerNextDialog(QStringLiteral("First"), [&](QDialog&) {
            ran << QStringLiteral("first b");
            return 2;
        });
        QDialog first, second, nobody;
        first.setObjectName(QStringLiteral("First"));
        second.setObjectName(QStringLiteral("Second"));
        nobody.setObjectName(QStringLiteral("Nobody"));
        QCOMPARE(g_execDialog(first), 1);
        QCOMPARE(g_execDialog(first), 2);
        // Without a script and with unscripted dialogs refused: rejected at once.
        QCOMPARE(g_execDialog(nobody), int(QDialog::Rejected));
        QCOMPARE(g_execDialog(second), 7);
        QCOMPARE(ran, (QStringList{QStringLiteral("first a"), QStringLiteral("first b"), QStringLiteral("second")}));
        QCOMPARE(ScriptedAnswers::shownDialogs(), (QStringList{QStringLiteral("First"), QStringLiteral("First"),
                                                               QStringLiteral("Nobody"), QStringLiteral("Second")}));
        QCOMPARE(ScriptedAnswers::pendingDialogScripts(), 0);
    }

    void printPreviewPaintsEveryPage()
    {
        int previewPages = -1;
        g_answer<QPrintPreviewDialog>(QStringLiteral("PrintPreviewDialog"), [&](QPrintPreviewDialog& d) {
            auto* preview = d.findChild<QPrintPreviewWidget*>();
            preview->updatePreview();
            previewPages = preview->pageCount();
            shot(d, QStringLiteral("print-preview"));
            return int(QDialog::Rejected);
        });
        ViberMsgPrinter printer;
        printer.printMMS(m_sample.data.messages());
        QCOMPARE(printer.lastError(), QString());
        QVERIFY(previewPages >= 1);
        QCOMPARE(printer.pagesPainted(), previewPages);
        QVERIFY(ScriptedAnswers::shownDialogs().contains(QStringLiteral("PrintPreviewDialog")));

        // Nothing to print is one empty page, not a failure.
        g_answer<QPrintPreviewDialog>(QStringLiteral("PrintPreviewDialog"), [&](QPrintPreviewDialog& d) {
            auto* preview = d.findChild<QPrintPreviewWidget*>();
            preview->updatePreview();
            previewPages = preview->pageCount();
            return int(QDialog::Rejected);
        });
        UiCommands::printMessages(nullptr, {});
        QCOMPARE(previewPages, 1);
    }

    void browsingSetsTheFileAndKeepsTheFormat()
    {
        ExportMessagesDlg dlg(QStringLiteral("/somewhere/chats"));
        dlg.findChild<QComboBox*>(QStringLiteral("cbFormat"))->setCurrentIndex(EXPORT_FILTER_CSV);
        ScriptedAnswers::answerNextFileDialog(m_tmp.filePath(QStringLiteral("picked")));
        dlg.onBtnBrowse();
        QCOMPARE(dlg.findChild<QLineEdit*>(QStringLiteral("txtPath"))->text(), m_tmp.filePath(QStringLiteral("picked")));
        dlg.onBtnOkPress();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.choice().target.path, m_tmp.filePath(QStringLiteral("picked.csv")));
        QVERIFY(dlg.choice().options.range.isOpen());

        // A bare name lands in the home folder; HTML names a folder.
        ExportMessagesDlg bare(QStringLiteral("chats"));
        bare.findChild<QComboBox*>(QStringLiteral("cbFormat"))->setCurrentIndex(EXPORT_FILTER_HTML);
        bare.onBtnOkPress();
        QCOMPARE(bare.choice().target.path, QDir::home().filePath(QStringLiteral("chats-html")));
    }

    void dialogsLookFinished()
    {
        // The chooser shows a backup of the iTunes folder.
        g_delDirCascade(BackupManifest::iTunesBackupDir().absolutePath());
        QVERIFY(QDir().mkpath(BackupManifest::iTunesBackupDir().absolutePath()));
        BackupFixture backup;
        backup.addFile(QStringLiteral("HomeDomain"), QStringLiteral("Library/x.plist"), "<plist/>");
        backup.write(BackupManifest::iTunesBackupDir().absolutePath());
        const struct
        {
            QString name;
            std::function<QDialog*()> make;
            QSize atLeast;
        } dialogs[] = {
            {QStringLiteral("export"), [] { return new ExportMessagesDlg(QStringLiteral("/home/me/chats(20240101-120000)")); }, {500, 200}},
            {QStringLiteral("localdb"), [] { return new LocalDbSelForm({QStringLiteral("Phone_Backup")}, QStringLiteral("iPhone_Backup")); }, {423, 156}},
            {QStringLiteral("passcode"), [] { return new PasscodeDlg(nullptr); }, {300, 120}},
            {QStringLiteral("chooser"), [] { return new LoadItunesBackupDlg(g_testDataFolders()); }, {600, 400}},
        };
        for (const auto& d : dialogs) {
            std::unique_ptr<QDialog> dlg(d.make());
            const QImage image = shot(*dlg, d.name);
            QVERIFY2(image.width() >= d.atLeast.width() && image.height() >= d.atLeast.height(), qPrintable(d.name));
            QVERIFY(dlg->windowFlags().testFlag(Qt::FramelessWindowHint));
        }
        DataSourceSelForm sources;
        QImage sourcesImage;
        g_answer<DataSourceSelForm>(QStringLiteral("DataSourceSelForm"), [&](DataSourceSelForm& f) {
            sourcesImage = shot(f, QStringLiteral("sources"));
            return int(QDialog::Rejected);
        });
        QCOMPARE(sources.execSel(ids("IDS_SEL_ONE_PC_VIBER_ACCOUNT"), {{QStringLiteral("4915111111111"), QString()},
                                                                       {QStringLiteral("work"), QString()}}),
                 -1);
        QVERIFY(sourcesImage.width() >= 400);
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
