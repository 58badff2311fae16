#include "jobs/BackupViberMsgThread.h"
#include "jobs/DeleteViberMsgThread.h"
#include "export/ExportPaths.h"
#include "fixtures/ViberBackupFixture.h"
#include "itunes/BackupManifest.h"
#include "jobs/IOSLoadViberFromiTunesThread.h"
#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "stores/DemoHistory.h"
#include "stores/IOSViberDb.h"
#include "support/TestEnv.h"
#include "ui/AppStartup.h"
#include "ui/ItemModelMain.h"
#include "ui/ItemModelSms.h"
#include "ui/MainWindow.h"
#include "ui/MyTreeView.h"
#include "ui/ProgressForm.h"
#include "ui/ScriptedAnswers.h"
#include "ui/Tips.h"
#include "ui/dialogs/ExportMessagesDlg.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

class TestAppStartup : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_container;

    ViberData loadDemo()
    {
        IOSViberDb db(QDir(m_container), QStringLiteral("Documents/Contacts.data"), false);
        return db.loadDataThrow();
    }

    ViberData loadLocalDb(const QString& name)
    {
        IOSViberDb db(QDir(g_testDataFolders().localDbDir().filePath(name)), QString::fromLatin1(kLocalDbStoreFile), true);
        return db.loadDataThrow();
    }

    QStringList boxTexts()
    {
        QStringList texts;
        for (const auto& b : ScriptedAnswers::shownBoxes())
            texts << b.text;
        return texts;
    }

    // Backs the demo history up into a local database under the dialog.
    void backUpDemo(const QString& name)
    {
        const ViberData demo = loadDemo();
        ProgressForm form{QString()};
        BackupViberMsgThread job(demo.messages(), QDir(g_testDataFolders().localDbDir().filePath(name)), form);
        QCOMPARE(g_execJob(job, form), 1);
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        g_delDirCascade(g_testDataFolders().root().absolutePath());
        m_container = m_tmp.filePath(QStringLiteral("demo"));
        g_writeDemoContainerThrow(m_container);
    }

    void init()
    {
        ScriptedAnswers::reset();
        ScriptedAnswers::setStandingAnswer(QMessageBox::Ok);
        ScriptedAnswers::setRejectUnscriptedDialogs(true);
    }

    void startsOnAnEmptyDataFolder()
    {
        QCOMPARE(g_prepareApplication(g_testDataFolders()), 0);
        MainWindow frame(g_testDataFolders());
        frame.show();
        g_warnAboutDeviceFramework();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const ItemModelMain* tree = frame.treeModel();
        QCOMPARE(tree->rowCount(), 2);
        QCOMPARE(tree->rowCount(tree->indexOfItemNode(tree->rootDevice())), 0);
        QCOMPARE(tree->rowCount(tree->indexOfItemNode(tree->rootLocalDb())), 0);
        QCOMPARE(frame.countText(), QStringLiteral("Messages: 0"));
        QVERIFY(!frame.exportAction()->isEnabled());
        QCOMPARE(frame.windowTitle(), g_productName());
        // No device backend is installed here: that is no reason for a box.
        QVERIFY(ScriptedAnswers::shownBoxes().isEmpty());
        QVERIFY(!QDir(g_testDataFolders().root().filePath(QStringLiteral("qlogs"))).entryList(QDir::Files).isEmpty());
    }

    // The backup job runs under the dialog; the frame then lists the new
    // database (and not a folder without a store) and loads it on selection.
    void listsAndLoadsALocalDatabase()
    {
        QVERIFY(QDir().mkpath(g_testDataFolders().localDbDir().filePath(QStringLiteral("Empty folder/Documents"))));
        backUpDemo(QStringLiteral("Demo"));
        const int total = int(loadDemo().messages().size());
        QCOMPARE(boxTexts(), QStringList{ids("IDS_SUC_BACKUP_%1_MESSAGES", total)});

        MainWindow frame(g_testDataFolders());
        frame.show();
        ItemModelMain* tree = frame.treeModel();
        const QModelIndex dbs = tree->indexOfItemNode(tree->rootLocalDb());
        QCOMPARE(tree->rowCount(dbs), 1);
        const QModelIndex demo = tree->index(0, 0, dbs);
        QCOMPARE(tree->data(demo).toString(), QStringLiteral("Demo"));
        frame.sourceTree()->setCurrentIndex(demo);
        QVERIFY(frame.exportAction()->isEnabled());
        QCOMPARE(frame.countText(), QStringLiteral("Messages: %1").arg(total));
        QVERIFY(tree->rowCount(demo) > 1);

        const QModelIndex chat = tree->index(0, 0, demo);
        const _ViberChat* c = static_cast<_ChatSessionItemNode*>(AbsTreeItemModel::nodeOf(chat))->chat;
        frame.sourceTree()->setCurrentIndex(chat);
        QCOMPARE(frame.messageModel()->rowCount(), int(c->msgs.size()));
        QVERIFY(frame.exportAction()->isEnabled());
        // Shown oldest first.
        const QList<_ViberMsg*> shown = frame.messageModel()->messages();
        QVERIFY(std::is_sorted(shown.cbegin(), shown.cend(), compareViberMsgAsc));
    }

    // The export dialog writes path (empty: cancelled), in the format its
    // suffix names.
    static void answerExport(const QString& path)
    {
        ScriptedAnswers::answerNextDialog(QStringLiteral("ExportMessagesDlg"), [path](QDialog& d) {
            if (path.isEmpty())
                return int(QDialog::Rejected);
            auto& dlg = static_cast<ExportMessagesDlg&>(d);
            dlg.findChild<QLineEdit*>(QStringLiteral("txtPath"))->setText(path);
            dlg.findChild<QComboBox*>(QStringLiteral("cbFormat"))
                ->setCurrentIndex(path.endsWith(QLatin1String(".csv")) ? EXPORT_FILTER_CSV : EXPORT_FILTER_TXT);
            dlg.onBtnOkPress();
            return dlg.result();
        });
    }

    void exportRunsFromTheFrame()
    {
        MainWindow frame(g_testDataFolders());
        ItemModelMain* tree = frame.treeModel();
        const QModelIndex demo = tree->index(0, 0, tree->indexOfItemNode(tree->rootLocalDb()));
        frame.sourceTree()->setCurrentIndex(demo);
        const QModelIndex chat = tree->index(0, 0, demo);
        frame.sourceTree()->setCurrentIndex(chat);
        const int listed = frame.messageModel()->rowCount();
        // Two rows selected: only they are exported.
        frame.messageList()->selectionModel()->select(
            frame.messageModel()->indexOfPos(0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        frame.messageList()->selectionModel()->select(
            frame.messageModel()->indexOfPos(1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const QString out = m_tmp.filePath(QStringLiteral("out/selected.csv"));
        QVERIFY(QDir().mkpath(m_tmp.filePath(QStringLiteral("out"))));
        answerExport(out);
        frame.exportAction()->trigger();
        QCOMPARE(boxTexts(), QStringList{ids("IDS_SUC_EXPORT_%1_MMS", 2)});
        QVERIFY(g_readText(out).contains(u'\n'));

        // Nothing selected: the chat's messages; a cancelled dialog does nothing.
        frame.messageList()->clearSelection();
        answerExport(QString());
        frame.exportAction()->trigger();
        QCOMPARE(ScriptedAnswers::shownBoxes().size(), 1);
        answerExport(m_tmp.filePath(QStringLiteral("out/chat.txt")));
        frame.exportAction()->trigger();
        QCOMPARE(boxTexts().last(), ids("IDS_SUC_EXPORT_%1_MMS", listed));
    }

    void searchesWrapAroundOnce()
    {
        MainWindow frame(g_testDataFolders());
        ItemModelMain* tree = frame.treeModel();
        const QModelIndex demo = tree->index(0, 0, tree->indexOfItemNode(tree->rootLocalDb()));
        frame.sourceTree()->setCurrentIndex(demo);
        const int last = tree->rowCount(demo) - 1;
        const QString lastName = tree->data(tree->index(last, 0, demo)).toString();

        // From the last chat, the search wraps round to it again.
        frame.sourceTree()->setCurrentIndex(tree->index(last, 0, demo));
        frame.chatKeyword()->setText(QStringLiteral("  %1 ").arg(lastName.toUpper()));
        frame.searchChats();
        QCOMPARE(frame.sourceTree()->currentIndex(), tree->index(last, 0, demo));
        QVERIFY(ScriptedAnswers::shownBoxes().isEmpty());
        // Searching from the source finds it from the top.
        frame.sourceTree()->setCurrentIndex(demo);
        frame.searchChats();
        QCOMPARE(frame.sourceTree()->currentIndex(), tree->index(last, 0, demo));
        frame.chatKeyword()->setText(QStringLiteral("<b>nobody"));
        frame.searchChats();
        QCOMPARE(boxTexts(), QStringList{QStringLiteral("Find no contact with keyword &lt;b&gt;nobody.")});

        // Messages: the next match after the current row, then round again.
        frame.sourceTree()->setCurrentIndex(demo);
        const QList<_ViberMsg*> shown = frame.messageModel()->messages();
        QVERIFY(shown.size() > 4);
        const QString word = shown.at(1)->summary();
        QList<int> matching;
        for (int r = 0; r < shown.size(); ++r) {
            if (shown.at(r)->summary().contains(word, Qt::CaseInsensitive))
                matching << r;
        }
        frame.messageKeyword()->setText(word);
        frame.searchMessages();
        QCOMPARE(frame.messageList()->currentIndex().row(), matching.first());
        for (int i = 1; i <= matching.size(); ++i) {
            frame.searchMessages();
            QCOMPARE(frame.messageList()->currentIndex().row(), matching.at(i % matching.size()));
        }
        frame.messageKeyword()->setText(QStringLiteral("no such words anywhere"));
        frame.searchMessages();
        QCOMPARE(boxTexts().last(), QStringLiteral("Find no Message with keyword no such words anywhere."));

        frame.sourceTree()->setCurrentIndex(tree->index(0, 0));
        frame.searchMessages();
        QCOMPARE(boxTexts().last(), ids("IDS_CAN_NOT_FOUND_AND_MESSAGES"));
    }

    void deleteAndLoadFromABackupRunUnderTheDialog()
    {
        {
            IOSViberDb db(QDir(g_testDataFolders().localDbDir().filePath(QStringLiteral("Demo"))),
                          QString::fromLatin1(kLocalDbStoreFile), true);
            const ViberData data = db.loadDataThrow();
            const QList<_ViberMsg*> some = data.messages().mid(0, 5);
            ProgressForm form{QString()};
            DeleteViberMsgThread job(db, some, form);
            QCOMPARE(g_execJob(job, form), 1);
        }
        QCOMPARE(boxTexts(), QStringList{ids("IDS_SUC_DEL_%1_VIBER_MESSAGES", 5)});
        QCOMPARE(loadLocalDb(QStringLiteral("Demo")).messages().size(), loadDemo().messages().size() - 5);

        ViberBackupLayout layout;
        layout.photoLibrary = false;
        const QString folder =
            g_writeViberBackup(m_container, ViberBackupSample(), m_tmp.filePath(QStringLiteral("bk")),
                               QStringLiteral("plain"), layout);
        BackupManifest manifest(folder, g_testDataFolders());
        manifest.readManifestInfo();
        manifest.parseInfo();
        ProgressForm form{QString()};
        IOSLoadViberFromiTunesThread job(&manifest, form, m_tmp.filePath(QStringLiteral("loaded")));
        QCOMPARE(g_execJob(job, form), 1);
        QVERIFY(job.hasData());
        QVERIFY(QFileInfo(job.dataDir().filePath(QStringLiteral("Documents/Contacts.data"))).isFile());
    }
};

QTEST_MAIN(TestAppStartup)
#include "test_app_startup.moc"
