#include "commands/DevicesCommand.h"

#include "DeviceAccess.h"
#include "device/IOSDevice.h"
#include "device/MobileDeviceLoader.h"

namespace {
QString orDash(const QString& s)
{
    return s.isEmpty() ? QStringLiteral("-") : s;
}
} // namespace

int DevicesCommand::run(CliContext& ctx)
{
    QString error;
    if (!mobiledevice_loader_ini(error))
        return ctx.fail(error);
    QList<am_device*> devices;
    try {
        devices = mobiledevice_devices();
    } catch (const std::exception& e) {
        return ctx.fail(g_cliPlainLine(QString::fromUtf8(e.what())));
    }
    for (am_device* d : devices) {
        try {
            const IOSDevice info = IOSDevice::readThrow(d);
            ctx.out << orDash(info.udid) << '\t' << orDash(info.name) << '\t' << orDash(info.productType) << '\t'
                    << orDash(info.productVersion) << '\n';
        } catch (const std::exception& e) {
            ctx.err << "ferrowick-cli: warning: " << g_cliPlainLine(QString::fromUtf8(e.what())) << '\n';
        }
    }
    ctx.out.flush();
    ctx.err.flush();
    return CLI_EXIT_OK;
}
