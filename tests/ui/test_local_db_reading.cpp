// The main window reading its local databases in the background, as it does
// for large stores (every store here is read that way): the window shows
// that it reads, keeps the user where they went meanwhile, reports a store
// it cannot read, and finds the chat again after a job changed the store.
#include "CommandTestSupport.h"
#include "jobs/BackupViberMsgThread.h"
#include "model/ViberRecords.h"
#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "stores/DemoHistory.h"
#include "stores/IOSViberDb.h"
#include "support/TestEnv.h"
#include "ui/ItemModelMain.h"
#include "ui/ItemModelSms.h"
#include "ui/LocalDbLoader.h"
#include "ui/MainWindow.h"
#include "ui/MyTreeView.h"
#include "ui/ProgressForm.h"
#include "ui/commands/LocalDbCommands.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestLocalDbReading : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    int m_demoTotal = 0;

    static QModelIndex localDb(const MainWindow& w, const QString& name)
    {
        const ItemModelMain* tree = w.treeModel();
        const QModelIndex root = tree->indexOfItemNode(tree->rootLocalDb());
        for (int r = 0; r < tree->rowCount(root); ++r) {
            if (tree->data(tree->index(r, 0, root)).toString() == name)
                return tree->index(r, 0, root);
        }
        return {};
    }
    static int chatsOf(const MainWindow& w, const QString& name) { return w.treeModel()->rowCount(localDb(w, name)); }

    void writeLocalDb(const QString& name, const ViberData& data)
    {
        ProgressForm form{QString()};
        BackupViberMsgThread job(data.messages(), QDir(g_testDataFolders().localDbDir().filePath(name)), form);
        QCOMPARE(g_execJob(job, form), 1);
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        g_delDirCascade(g_testDataFolders().root().absolutePath());
        g_resetDialogScripts();
        const QString demo = m_tmp.filePath(QStringLiteral("demo"));
        g_writeDemoContainerThrow(demo);
        IOSViberDb store(QDir(demo), QStringLiteral("Documents/Contacts.data"), false);
        ViberData data = store.loadDataThrow();
        m_demoTotal = int(data.messages().size());
        writeLocalDb(QStringLiteral("Demo"), data);
        // A second database with only the first chat of the demo.
        data.keepOnlyChats({data.chats().first()->id});
        writeLocalDb(QStringLiteral("One chat"), data);
        // A store that is no SQLite database.
        const QString broken = g_testDataFolders().localDbDir().filePath(QStringLiteral("Broken"));
        QVERIFY(QDir().mkpath(broken + QStringLiteral("/Documents")));
        QFile junk(QDir(broken).filePath(QLatin1String(kLocalDbStoreFile)));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(8192, 'x'));
        junk.close();
        LocalDbLoader::setInlineLimit(0);
    }

    void init() { g_resetDialogScripts(); }
    void cleanup() { QCOMPARE(ScriptedAnswers::pendingDialogScripts(), 0); }

    void showsTheReadThenTheMessages()
    {
        MainWindow w(g_testDataFolders());
        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("Demo")));
        // Under way: nothing of the store is shown or offered yet.
        QCOMPARE(w.countText(), ids("IDS_READING_LOCALDB"));
        QCOMPARE(w.messageList()->viewport()->cursor().shape(), Qt::BusyCursor);
        QCOMPARE(chatsOf(w, QStringLiteral("Demo")), 0);
        QVERIFY(!w.exportAction()->isEnabled());
        QScopedPointer<QMenu> menu(w.buildMainTreeMenu());
        for (const QAction* a : menu ? menu->actions() : QList<QAction*>())
            QVERIFY2(!a->isEnabled() || a->isSeparator(), qPrintable(a->text()));

        QTRY_COMPARE(w.messageModel()->rowCount(), m_demoTotal);
        QCOMPARE(w.countText(), QStringLiteral("Messages: %1").arg(m_demoTotal));
        QCOMPARE(w.messageList()->viewport()->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(chatsOf(w, QStringLiteral("Demo")) > 1);
        QVERIFY(w.sourceTree()->isExpanded(localDb(w, QStringLiteral("Demo"))));
        QVERIFY(w.exportAction()->isEnabled());
        // The list comes in the order of the date column's indicator, sorted
        // where the store was read.
        const QList<_ViberMsg*> shown = w.messageModel()->messages();
        QVERIFY(std::is_sorted(shown.begin(), shown.end(), compareViberMsgAsc) ||
                std::is_sorted(shown.begin(), shown.end(), compareViberMsgDesc));

        // Read once: selecting it again shows it at once.
        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("One chat")));
        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("Demo")));
        QCOMPARE(w.messageModel()->rowCount(), m_demoTotal);
    }

    void theUserStaysWhereTheyWent()
    {
        MainWindow w(g_testDataFolders());
        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("One chat")));
        QTRY_COMPARE(chatsOf(w, QStringLiteral("One chat")), 1);
        const int inOneChat = w.messageModel()->rowCount();
        QVERIFY(inOneChat > 0 && inOneChat < m_demoTotal);
        // The user leaves a database under way for one already read; its
        // read ends without taking them back.
        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("Demo")));
        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("One chat")));
        QCOMPARE(w.messageModel()->rowCount(), inOneChat);
        QCOMPARE(w.messageList()->viewport()->cursor().shape(), Qt::ArrowCursor);
        QTRY_VERIFY(chatsOf(w, QStringLiteral("Demo")) > 1);
        QCOMPARE(w.sourceTree()->currentIndex(), localDb(w, QStringLiteral("One chat")));
        QCOMPARE(w.messageModel()->rowCount(), inOneChat);
        QCOMPARE(w.countText(), QStringLiteral("Messages: %1").arg(inOneChat));
    }

    void aStoreThatCannotBeReadIsReportedEachTime()
    {
        MainWindow w(g_testDataFolders());
        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("Broken")));
        QTRY_COMPARE(ScriptedAnswers::shownBoxes().size(), 1);
        QCOMPARE(ScriptedAnswers::shownBoxes().first().icon, QMessageBox::Critical);
        QCOMPARE(w.countText(), QStringLiteral("Messages: 0"));
        QCOMPARE(chatsOf(w, QStringLiteral("Broken")), 0);
        // Not marked as read: the next selection tries again.
        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("One chat")));
        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("Broken")));
        QTRY_COMPARE(ScriptedAnswers::shownBoxes().size(), 2);
    }

    void aJobsReloadFindsTheChatAgain()
    {
        // On a copy: the deletion changes the store.
        const QString name = QStringLiteral("Scratch");
        writeLocalDb(name, UiCommands::loadLocalDbThrow(g_testDataFolders(), QStringLiteral("Demo")));
        MainWindow w(g_testDataFolders());
        w.sourceTree()->setCurrentIndex(localDb(w, name));
        QTRY_VERIFY(chatsOf(w, name) > 1);
        const QModelIndex chat = w.treeModel()->index(0, 0, localDb(w, name));
        const QString chatName = w.treeModel()->data(chat).toString();
        w.sourceTree()->setCurrentIndex(chat);
        const int inChat = w.messageModel()->rowCount();
        QVERIFY(inChat > 2);
        for (int r : {0, 1})
            w.messageList()->selectionModel()->select(w.messageModel()->indexOfPos(r),
                                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        ScriptedAnswers::answerNextBox(QMessageBox::Yes);
        w.trigger(MainWindow::CMD_DELETE, MainWindow::SCOPE_SELECTION);
        // The database is read again; its reader comes back to the chat.
        QTRY_COMPARE(w.messageModel()->rowCount(), inChat - 2);
        QCOMPARE(w.treeModel()->data(w.sourceTree()->currentIndex()).toString(), chatName);
        QVERIFY(w.currentChat());
        QCOMPARE(w.currentChat()->msgs.size(), inChat - 2);
    }

    void aWindowClosedDuringAReadGoesQuietly()
    {
        for (int i = 0; i < 3; ++i) {
            auto* w = new MainWindow(g_testDataFolders());
            w->sourceTree()->setCurrentIndex(localDb(*w, QStringLiteral("Demo")));
            delete w;
        }
        QCoreApplication::processEvents();
        QCOMPARE(ScriptedAnswers::shownBoxes().size(), 0);
    }

    void aNewerReadReplacesAnOlderOne()
    {
        LocalDbLoader loader(g_testDataFolders());
        QSignalSpy spy(&loader, &LocalDbLoader::loaded);
        loader.load(QStringLiteral("Demo"), false);
        loader.load(QStringLiteral("Demo"), true);
        QVERIFY(loader.isLoading(QStringLiteral("Demo")));
        loader.load(QStringLiteral("One chat"), false);
        loader.forget(QStringLiteral("One chat"));
        // Reads run and report in turn: once the last has reported, every
        // earlier one has.
        loader.load(QStringLiteral("Broken"), false);
        QTRY_VERIFY(!loader.isLoading(QStringLiteral("Broken")));
        QVERIFY(!loader.isLoading(QStringLiteral("Demo")));
        QCOMPARE(spy.size(), 2);
        QVERIFY(!spy.last().first().value<LocalDbLoader::Result>().error.isEmpty());
        const auto read = spy.first().first().value<LocalDbLoader::Result>();
        QCOMPARE(read.name, QStringLiteral("Demo"));
        QVERIFY(read.descending);
        QCOMPARE(int(read.byDate.size()), m_demoTotal);
        QVERIFY(std::is_sorted(read.byDate.begin(), read.byDate.end(), compareViberMsgDesc));
        QVERIFY(read.error.isEmpty());
    }
};

QTEST_MAIN(TestLocalDbReading)
#include "test_local_db_reading.moc"
