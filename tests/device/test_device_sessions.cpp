#include "SimFixture.h"

#include "device/DeviceWatcher.h"
#include "device/IOSDevice.h"
#include "device/MobileDevice.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

namespace {
CFType number(qint64 v)
{
    return CFType::createCFNumber(v);
}

QString udidOf(void* device)
{
    return IOSDevice::readThrow(static_cast<am_device*>(device)).udid;
}
} // namespace

class TestDeviceSessions : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        m_sim = std::make_unique<SimFixture>(QDir::current().absoluteFilePath(u"sim-sessions"_qs));
        CFType backup = CFType::createCFDictionary();
        backup.put(u"CloudBackupEnabled"_qs, CFType::createCFBoolean(true));
        CFType domains = CFType::createCFDictionary();
        domains.put(u"com.apple.mobile.backup"_qs, backup);
        m_sim->addDevice(u"alpha"_qs, u"Alpha"_qs, u"udid-alpha"_qs, {{u"Domains"_qs, domains}});
        m_sim->addDevice(u"beta"_qs, u"Beta"_qs, u"udid-beta"_qs);
        m_sim->addDevice(u"later"_qs, u"Later"_qs, u"udid-later"_qs, {}, false);
        m_sim->addDevice(u"untrusted"_qs, u"Untrusted"_qs, u"udid-untrusted"_qs,
                         {{u"Paired"_qs, CFType::createCFBoolean(false)}, {u"PairError"_qs, number(-18)}}, false);
        CFType services = CFType::createCFDictionary();
        services.put(u"com.apple.afc"_qs, number(-34));
        m_sim->addDevice(u"noafc"_qs, u"No Media"_qs, u"udid-noafc"_qs, {{u"ServiceErrors"_qs, services}}, false);
        m_sim->addDevice(u"nosession"_qs, u"Locked"_qs, u"udid-nosession"_qs,
                         {{u"SessionError"_qs, number(-17)}}, false);
        g_requireDeviceBackend();
    }

    void identityAndLockdownValues()
    {
        QList<QString> udids;
        for (am_device* d : mobiledevice_devices())
            udids << IOSDevice::readThrow(d).udid;
        QCOMPARE(udids, (QList<QString>{u"udid-alpha"_qs, u"udid-beta"_qs}));

        const IOSDevice alpha = IOSDevice::readThrow(SimFixture::deviceByUdid(u"udid-alpha"_qs));
        QCOMPARE(alpha.name, u"Alpha"_qs);
        QCOMPARE(alpha.productType, u"iPhone14,2"_qs);
        QCOMPARE(alpha.productVersion, u"17.4.1"_qs);
        QCOMPARE(alpha.countryCode, QString()); // not reported: empty, not an error
        QVERIFY(alpha.device);

        // A whole domain (empty key), a key of a domain, and a missing domain.
        const QList<CFType> v = mobiledevice_info(alpha.device, {QString(), u"CloudBackupEnabled"_qs},
                                                  u"com.apple.mobile.backup"_qs);
        QVERIFY(v.at(0).isCFDictionary());
        QCOMPARE(v.at(0).get(u"CloudBackupEnabled"_qs).CFNumberBool(false), true);
        QCOMPARE(v.at(1).CFNumberBool(false), true);
        QVERIFY(mobiledevice_info(alpha.device, {QString()}, u"com.apple.disk_usage"_qs).at(0).isNull());
        QCOMPARE(SimFixture::connections(u"alpha"_qs), 0);
    }

    void refusedSessionsCloseTheConnection_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("code");
        QTest::newRow("pairing refused") << u"untrusted"_qs << u"AMDevicePair(-18)"_qs;
        QTest::newRow("session refused") << u"nosession"_qs << u"AMDeviceStartSession(-17)"_qs;
    }

    void refusedSessionsCloseTheConnection()
    {
        QFETCH(QString, folder);
        QFETCH(QString, code);
        SimFixture::attach(folder);
        am_device* d = SimFixture::deviceByUdid(u"udid-"_qs + folder);
        // deviceByUdid cannot read the identity of a refusing device: find it
        // as the one device that refuses.
        QVERIFY(!d);
        for (am_device* candidate : mobiledevice_devices()) {
            QString error;
            if (device_open(candidate, error) == 0) {
                device_close(candidate);
                continue;
            }
            d = candidate;
            QVERIFY2(error.contains(u"Trust"_qs), qPrintable(error));
            QVERIFY2(error.endsWith(u"<br/><br/>Error code: "_qs + code), qPrintable(error));
        }
        QVERIFY(d);
        QCOMPARE(SimFixture::connections(folder), 0);
        try {
            mobiledevice_info(d, {u"DeviceName"_qs});
            QFAIL("a refused session must raise");
        } catch (const std::runtime_error& e) {
            QVERIFY(QString::fromUtf8(e.what()).contains(code));
        }
        QCOMPARE(SimFixture::connections(folder), 0);
        SimFixture::detach(folder);
    }

    void serviceRefusedNamesDeviceAndCode()
    {
        SimFixture::attach(u"noafc"_qs);
        am_device* d = SimFixture::deviceByUdid(u"udid-noafc"_qs);
        QVERIFY(d);
        unsigned int handle = 0;
        try {
            mobiledevice_startservice(d, "com.apple.afc", handle);
            QFAIL("a refused service must raise");
        } catch (const std::runtime_error& e) {
            const QString text = QString::fromUtf8(e.what());
            QVERIFY2(text.startsWith(u"<br/><br/>device:No Media, iPhone14,2, iOS 17.4.1 <br/><br/>"_qs), e.what());
            QVERIFY2(text.endsWith(u"<br/>Error code: AMDeviceStartService(com.apple.afc)=-34"_qs), e.what());
        }
        QCOMPARE(handle, 0u);
        QCOMPARE(SimFixture::connections(u"noafc"_qs), 0);
        // A service the device does not offer at all is refused the same way.
        try {
            mobiledevice_startservice(d, "com.example.none", handle);
            QFAIL("an unknown service must raise");
        } catch (const std::runtime_error& e) {
            QVERIFY(QString::fromUtf8(e.what()).contains(u"AMDeviceStartService(com.example.none)="_qs));
        }
        SimFixture::detach(u"noafc"_qs);
    }

    void watcherFollowsDevicesOneAtATime()
    {
        DeviceWatcher watcher;
        QSignalSpy arrived(&watcher, &DeviceWatcher::deviceArrived);
        QSignalSpy left(&watcher, &DeviceWatcher::deviceLeft);
        // Delivery must land on the watcher's thread whatever thread the
        // backend notifies from.
        QList<QThread*> threads;
        connect(&watcher, &DeviceWatcher::deviceArrived, this, [&threads] { threads << QThread::currentThread(); },
                Qt::DirectConnection);
        QString error;
        QVERIFY2(watcher.start(error), qPrintable(error));
        QTRY_COMPARE(arrived.count(), 2);

        SimFixture::attach(u"later"_qs);
        QTRY_COMPARE(arrived.count(), 3);
        QCOMPARE(udidOf(arrived.at(2).at(0).value<am_device*>()), u"udid-later"_qs);
        for (QThread* t : threads)
            QCOMPARE(t, QThread::currentThread());

        SimFixture::detach(u"alpha"_qs);
        QTRY_COMPARE(left.count(), 1);
        QCOMPARE(watcher.devices().size(), 2);
        auto* alpha = left.at(0).at(0).value<am_device*>();
        QVERIFY(!watcher.devices().contains(alpha));
        // The departed device's record stays valid; calls on it just fail.
        QString openError;
        QVERIFY(device_open(alpha, openError) != 0);
        QVERIFY(openError.contains(u"AMDeviceConnect("_qs));

        SimFixture::detach(u"later"_qs);
        QTRY_COMPARE(left.count(), 2);
        QCOMPARE(watcher.devices().size(), 1);
        QCOMPARE(udidOf(watcher.devices().at(0)), u"udid-beta"_qs);

        // After stop nothing more arrives.
        watcher.stop();
        SimFixture::attach(u"alpha"_qs);
        QTest::qWait(300);
        QCOMPARE(arrived.count(), 3);
    }

    void controlFileAttachesAndDetaches()
    {
        // Now attached: alpha (re-attached above) and beta.
        DeviceWatcher watcher;
        QSignalSpy left(&watcher, &DeviceWatcher::deviceLeft);
        QString error;
        QVERIFY2(watcher.start(error), qPrintable(error));
        QTRY_COMPARE(watcher.devices().size(), 2);
        am_device* alpha = SimFixture::deviceByUdid(u"udid-alpha"_qs);
        QVERIFY(g_writeFile(m_sim->root() + u"/attached"_qs, "later\nbeta\n"));
        QTRY_COMPARE(left.count(), 1);
        QCOMPARE(left.at(0).at(0).value<am_device*>(), alpha);
        QTRY_COMPARE(watcher.devices().size(), 2);
        QCOMPARE(udidOf(watcher.devices().at(1)), u"udid-later"_qs);
        QVERIFY(QFile::remove(m_sim->root() + u"/attached"_qs));
    }
};

QTEST_GUILESS_MAIN(TestDeviceSessions)
#include "test_device_sessions.moc"
