#include "DeviceAccess.h"

#include "TerminalProgress.h"
#include "device/MobileDeviceLoader.h"
#include "shell/Failure.h"

#include <QRegularExpression>

#include <exception>

QString g_cliPlainLine(QString html)
{
    static const QRegularExpression breaks(QStringLiteral("(<br/>|<br>|\\n)+"));
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    html.replace(breaks, QStringLiteral(" "));
    html.remove(tags);
    return html.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"))
        .trimmed();
}

IOSDevice g_cliDeviceThrow(const QString& option, const QString& udid)
{
    QString error;
    if (!mobiledevice_loader_ini(error))
        g_raise(g_cliPlainLine(error));
    for (am_device* d : mobiledevice_devices()) {
        try {
            const IOSDevice info = IOSDevice::readThrow(d);
            if (info.udid == udid)
                return info;
        } catch (const std::exception&) {
            // A device that refuses a session is not the one asked for, or
            // cannot be read anyway: keep looking.
        }
    }
    g_raise(QStringLiteral("%1: no attached iPhone with the identifier %2").arg(option, udid));
}

DeviceJobRunner g_cliJobRunner(QTextStream& err, bool interactive)
{
    return [&err, interactive](const std::function<QThread*(JobProgress&)>& makeJob) {
        TerminalProgress progress(err, interactive);
        {
            InterruptGuard guard(progress);
            QThread* job = makeJob(progress);
            job->start();
            job->wait();
        }
        if (progress.outcome() == TerminalProgress::Failed)
            g_raise(g_cliPlainLine(progress.resultText()));
        return !progress.closed() && progress.outcome() == TerminalProgress::Succeeded;
    };
}
