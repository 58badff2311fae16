// AFC throughput through the simulated iPhone: the whole client stack (packet
// layer, 64 KiB read requests, 512 KiB download buffer) against a local
// socket, so the figure bounds what the client itself costs per byte.
#include "BenchSupport.h"
#include "device/SimFixture.h"

#include "device/IOSAfcFileDownload.h"
#include "device/IOSAfcFileUpload.h"
#include "device/MobileDeviceLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

namespace {
struct DeviceBench
{
    QTemporaryDir dir;
    std::unique_ptr<SimFixture> sim;
    am_device* device = nullptr;

    DeviceBench()
    {
        if (qEnvironmentVariableIsEmpty("FERROWICK_DEVICE_BACKEND"))
            qputenv("FERROWICK_DEVICE_BACKEND",
                    QFile::encodeName(QCoreApplication::applicationDirPath() + u"/libferrowick-simulator.so"_qs));
        sim = std::make_unique<SimFixture>(dir.filePath(u"sim"_qs));
        sim->addDevice(u"phone"_qs, u"Phone"_qs, u"udid-bench"_qs);
        SimFixture::writePattern(sim->mediaDir(u"phone"_qs) + u"/big.bin"_qs, 64 * 1024 * 1024);
        QString error;
        if (!mobiledevice_loader_ini(error))
            qFatal("%s", qPrintable(error));
        device = SimFixture::deviceByUdid(u"udid-bench"_qs);
    }
};

DeviceBench& bench()
{
    static DeviceBench b;
    return b;
}

void BM_AfcDownload64MiB(benchmark::State& state)
{
    DeviceBench& b = bench();
    mobiledevice_afc afc(b.device);
    afc.startService();
    SilentProgress progress;
    IOSAfcFileDownload dl(b.dir.filePath(u"cache.db"_qs), progress);
    const _AfcFileInfo info = afc.fileInfo(u"/big.bin"_qs);
    for (auto _ : state)
        dl.downloadFileThrow(afc, info, b.dir.filePath(u"copy.bin"_qs), false);
    state.SetBytesProcessed(state.iterations() * info.size);
}
BENCHMARK(BM_AfcDownload64MiB)->Unit(benchmark::kMillisecond);

void BM_AfcUpload64MiB(benchmark::State& state)
{
    DeviceBench& b = bench();
    mobiledevice_afc afc(b.device);
    afc.startService();
    SilentProgress progress;
    IOSAfcFileUpload up(progress);
    const QString local = b.dir.filePath(u"upload.bin"_qs);
    const qint64 size = SimFixture::writePattern(local, 64 * 1024 * 1024).size();
    for (auto _ : state)
        up.uploadFileThrow(afc, local, u"/up.bin"_qs, true);
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_AfcUpload64MiB)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    return g_runBenchmarks<QCoreApplication>(argc, argv);
}
