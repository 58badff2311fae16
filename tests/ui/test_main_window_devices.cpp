// iPhone nodes come and go with simulated devices.
#include "SimFixture.h"
#include "device/DeviceWatcher.h"
#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/UserTexts.h"
#include "support/TestEnv.h"
#include "ui/DeviceFramework.h"
#include "ui/ItemModelMain.h"
#include "ui/MainWindow.h"
#include "ui/MyTreeView.h"
#include "ui/ScriptedAnswers.h"

#include <QAction>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

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

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        g_delDirCascade(g_dataSaveDir().absolutePath());
        m_sim = std::make_unique<SimFixture>(m_tmp.filePath(QStringLiteral("sim")));
        m_sim->addDevice(QStringLiteral("a"), QStringLiteral("Anna's iPhone"), QStringLiteral("00008030-00A"));
        m_sim->addDevice(QStringLiteral("b"), QStringLiteral("Ben's iPhone"), QStringLiteral("00008030-00B"));
        QCOMPARE(g_loadDeviceFramework(), DEVICE_FRAMEWORK_LOADED);
        ScriptedAnswers::setStandingAnswer(QMessageBox::Ok);
    }

    void nodesFollowArrivalAndDeparture()
    {
        MainWindow w;
        QVERIFY(w.deviceWatcher() && w.deviceWatcher()->isWatching());
        QTRY_COMPARE(phones(w).size(), 2);
        QVERIFY(phones(w).contains(QStringLiteral("Anna's iPhone")));
        // The load from a device is not built yet: each arrival says so.
        int notices = 0;
        for (const auto& box : ScriptedAnswers::shownBoxes())
            notices += box.text.contains(QLatin1String("not available")) ? 1 : 0;
        QCOMPARE(notices, 2);

        // Two iPhones: transfers between them are offered.
        const QModelIndex anna =
            w.treeModel()->indexOfItemNode(w.treeModel()->rootDevice()->children.at(0));
        w.sourceTree()->setCurrentIndex(anna);
        QVERIFY(w.actions().actI2i->isEnabled());
        QVERIFY(w.actions().actBackup->isEnabled());
        std::unique_ptr<QMenu> menu(w.buildMainTreeMenu());
        QVERIFY(menu->actions().at(1)->isEnabled());

        // One leaves: only its node goes, and the view is reset.
        SimFixture::detach(QStringLiteral("b"));
        QTRY_COMPARE(phones(w), QStringList{QStringLiteral("Anna's iPhone")});
        w.sourceTree()->setCurrentIndex(w.treeModel()->indexOfItemNode(w.treeModel()->rootDevice()->children.at(0)));
        QVERIFY(!w.actions().actI2i->isEnabled());

        // "Disconnect Device" removes the current iPhone; it comes back when
        // it is attached again.
        SimFixture::detach(QStringLiteral("a"));
        QTRY_VERIFY(phones(w).isEmpty());
        SimFixture::attach(QStringLiteral("a"));
        QTRY_COMPARE(phones(w), QStringList{QStringLiteral("Anna's iPhone")});
        w.sourceTree()->setCurrentIndex(w.treeModel()->indexOfItemNode(w.treeModel()->rootDevice()->children.at(0)));
        w.miUnmoutDevice();
        QVERIFY(phones(w).isEmpty());
        QVERIFY(!w.actions().actBackup->isEnabled());
        // Its departure later finds no node and changes nothing.
        SimFixture::detach(QStringLiteral("a"));
        QTest::qWait(200);
        QVERIFY(phones(w).isEmpty());
    }
};

QTEST_MAIN(TestMainWindowDevices)
#include "test_main_window_devices.moc"
