#include "commands/DevicesCommand.h"

#include "device/IOSDevice.h"
#include "device/MobileDeviceLoader.h"

#include <QRegularExpression>

namespace {
// Device texts are made for an HTML message box; a terminal gets one line.
QString plainLine(QString html)
{
    static const QRegularExpression breaks(QStringLiteral("(<br/>)+"));
    html.replace(breaks, QStringLiteral(" "));
    return html.replace(QStringLiteral("&lt;"), QStringLiteral("<")).replace(QStringLiteral("&gt;"), QStringLiteral(">")).trimmed();
}

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
        return ctx.fail(plainLine(QString::fromUtf8(e.what())));
    }
    for (am_device* d : devices) {
        try {
            const IOSDevice info = IOSDevice::readThrow(d);
            ctx.out << orDash(info.udid) << '\t' << orDash(info.name) << '\t' << orDash(info.productType) << '\t'
                    << orDash(info.productVersion) << '\n';
        } catch (const std::exception& e) {
            ctx.err << "ferrowick-cli: warning: " << plainLine(QString::fromUtf8(e.what())) << '\n';
        }
    }
    ctx.out.flush();
    ctx.err.flush();
    return CLI_EXIT_OK;
}
