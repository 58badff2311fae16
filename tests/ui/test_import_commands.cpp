#include "CommandTestSupport.h"
#include "fixtures/DesktopFixture.h"
#include "fixtures/ViberBackupFixture.h"
#include "itunes/BackupManifest.h"
#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "stores/IOSViberDb.h"
#include "stores/PCViberDb.h"
#include "support/TestEnv.h"
#include "ui/commands/ImportCommands.h"
#include "ui/dialogs/DataSourceSelForm.h"
#include "ui/dialogs/ItemModelLoadBk.h"
#include "ui/dialogs/LoadItunesBackupDlg.h"
#include "ui/dialogs/LocalDbSelForm.h"
#include "ui/dialogs/PasscodeDlg.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

using namespace UiCommands;

namespace {
const QByteArray kPassword = "correct horse";

QStringList g_logged;
void recordMessage(QtMsgType, const QMessageLogContext&, const QString& text)
{
    g_logged << text;
}

// A backup holding one file, dated date, written into parent/name.
QString smallBackup(const QString& parent, const QString& name, const QDateTime& date, const QByteArray& password = {},
                    BackupFixture::Generation generation = BackupFixture::Mbdb)
{
    BackupFixture b;
    b.generation = generation;
    b.date = date;
    b.deviceName = name;
    b.encrypted = !password.isEmpty();
    b.password = password;
    b.addFolders(QStringLiteral("HomeDomain"), QStringLiteral("Library"));
    b.addFile(QStringLiteral("HomeDomain"), QStringLiteral("Library/x.plist"), "<plist/>");
    return b.write(parent, name);
}

QStringList listedPaths(const ItemModelLoadBk& model)
{
    QStringList paths;
    for (int row = 0; row < model.rowCount(); ++row)
        paths << model.index(row, 2).data().toString();
    return paths;
}

// The chooser picks the listed backup of folder and loads it.
void answerChooser(const QString& folder)
{
    g_answer<LoadItunesBackupDlg>(QStringLiteral("LoadItunesBackupDlg"), [folder](LoadItunesBackupDlg& d) {
        const int row = int(listedPaths(*d.model()).indexOf(QDir::toNativeSeparators(folder)));
        if (row < 0)
            return int(QDialog::Rejected);
        d.listBackups()->setCurrentIndex(d.model()->index(row, 0));
        d.btnLoadClicked();
        return d.result();
    });
}

void answerPassword(const QByteArray& password)
{
    g_answer<PasscodeDlg>(QStringLiteral("PasscodeDlg"), [password](PasscodeDlg& d) {
        d.findChild<QLineEdit*>(QStringLiteral("txtPasscode"))->setText(QString::fromUtf8(password));
        d.btnOKPressed();
        return d.result();
    });
}

} // namespace

