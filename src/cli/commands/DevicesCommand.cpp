#include "commands/DevicesCommand.h"
#include "commands/ListingFormat.h"

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
            ctx.out << g_listingField(orDash(info.udid)) << '\t' << g_listingField(orDash(info.name)) << '\t'
                    << g_listingField(orDash(info.productType)) << '\t' << g_listingField(orDash(info.productVersion))
                    << '\n';
        } catch (const std::exception& e) {
            ctx.err << "ferrowick-cli: warning: " << g_cliPlainLine(QString::fromUtf8(e.what())) << '\n';
        }
    }
    ctx.out.flush();
    ctx.err.flush();
    return CLI_EXIT_OK;
}
