#include "device/DeviceWatcher.h"
#include "device/MobileDevice.h"
#include "device/MobileDeviceLoader.h"
#include "support/TestEnv.h"

#include <QSignalSpy>
#include <QTest>

// The libimobiledevice backend on a machine without an iPhone: usbmuxd may
// not even run. Loading, listing and listening must all be a quiet "no device".
class TestImobiledeviceBackend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        qputenv("FERROWICK_DEVICE_BACKEND", FERROWICK_IMD_BACKEND);
    }

    void loadsAndFindsNoDevice()
    {
        QString error;
        QVERIFY2(mobiledevice_loader_ini(error), qPrintable(error));
        QVERIFY(mobiledevice_loader_path().endsWith(u"libferrowick-imobiledevice.so"_qs));
        QVERIFY(mobiledevice_devices().isEmpty());
    }

    void listensAndStopsWithoutDevices()
    {
        DeviceWatcher watcher;
        QSignalSpy arrived(&watcher, &DeviceWatcher::deviceArrived);
        QString error;
        QVERIFY2(watcher.start(error), qPrintable(error));
        QTest::qWait(500);
        QCOMPARE(arrived.count(), 0);
        watcher.stop();
        QVERIFY(!watcher.isWatching());
        // Listening again after a stop works the same.
        QVERIFY2(watcher.start(error), qPrintable(error));
        watcher.stop();
    }
};

QTEST_GUILESS_MAIN(TestImobiledeviceBackend)
#include "test_imobiledevice_backend.moc"
