#include "SimFixture.h"

#include "support/CliProcess.h"
#include "support/TestEnv.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

namespace {
CliResult runCli(const QProcessEnvironment& env, const QStringList& args)
{
    return g_runCliProcess(QStringLiteral(FERROWICK_CLI_PATH), args, env, 60000);
}
} // namespace

class TestCliDevices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void listsSimulatedIphonesAsTheyComeAndGo()
    {
        SimFixture sim(QDir::current().absoluteFilePath(u"sim-cli"_qs));
        sim.addDevice(u"one"_qs, u"First Phone"_qs, u"00008101-AAAA"_qs);
        sim.addDevice(u"two"_qs, u"Second"_qs, u"00008101-BBBB"_qs);
        sim.addDevice(u"locked"_qs, u"Locked"_qs, u"00008101-CCCC"_qs,
                      {{u"Paired"_qs, CFType::createCFBoolean(false)}, {u"PairError"_qs, CFType::createCFNumber(-19)}},
                      false);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"FERROWICK_DEVICE_BACKEND"_qs, QStringLiteral(FERROWICK_SIM_BACKEND));

        CliResult r = runCli(env, {u"devices"_qs});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, u"00008101-AAAA\tFirst Phone\tiPhone14,2\t17.4.1\n"
                        u"00008101-BBBB\tSecond\tiPhone14,2\t17.4.1\n"_qs);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));

        // The control file decides which devices are attached; one that
        // refuses to pair is reported, not listed.
        QVERIFY(g_writeFile(sim.root() + u"/attached"_qs, "two\nlocked\n"));
        r = runCli(env, {u"devices"_qs});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, u"00008101-BBBB\tSecond\tiPhone14,2\t17.4.1\n"_qs);
        QVERIFY2(r.err.startsWith(u"ferrowick-cli: warning: Please restart your iPhone"_qs), qPrintable(r.err));
        QVERIFY2(r.err.contains(u"Error code: AMDevicePair(-19)"_qs), qPrintable(r.err));
        QVERIFY(!r.err.contains(u"<br/>"_qs));

        QVERIFY(g_writeFile(sim.root() + u"/attached"_qs, ""));
        r = runCli(env, {u"devices"_qs});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.isEmpty());
    }

    void missingBackendIsOneClearLine()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"FERROWICK_DEVICE_BACKEND"_qs, QDir::current().absoluteFilePath(u"none.so"_qs));
        const CliResult r = runCli(env, {u"devices"_qs});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith(u"ferrowick-cli: Failed to load (Mobile Device) framework."_qs), qPrintable(r.err));
        QCOMPARE(r.err.count(u'\n'), 1);
    }

    // The real backend, found beside the executable, on a machine with no
    // iPhone (and perhaps no usbmuxd): no device, no error, no hang.
    void defaultBackendReportsNoDeviceCleanly()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"FERROWICK_DEVICE_BACKEND"_qs);
        const CliResult r = runCli(env, {u"devices"_qs});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCliDevices)
#include "test_cli_devices.moc"
