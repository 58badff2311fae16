// iPhone nodes come and go with simulated devices, are loaded on arrival and
// take messages from one another.
#include "CommandTestSupport.h"
#include "SimFixture.h"
#include "fixtures/CurrentStoreFixture.h"
#include "device/DeviceWatcher.h"
#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/UserTexts.h"
#include "support/FileBytes.h"
#include "support/TestEnv.h"
#include "ui/DeviceFramework.h"
#include "ui/ItemModelMain.h"
#include "ui/ItemModelSms.h"
#include "ui/MainWindow.h"
#include "ui/MyTreeView.h"
#include "ui/ProgressForm.h"
#include "ui/ScriptedAnswers.h"
#include "ui/dialogs/DataSourceSelForm.h"

#include <QAction>
#include <QDateTime>
#include <QMenu>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {
const SimEntries kDirect = {{QStringLiteral("HouseArrest"), CFType::createCFBoolean(true)}};
} // namespace

class TestMainWindowDevices : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    std::unique_ptr<SimFixture> m_sim;

    static QStringList phones(const MainWindow& w)
    {
        QStringList names;
        for (const _ItemNode* n : w.treeModel()->rootDevice()->children)
            names << n->name;
        return names;
    }
    static _ItemNode* phone(const MainWindow& w, const QString& name)
    {
        for (_ItemNode* n : w.treeModel()->rootDevice()->children) {
            if (n->name == name)
                return n;
        }
        return nullptr;
    }
    // Selects the phone's node and returns the number of messages shown.
    static int shownOf(MainWindow& w, const QString& name)
    {
        w.sourceTree()->setCurrentIndex(w.treeModel()->indexOfItemNode(phone(w, name)));
        return w.messageModel()->rowCount();
    }

    void addViberPhone(const QString& folder, const QString& name, const SimEntries& extra, bool attached,
                       bool ownHistory)
    {
        m_sim->addDevice(folder, name, QStringLiteral("udid-") + folder, extra, attached);
        ContainerFixture c(m_sim->containerDir(folder, QStringLiteral("com.viber")));
        if (ownHistory) {
            IOSStoreWriter& w = c.store();
            const qint64 zed = w.addPerson(QStringLiteral("+15550001"), {}, 0, QStringLiteral("Zed"));
            IOSStoreWriter::Message m;
            m.chat = w.addChat(600000000, {zed});
            m.person = zed;
            m.state = QStringLiteral("received");
            m.text = QStringLiteral("phone's own");
            m.date = 600000000;
            m.token = 9001;
            w.addMessage(m);
        } else {
            g_fillSampleStore(c);
        }
        c.finish();
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        g_delDirCascade(g_testDataFolders().root().absolutePath());
        m_sim = std::make_unique<SimFixture>(m_tmp.filePath(QStringLiteral("sim")));
        addViberPhone(QStringLiteral("a"), QStringLiteral("Anna's iPhone"), kDirect, true, false);
        addViberPhone(QStringLiteral("b"), QStringLiteral("Ben's iPhone"), kDirect, true, true);
        // Refuses house arrest and has no Viber: the backup route and the
        // empty store standing in.
        m_sim->addDevice(QStringLiteral("e"), QStringLiteral("Empty"), QStringLiteral("udid-e"), {}, false);
        // Backs up encrypted: the password is asked for.
        addViberPhone(QStringLiteral("l"), QStringLiteral("Locked"),
                      {{QStringLiteral("Domains"),
                        g_cfDict({{QStringLiteral("com.apple.mobile.backup"),
                               g_cfDict({{QStringLiteral("WillEncrypt"), CFType::createCFBoolean(true)}})}})},
                       {QStringLiteral("Backup"), g_cfDict({{QStringLiteral("Password"), CFType::createCFString(QStringLiteral("pw"))}})}},
                      false, false);
        {
            // A phone of today: its store has today's layout (the whole
            // schema of a real one), reached through house arrest.
            m_sim->addDevice(QStringLiteral("c"), QStringLiteral("Cleo's iPhone"), QStringLiteral("udid-c"), kDirect, false);
            const QString tmp = m_tmp.filePath(QStringLiteral("cleo"));
            CurrentStoreOptions o;
            o.fullSchema = true;
            CurrentStoreFixture(tmp, o).fillSample();
            const QString app = m_sim->containerDir(QStringLiteral("c"), QStringLiteral("com.viber"));
            QDir(app).removeRecursively();
            QVERIFY(QDir().rename(tmp + u'/' + CurrentStoreFixture::appFolderName(), app));
            QVERIFY(QFile::rename(tmp + u'/' + CurrentStoreFixture::groupFolderName() +
                                      QStringLiteral("/com.viber/database/Contacts.data"),
                                  app + QStringLiteral("/Documents/Contacts.data")));
        }
        QCOMPARE(g_loadDeviceFramework(), DEVICE_FRAMEWORK_LOADED);
    }

    void init() { g_resetDialogScripts(); }

    void cleanup() { QCOMPARE(ScriptedAnswers::pendingDialogScripts(), 0); }

    void nodesFollowArrivalAndDeparture()
    {
        MainWindow w(g_testDataFolders());
        QVERIFY(w.deviceWatcher() && w.deviceWatcher()->isWatching());
        QTRY_COMPARE(phones(w).size(), 2);
        // Each arrival is loaded and its chats listed.
        QTRY_VERIFY(!phone(w, QStringLiteral("Anna's iPhone"))->children.isEmpty());
        QTRY_COMPARE(phone(w, QStringLiteral("Ben's iPhone"))->children.size(), 1);
        QVERIFY(shownOf(w, QStringLiteral("Anna's iPhone")) > 5);
        QCOMPARE(g_boxTexts(), QStringList());

        // Two iPhones: transfers between them are offered.
        w.sourceTree()->setCurrentIndex(w.treeModel()->indexOfItemNode(phone(w, QStringLiteral("Anna's iPhone"))));
        QVERIFY(w.actions().actI2i->isEnabled());
        QVERIFY(w.actions().actBackup->isEnabled());
        std::unique_ptr<QMenu> menu(w.buildMainTreeMenu());
        QVERIFY(menu->actions().at(1)->isEnabled());

        // One leaves: only its node goes, and the view is reset.
        SimFixture::detach(QStringLiteral("b"));
        QTRY_COMPARE(phones(w), QStringList{QStringLiteral("Anna's iPhone")});
        w.sourceTree()->setCurrentIndex(w.treeModel()->indexOfItemNode(phone(w, QStringLiteral("Anna's iPhone"))));
        QVERIFY(!w.actions().actI2i->isEnabled());

        // "Disconnect Device" removes the current iPhone; attached again it
        // comes back loaded.
        SimFixture::detach(QStringLiteral("a"));
        QTRY_VERIFY(phones(w).isEmpty());
        SimFixture::attach(QStringLiteral("a"));
        QTRY_COMPARE(phones(w), QStringList{QStringLiteral("Anna's iPhone")});
        QTRY_VERIFY(!phone(w, QStringLiteral("Anna's iPhone"))->children.isEmpty());
        w.sourceTree()->setCurrentIndex(w.treeModel()->indexOfItemNode(phone(w, QStringLiteral("Anna's iPhone"))));
        w.trigger(MainWindow::CMD_UNMOUNT_DEVICE, MainWindow::SCOPE_ALL);
        QVERIFY(phones(w).isEmpty());
        QVERIFY(!w.actions().actBackup->isEnabled());
        // Its departure later finds no node and changes nothing.
        SimFixture::detach(QStringLiteral("a"));
        QTest::qWait(200);
        QVERIFY(phones(w).isEmpty());
        SimFixture::attach(QStringLiteral("a"));
        SimFixture::attach(QStringLiteral("b"));
    }

    // A load cancelled on arrival leaves the node empty; selecting it reads
    // the phone again.
    void selectingAnUnreadPhoneLoadsIt()
    {
        MainWindow w(g_testDataFolders());
        QTRY_COMPARE(phones(w).size(), 2);
        QTRY_COMPARE(phone(w, QStringLiteral("Ben's iPhone"))->children.size(), 1);
        SimFixture::detach(QStringLiteral("b"));
        QTRY_COMPARE(phones(w).size(), 1);
        g_cancelNextJob();
        SimFixture::attach(QStringLiteral("b"));
        QTRY_COMPARE(phones(w).size(), 2);
        QTRY_COMPARE(ScriptedAnswers::pendingDialogScripts(), 0);
        QTest::qWait(100);
        QVERIFY(phone(w, QStringLiteral("Ben's iPhone"))->children.isEmpty());
        w.sourceTree()->setCurrentIndex(w.treeModel()->indexOfItemNode(phone(w, QStringLiteral("Ben's iPhone"))));
        QTRY_VERIFY2(phone(w, QStringLiteral("Ben's iPhone"))->children.size() == 1,
                     qPrintable(g_boxTexts().join(u'\n') + ScriptedAnswers::shownDialogs().join(u',')));
    }

    // A phone that leaves while it is being read is not put back into the
    // tree by the load's end; attached again it is read as usual.
    void aPhoneLeavingDuringItsLoad()
    {
        MainWindow w(g_testDataFolders());
        QTRY_COMPARE(phones(w).size(), 2);
        QTRY_COMPARE(phone(w, QStringLiteral("Ben's iPhone"))->children.size(), 1);
        SimFixture::detach(QStringLiteral("b"));
        QTRY_COMPARE(phones(w).size(), 1);
        bool leftDuringLoad = false;
        g_answer<ProgressForm>(QStringLiteral("ProgressForm"), [&](ProgressForm&) {
            SimFixture::detach(QStringLiteral("b"));
            leftDuringLoad = QTest::qWaitFor([&] { return phones(w).size() == 1; }, 5000);
            return 0; // the job goes on
        });
        SimFixture::attach(QStringLiteral("b"));
        QTRY_VERIFY(leftDuringLoad);
        QTest::qWait(500);
        QCOMPARE(phones(w), QStringList{QStringLiteral("Anna's iPhone")});
        QCOMPARE(w.messageModel()->rowCount(), 0);

        SimFixture::attach(QStringLiteral("b"));
        QTRY_VERIFY(phone(w, QStringLiteral("Ben's iPhone")));
        QTRY_COMPARE(phone(w, QStringLiteral("Ben's iPhone"))->children.size(), 1);
    }

    // The target is chosen among the other iPhones; after the transfer its
    // node is read again and shows the messages it received.
    void transfersBetweenTwoPhones()
    {
        MainWindow w(g_testDataFolders());
        QTRY_COMPARE(phones(w).size(), 2);
        QTRY_COMPARE(phone(w, QStringLiteral("Ben's iPhone"))->children.size(), 1);
        const int benBefore = shownOf(w, QStringLiteral("Ben's iPhone"));
        const int annaShown = shownOf(w, QStringLiteral("Anna's iPhone"));
        QStringList offered;
        g_answer<DataSourceSelForm>(QStringLiteral("DataSourceSelForm"), [&](DataSourceSelForm& d) {
            for (auto* item : d.findChildren<QTreeWidget*>().first()->findItems(QStringLiteral("*"), Qt::MatchWildcard))
                offered << item->text(0);
            d.onBtnOkPress();
            return d.result();
        });
        w.trigger(MainWindow::CMD_I2I, MainWindow::SCOPE_ALL);
        QCOMPARE(offered, QStringList{QStringLiteral("Ben's iPhone")});
        const QStringList boxes = g_boxTexts();
        const QString ben = QStringLiteral("the iPhone &quot;Ben's iPhone&quot;");
        QCOMPARE(boxes.first(), ids("IDS_BEFORE_RESTORE_VIBER_KILL_VIBER_FIRST").arg(ben) +
                                    QStringLiteral("<br/><br/><img src=\":/res/kill_viber.png\">"));
        QVERIFY2(boxes.last().startsWith(QStringLiteral("Successfully transferred")) &&
                     boxes.last().endsWith(QStringLiteral(" to %1.").arg(ben)),
                 qPrintable(boxes.join(u'\n')));
        // The user reads on in Anna's phone; Ben's shows what it received.
        QTest::qWait(100);
        QCOMPARE(w.sourceTree()->currentIndex(), w.treeModel()->indexOfItemNode(phone(w, QStringLiteral("Anna's iPhone"))));
        QCOMPARE(w.messageModel()->rowCount(), annaShown);
        const int benAfter = shownOf(w, QStringLiteral("Ben's iPhone"));
        QVERIFY2(benAfter > benBefore && benAfter <= benBefore + annaShown, qPrintable(QString::number(benAfter)));
        // The count is what Ben's phone did not have (its list shows calls too).
        static const QRegularExpression counts(QStringLiteral("transferred (\\d+) messages? and (\\d+) calls? to"));
        const QRegularExpressionMatch m = counts.match(boxes.last());
        QVERIFY2(m.hasMatch(), qPrintable(boxes.last()));
        QCOMPARE(m.captured(1).toInt() + m.captured(2).toInt(), benAfter - benBefore);

        // Again: nothing is doubled on the phone, and the result says so.
        g_answer<DataSourceSelForm>(QStringLiteral("DataSourceSelForm"), [](DataSourceSelForm& d) {
            d.onBtnOkPress();
            return d.result();
        });
        w.sourceTree()->setCurrentIndex(w.treeModel()->indexOfItemNode(phone(w, QStringLiteral("Anna's iPhone"))));
        w.trigger(MainWindow::CMD_I2I, MainWindow::SCOPE_TOOLBAR);
        QCOMPARE(g_boxTexts().last(), ids("IDS_TRANSFER_NOTHING_NEW_%1").arg(ben));
        QCOMPARE(shownOf(w, QStringLiteral("Ben's iPhone")), benAfter);
    }

    // A phone without Viber is backed up, asked about and shown empty; an
    // encrypted device backup asks for its password.
    void backupRouteArrivals()
    {
        MainWindow w(g_testDataFolders());
        QTRY_COMPARE(phones(w).size(), 2);
        QTRY_VERIFY(!phone(w, QStringLiteral("Anna's iPhone"))->children.isEmpty());
        SimFixture::attach(QStringLiteral("e"));
        QTRY_VERIFY(phones(w).contains(QStringLiteral("Empty")));
        QTRY_VERIFY(g_boxTexts().size() >= 2);
        // Two phones are attached: the questions name the one they are about.
        QCOMPARE(g_boxTexts().at(0), ids("IDS_ASK_VIBER_MESSAGES_ON_%1").arg(QStringLiteral("the iPhone &quot;Empty&quot;")));
        QVERIFY(g_boxTexts().at(1).startsWith(QStringLiteral("Now you can transfer messages to the iPhone &quot;Empty&quot;.")));
        QVERIFY(phone(w, QStringLiteral("Empty"))->children.isEmpty());
        QCOMPARE(shownOf(w, QStringLiteral("Empty")), 0);
        // Messages can go to it now.
        QVERIFY(w.actions().actI2i->isEnabled());

        QStringList fieldAfter;
        g_answerPasscodes({QStringLiteral("wrong"), QStringLiteral("pw")}, &fieldAfter);
        SimFixture::attach(QStringLiteral("l"));
        QTRY_VERIFY(phones(w).contains(QStringLiteral("Locked")));
        QTRY_VERIFY_WITH_TIMEOUT(!phone(w, QStringLiteral("Locked"))->children.isEmpty(), 20000);
        QCOMPARE(fieldAfter, (QStringList{QString(), QStringLiteral("pw")}));
        QCOMPARE(shownOf(w, QStringLiteral("Locked")), shownOf(w, QStringLiteral("Anna's iPhone")));
    }

    // Over the backup route the phone is restored: the close-Viber box can
    // stop the transfer, and one question names the phone and says that it
    // restarts and loses what changed since its backup. Its node stays and
    // lists the merged history, with the people's names; the user reads on
    // where they were, also while a phone arrives; a transfer that adds
    // nothing says so and restores nothing.
    void theRestoreRoute()
    {
        SimFixture::detach(QStringLiteral("e"));
        SimFixture::detach(QStringLiteral("l"));
        MainWindow w(g_testDataFolders());
        QTRY_COMPARE(phones(w).size(), 2);
        QTRY_VERIFY(!phone(w, QStringLiteral("Anna's iPhone"))->children.isEmpty());
        // The first phone loaded at start is shown once the view settles:
        // the user starts reading after that.
        QTRY_VERIFY(w.sourceTree()->currentIndex().isValid());
        const QModelIndex anna = w.treeModel()->indexOfItemNode(phone(w, QStringLiteral("Anna's iPhone")));
        const QPersistentModelIndex reading = w.treeModel()->index(0, 0, anna);
        w.sourceTree()->setCurrentIndex(reading);
        const int readingRows = w.messageModel()->rowCount();
        QVERIFY(readingRows > 0);
        SimFixture::attach(QStringLiteral("e"));
        QTRY_VERIFY(phones(w).contains(QStringLiteral("Empty")));
        QTRY_VERIFY(static_cast<_IOSDeviceItemNode*>(phone(w, QStringLiteral("Empty")))->loaded);
        QTest::qWait(100); // a queued selection would have landed by now
        QCOMPARE(QModelIndex(reading), w.sourceTree()->currentIndex());

        const QString empty = QStringLiteral("the iPhone &quot;Empty&quot;");
        const QString onPhone =
            m_sim->containerDir(QStringLiteral("e"), QStringLiteral("com.viber")) + QStringLiteral("/Documents/Contacts.data");
        const auto toEmpty = [] {
            g_answer<DataSourceSelForm>(QStringLiteral("DataSourceSelForm"), [](DataSourceSelForm& d) {
                QTreeWidget* list = d.findChildren<QTreeWidget*>().first();
                const QList<QTreeWidgetItem*> found = list->findItems(QStringLiteral("Empty"), Qt::MatchExactly);
                if (!found.isEmpty())
                    list->setCurrentItem(found.first());
                d.onBtnOkPress();
                return d.result();
            });
        };

        g_resetDialogScripts();
        toEmpty();
        ScriptedAnswers::answerNextBox(QMessageBox::Cancel);
        w.trigger(MainWindow::CMD_I2I, MainWindow::SCOPE_ALL);
        QCOMPARE(g_boxTexts().size(), 1);
        QVERIFY(g_boxTexts().first().contains(empty));
        QVERIFY(ScriptedAnswers::shownBoxes().first().buttons == (QMessageBox::Ok | QMessageBox::Cancel));
        QVERIFY(!ScriptedAnswers::shownDialogs().contains(QStringLiteral("ProgressForm")));

        g_resetDialogScripts();
        toEmpty();
        ScriptedAnswers::answerNextBox(QMessageBox::Ok);
        ScriptedAnswers::answerNextBox(QMessageBox::No);
        w.trigger(MainWindow::CMD_I2I, MainWindow::SCOPE_ALL);
        QCOMPARE(ScriptedAnswers::shownBoxes().size(), 2);
        const ScriptedAnswers::ShownBox question = ScriptedAnswers::shownBoxes().at(1);
        QVERIFY(question.buttons == (QMessageBox::Yes | QMessageBox::No));
        QCOMPARE(question.text, ids("IDS_RESTORE_QUESTION_%1").arg(empty));
        QVERIFY(question.text.contains(QStringLiteral("restarts")) && question.text.contains(QStringLiteral("is lost")));
        QVERIFY(!QFileInfo::exists(onPhone));

        g_resetDialogScripts();
        toEmpty();
        ScriptedAnswers::answerNextBox(QMessageBox::Ok);
        ScriptedAnswers::answerNextBox(QMessageBox::Yes);
        w.trigger(MainWindow::CMD_I2I, MainWindow::SCOPE_ALL);
        QStringList boxes = g_boxTexts();
        QCOMPARE(boxes.size(), 3);
        QVERIFY2(boxes.last().startsWith(QStringLiteral("Successfully transferred ")) &&
                     boxes.last().endsWith(QStringLiteral(" to %1.").arg(empty)),
                 qPrintable(boxes.last()));
        QVERIFY(QFileInfo(onPhone).size() > 0);
        // The node stayed and lists the merged chats by their people's names;
        // the user still reads the same chat.
        _ItemNode* restored = phone(w, QStringLiteral("Empty"));
        QVERIFY(restored);
        QStringList chats;
        for (const _ItemNode* c : restored->children)
            chats << c->name;
        QVERIFY2(chats.join(u'|').contains(QStringLiteral("Anna Berg")), qPrintable(chats.join(u'|')));
        QCOMPARE(QModelIndex(reading), w.sourceTree()->currentIndex());
        QCOMPARE(w.messageModel()->rowCount(), readingRows);

        // Again: the phone has everything, so no restore is even asked for.
        const QDateTime written = QFileInfo(onPhone).lastModified();
        const QByteArray digest = g_fileDigest(onPhone);
        g_resetDialogScripts();
        toEmpty();
        ScriptedAnswers::answerNextBox(QMessageBox::Ok);
        w.trigger(MainWindow::CMD_I2I, MainWindow::SCOPE_ALL);
        QCOMPARE(g_boxTexts().size(), 2);
        QCOMPARE(g_boxTexts().last(), ids("IDS_TRANSFER_NOTHING_NEW_%1").arg(empty));
        QCOMPARE(QFileInfo(onPhone).lastModified(), written);
        QCOMPARE(g_fileDigest(onPhone), digest);
        const int onEmpty = shownOf(w, QStringLiteral("Empty"));
        QVERIFY(onEmpty > 0 && onEmpty <= shownOf(w, QStringLiteral("Anna's iPhone")));
    }

    void transferIntoAPhoneOfToday()
    {
        SimFixture::attach(QStringLiteral("c"));
        MainWindow w(g_testDataFolders());
        QTRY_VERIFY(phones(w).contains(QStringLiteral("Cleo's iPhone")));
        QTRY_VERIFY(!phone(w, QStringLiteral("Cleo's iPhone"))->children.isEmpty());
        QTRY_VERIFY(!phone(w, QStringLiteral("Anna's iPhone"))->children.isEmpty());
        const int cleoBefore = shownOf(w, QStringLiteral("Cleo's iPhone"));
        const int annaShown = shownOf(w, QStringLiteral("Anna's iPhone"));
        QVERIFY(cleoBefore > 0 && annaShown > 0);
        g_answer<DataSourceSelForm>(QStringLiteral("DataSourceSelForm"), [](DataSourceSelForm& d) {
            QTreeWidget* list = d.findChildren<QTreeWidget*>().first();
            const QList<QTreeWidgetItem*> cleo = list->findItems(QStringLiteral("Cleo's iPhone"), Qt::MatchExactly);
            if (!cleo.isEmpty())
                list->setCurrentItem(cleo.first());
            d.onBtnOkPress();
            return d.result();
        });
        w.trigger(MainWindow::CMD_I2I, MainWindow::SCOPE_ALL);
        const QStringList boxes = g_boxTexts();
        QVERIFY2(!boxes.isEmpty() && boxes.last().startsWith(QStringLiteral("Successfully transferred")),
                 qPrintable(boxes.join(u'\n')));
        QTRY_COMPARE(shownOf(w, QStringLiteral("Cleo's iPhone")), cleoBefore + annaShown);
        SimFixture::detach(QStringLiteral("c"));
    }
};

QTEST_MAIN(TestMainWindowDevices)
#include "test_main_window_devices.moc"