class TestImportCommands : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_container;
    int m_containerMessages = 0;

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(m_tmp.isValid());
        g_delDirCascade(g_testDataFolders().localDbDir().absolutePath());
        g_delDirCascade(BackupManifest::iTunesBackupDir().absolutePath());
        g_delDirCascade(viberPCDir().absolutePath());

        ContainerFixture c(m_tmp.filePath(QStringLiteral("container")));
        const ViberBackupSample sample = g_fillBackupSample(c);
        c.finish();
        m_container = c.root().absolutePath();
        IOSViberDb db(c.root(), QStringLiteral("Documents/Contacts.data"), false);
        db.setPreviewRoot(QDir(m_tmp.filePath(QStringLiteral("previews"))));
        m_containerMessages = int(db.loadDataThrow().messages().size());
        QVERIFY(QDir().mkpath(BackupManifest::iTunesBackupDir().absolutePath()));
        g_writeViberBackup(m_container, sample, BackupManifest::iTunesBackupDir().absolutePath(),
                           QStringLiteral("plain"));
        ViberBackupLayout locked;
        locked.password = kPassword;
        g_writeViberBackup(m_container, sample, BackupManifest::iTunesBackupDir().absolutePath(),
                           QStringLiteral("locked"), locked);
    }

    void init() { g_resetDialogScripts(); }

    void cleanup() { QCOMPARE(ScriptedAnswers::pendingDialogScripts(), 0); }

    void chooserListsBackupsNewestFirstAndSkipsOthers()
    {
        const QString dir = m_tmp.filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(dir));
        const QString older = smallBackup(dir, QStringLiteral("older"), QDateTime(QDate(2021, 1, 1), QTime(9, 0), Qt::UTC));
        const QString newest = smallBackup(dir, QStringLiteral("newest"), QDateTime(QDate(2025, 1, 1), QTime(9, 0), Qt::UTC));
        // A backup of iOS 10 or later (Manifest.db) is listed like the older ones.
        const QString middle = smallBackup(dir, QStringLiteral("middle"), QDateTime(QDate(2023, 1, 1), QTime(9, 0), Qt::UTC),
                                           {}, BackupFixture::ManifestDb);
        QVERIFY(!QFileInfo::exists(middle + QStringLiteral("/Manifest.mbdb")));
        // No Manifest.plist: not a backup. A broken one: reported, and the
        // listing goes on.
        QVERIFY(QDir().mkpath(dir + QStringLiteral("/noplist")));
        QVERIFY(QFile::copy(older + QStringLiteral("/Manifest.mbdb"), dir + QStringLiteral("/noplist/Manifest.mbdb")));
        QVERIFY(QDir().mkpath(dir + QStringLiteral("/broken")));
        QVERIFY(QFile::copy(older + QStringLiteral("/Manifest.mbdb"), dir + QStringLiteral("/broken/Manifest.mbdb")));
        QVERIFY(g_writeFile(dir + QStringLiteral("/broken/Manifest.plist"), "not a plist"));

        LoadItunesBackupDlg dlg(g_testDataFolders());
        QCOMPARE(dlg.model()->rowCount(), 2); // plain and locked of the iTunes folder
        ScriptedAnswers::reset();
        ScriptedAnswers::setStandingAnswer(QMessageBox::Ok);
        dlg.model()->clearChilds(nullptr);
        dlg.listBackupsIn(QDir(dir));
        QCOMPARE(listedPaths(*dlg.model()), (QStringList{QDir::toNativeSeparators(newest), QDir::toNativeSeparators(middle),
                                                          QDir::toNativeSeparators(older)}));
        QCOMPARE(dlg.model()->index(0, 0).data().toString(), QStringLiteral("newest-newest")); // device name, folder
        QVERIFY(!dlg.listBackups()->currentIndex().isValid());
        const QStringList boxes = g_boxTexts();
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes.first().contains(QStringLiteral("broken")));

        // Load with no row current warns and stays open.
        dlg.btnLoadClicked();
        QCOMPARE(dlg.result(), 0);
        QCOMPARE(g_boxTexts().constLast(), ids("IDS_PLEASE_SELECT_ONE_ITUNES_BACKUP"));
    }

    void aBackupListedAlreadyIsNotAddedAgain()
    {
        LoadItunesBackupDlg dlg(g_testDataFolders());
        const int rows = dlg.model()->rowCount();
        const QString plain = BackupManifest::iTunesBackupDir().filePath(QStringLiteral("plain"));
        ScriptedAnswers::answerNextFileDialog(plain + QStringLiteral("/../plain/"));
        dlg.btnAddOtherClicked(QStringLiteral("#"));
        QCOMPARE(dlg.model()->rowCount(), rows);
        QCOMPARE(g_boxTexts(), QStringList{ids("IDS_LOAD_BK_EXISTS")});

        // Through a link to the same folder, too.
        const QString link = m_tmp.filePath(QStringLiteral("link-to-plain"));
        QVERIFY(QFile::link(plain, link));
        dlg.addBackupFolder(link);
        QCOMPARE(dlg.model()->rowCount(), rows);

        // A new folder is added and made current.
        const QString other = smallBackup(m_tmp.filePath(QStringLiteral("more")), QStringLiteral("other"),
                                          QDateTime(QDate(2020, 5, 5), QTime(), Qt::UTC));
        dlg.addBackupFolder(other);
        QCOMPARE(dlg.model()->rowCount(), rows + 1);
        QCOMPARE(dlg.model()->backupAt(dlg.listBackups()->currentIndex())->root().absolutePath(), other);
    }

    void aWrongPasswordKeepsTheDialogOpenWithAnEmptyField()
    {
        BackupManifest manifest(BackupManifest::iTunesBackupDir().filePath(QStringLiteral("locked")), g_testDataFolders());
        manifest.readManifestInfo();
        QVERIFY(manifest.info().isEncrypted);
        QStringList fieldAfter;
        QList<int> results;
        g_logged.clear();
        const QtMessageHandler previous = qInstallMessageHandler(recordMessage);
        g_answer<PasscodeDlg>(QStringLiteral("PasscodeDlg"), [&](PasscodeDlg& d) {
            auto* field = d.findChild<QLineEdit*>(QStringLiteral("txtPasscode"));
            for (const QString& typed : {QString(), QStringLiteral("hunter2-wrong"), QStringLiteral("hunter2-cancelled"),
                                         QString::fromUtf8(kPassword)}) {
                field->setText(typed);
                if (typed.endsWith(QStringLiteral("cancelled")))
                    g_cancelNextJob();
                d.btnOKPressed();
                fieldAfter << field->text();
                results << d.result();
            }
            return d.result();
        });
        PasscodeDlg dlg(&manifest);
        const bool unlocked = dlg.execUnlock();
        qInstallMessageHandler(previous);

        QVERIFY(unlocked);
        QVERIFY(manifest.isUnlocked());
        QCOMPARE(results, (QList<int>{0, 0, 0, 1}));
        QCOMPARE(fieldAfter.at(1), QString()); // emptied after the wrong one
        QCOMPARE(fieldAfter.at(2), QString()); // and after a cancelled check
        QCOMPARE(g_boxTexts(), (QStringList{ids("IDS_PWD_IS_NULL"), ids("IDS_INVALID_PASSWORD")}));
        for (const QString& line : std::as_const(g_logged)) {
            QVERIFY2(!line.contains(QStringLiteral("hunter2")), qPrintable(line));
            QVERIFY2(!line.contains(QString::fromUtf8(kPassword)), qPrintable(line));
        }
    }

    void importingAnEncryptedBackupCreatesALocalDatabase()
    {
        const QString folder = BackupManifest::iTunesBackupDir().filePath(QStringLiteral("locked"));
        answerChooser(folder);
        answerPassword("wrong first");
        // The wrong password leaves the dialog open: the script gives up,
        // which cancels the import.
        LocalDbChange change = importViberFromiTunes(nullptr, g_testDataFolders(), QString());
        QCOMPARE(change.dbName, QString());
        // Only the unlocking ran: no load from the backup.
        QCOMPARE(ScriptedAnswers::shownDialogs().count(QStringLiteral("ProgressForm")), 1);

        QString proposed;
        answerChooser(folder);
        answerPassword(kPassword);
        g_answer<LocalDbSelForm>(QStringLiteral("LocalDbSelForm"), [&](LocalDbSelForm& f) {
            proposed = f.findChild<QComboBox*>(QStringLiteral("cbLocalDbNames"))->currentText();
            f.onBtnOkPress();
            return f.result();
        });
        change = importViberFromiTunes(nullptr, g_testDataFolders(), QString());
        QCOMPARE(proposed, QStringLiteral("Test iPhone_Backup"));
        QCOMPARE(change.dbName, proposed);
        QVERIFY(change.reload);
        QCOMPARE(int(loadLocalDbThrow(g_testDataFolders(), change.dbName).messages().size()), m_containerMessages);
    }

    void importingIntoAnExistingDatabaseProposesItsName()
    {
        answerChooser(BackupManifest::iTunesBackupDir().filePath(QStringLiteral("plain")));
        QString proposed;
        g_answer<LocalDbSelForm>(QStringLiteral("LocalDbSelForm"), [&](LocalDbSelForm& f) {
            proposed = f.findChild<QComboBox*>(QStringLiteral("cbLocalDbNames"))->currentText();
            f.onBtnOkPress();
            return f.result();
        });
        const LocalDbChange change = importViberFromiTunes(nullptr, g_testDataFolders(), QStringLiteral("Mine"));
        QCOMPARE(proposed, QStringLiteral("Mine"));
        QVERIFY(change.reload);
        // An unencrypted backup asks for no password.
        QVERIFY(!ScriptedAnswers::shownDialogs().contains(QStringLiteral("PasscodeDlg")));
        QCOMPARE(int(loadLocalDbThrow(g_testDataFolders(), QStringLiteral("Mine")).messages().size()), m_containerMessages);
    }

    // Without an account where Viber Desktop keeps them, the question names
    // that folder; declining ends quietly, a chosen viber.db anywhere is read
    // under its folder's name, and a path that is no file is refused.
    void desktopImportWithoutAccountsOffersToChooseTheStore()
    {
        const QString lookedIn = QDir::toNativeSeparators(viberPCDir().absolutePath());
        ScriptedAnswers::answerNextBox(QMessageBox::No);
        QVERIFY(!importViberFromPC(nullptr, g_testDataFolders(), QString()).reload);
        QCOMPARE(g_boxTexts().size(), 1);
        QVERIFY(g_boxTexts().first().contains(lookedIn.toHtmlEscaped()));
        QCOMPARE(ScriptedAnswers::fileDialogCaptions(), QStringList());

        const QString store = m_tmp.filePath(QStringLiteral("elsewhere/4915222222222/viber.db"));
        QVERIFY(QDir().mkpath(QFileInfo(store).absolutePath()));
        {
            DesktopFixture f(store);
            g_fillDesktopSample(f);
            f.finish();
        }
        const QByteArray before = g_fileDigest(store);
        const int expected = int(PCViberDb(store).loadDataThrow().messages().size());
        ScriptedAnswers::answerNextBox(QMessageBox::Yes);
        ScriptedAnswers::answerNextFileDialog(store);
        QString proposed;
        g_answer<LocalDbSelForm>(QStringLiteral("LocalDbSelForm"), [&](LocalDbSelForm& f) {
            proposed = f.findChild<QComboBox*>(QStringLiteral("cbLocalDbNames"))->currentText();
            f.onBtnOkPress();
            return f.result();
        });
        const LocalDbChange change = importViberFromPC(nullptr, g_testDataFolders(), QString());
        QCOMPARE(ScriptedAnswers::fileDialogCaptions(), QStringList{ids("IDS_CHOOSE_PC_VIBER_DB")});
        QCOMPARE(proposed, QStringLiteral("ViberPC-4915222222222"));
        QVERIFY(change.reload);
        QCOMPARE(int(loadLocalDbThrow(g_testDataFolders(), change.dbName).messages().size()), expected);
        QCOMPARE(g_fileDigest(store), before);

        g_resetDialogScripts();
        ScriptedAnswers::answerNextBox(QMessageBox::Yes);
        ScriptedAnswers::answerNextFileDialog(m_tmp.filePath(QStringLiteral("elsewhere")));
        QVERIFY(!importViberFromPC(nullptr, g_testDataFolders(), QString()).reload);
        QCOMPARE(ScriptedAnswers::shownBoxes().last().icon, QMessageBox::Critical);
        QVERIFY(ScriptedAnswers::shownDialogs().isEmpty());
    }

    void desktopImportReadsTheAccountAndLeavesItsStoreAlone()
    {

        const QDir home = viberPCDir();
        QVERIFY(home.absolutePath().startsWith(QDir::homePath()));
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("4915111111111"))));
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("empty"))));
        QVERIFY(g_writeFile(home.filePath(QStringLiteral("empty/viber.db")), QByteArray()));
        const QString store = home.filePath(QStringLiteral("4915111111111/viber.db"));
        {
            DesktopFixture f(store);
            g_fillDesktopSample(f);
            f.finish();
        }
        const QByteArray before = g_fileDigest(store);
        const int expected = int(PCViberDb(store).loadDataThrow().messages().size());
        QVERIFY(expected > 0);

        ScriptedAnswers::reset();
        ScriptedAnswers::setStandingAnswer(QMessageBox::Ok);
        ScriptedAnswers::setRejectUnscriptedDialogs(true);
        QStringList accounts;
        QString prompt;
        g_answer<DataSourceSelForm>(QStringLiteral("DataSourceSelForm"), [&](DataSourceSelForm& d) {
            prompt = d.windowTitle();
            for (auto* item : d.findChildren<QTreeWidget*>().first()->findItems(QStringLiteral("*"), Qt::MatchWildcard))
                accounts << item->text(0);
            d.onBtnOkPress();
            return d.result();
        });
        QString proposed;
        g_answer<LocalDbSelForm>(QStringLiteral("LocalDbSelForm"), [&](LocalDbSelForm& f) {
            proposed = f.findChild<QComboBox*>(QStringLiteral("cbLocalDbNames"))->currentText();
            f.onBtnOkPress();
            return f.result();
        });
        const LocalDbChange change = importViberFromPC(nullptr, g_testDataFolders(), QString());
        QCOMPARE(accounts, QStringList{QStringLiteral("4915111111111")}); // the empty store is no account
        QCOMPARE(prompt, ids("IDS_SEL_ONE_PC_VIBER_ACCOUNT"));
        QCOMPARE(proposed, QStringLiteral("ViberPC-4915111111111"));
        QVERIFY(change.reload);
        QCOMPARE(int(loadLocalDbThrow(g_testDataFolders(), change.dbName).messages().size()), expected);
        QCOMPARE(g_fileDigest(store), before);
    }
};

QTEST_MAIN(TestImportCommands)
#include "test_import_commands.moc"
