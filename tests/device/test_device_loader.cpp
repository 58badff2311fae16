#include "device/DeviceWatcher.h"
#include "device/MobileDevice.h"
#include "device/MobileDeviceLoader.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>

class TestDeviceLoader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void defaultPathsAreBesideTheExecutable()
    {
        qunsetenv("FERROWICK_DEVICE_BACKEND");
        const QDir exe(QCoreApplication::applicationDirPath());
        const QStringList c = mobiledevice_loader_candidates();
        QCOMPARE(c.size(), 2);
        QCOMPARE(c.at(0), exe.filePath(u"libferrowick-imobiledevice.so"_qs));
        QCOMPARE(c.at(1), QDir::cleanPath(exe.filePath(u"../lib/ferrowick/libferrowick-imobiledevice.so"_qs)));
    }

    void failuresAreReportedAndRetried()
    {
        const QString missing = QDir::current().absoluteFilePath(u"no-such-backend.so"_qs);
        qputenv("FERROWICK_DEVICE_BACKEND", QFile::encodeName(missing));
        QString error;
        QVERIFY(!mobiledevice_loader_ini(error));
        QVERIFY2(error.startsWith(u"Failed to load (Mobile Device) framework."_qs), qPrintable(error));
        QVERIFY(error.contains(missing));
        QVERIFY(!mobiledevice_loader_is_loaded());

        // A library that is not a backend is refused by name, not called.
        const QString notBackend = QDir::current().absoluteFilePath(u"not-a-backend.so"_qs);
        QFile::remove(notBackend);
        QVERIFY(QFile::copy(QString::fromUtf8(FERROWICK_PLAIN_LIBRARY), notBackend));
        qputenv("FERROWICK_DEVICE_BACKEND", QFile::encodeName(notBackend));
        error.clear();
        QVERIFY(!mobiledevice_loader_ini(error));
        QVERIFY2(error.contains(u"is not a device backend"_qs), qPrintable(error));

        // Listening without a backend raises the loader's text; a watcher
        // reports it instead of raising.
        _mobiledevice_listen_ctx ctx;
        try {
            mobiledevice_listen(&ctx);
            QFAIL("listening without a backend must raise");
        } catch (const std::runtime_error& e) {
            QVERIFY(QString::fromUtf8(e.what()).startsWith(u"Failed to load (Mobile Device) framework."_qs));
        }
        DeviceWatcher watcher;
        error.clear();
        QVERIFY(!watcher.start(error));
        QVERIFY(error.startsWith(u"Failed to load (Mobile Device) framework."_qs));

        // Once a real backend is there, the next attempt loads it.
        qputenv("FERROWICK_DEVICE_BACKEND", FERROWICK_SIM_BACKEND);
        QVERIFY2(mobiledevice_loader_ini(error), qPrintable(error));
        QVERIFY(mobiledevice_loader_is_loaded());
        QCOMPARE(mobiledevice_loader_path(), QString::fromUtf8(FERROWICK_SIM_BACKEND));
    }
};

QTEST_GUILESS_MAIN(TestDeviceLoader)
#include "test_device_loader.moc"
