#include "device/IOSMobileRestoreThread.h"

#include "device/IOSMobileBackupThread.h"
#include "shell/Failure.h"
#include "stores/StorePaths.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include <exception>

namespace {
const char kFindMyHelp[] = "https://support.apple.com/en-us/HT210400";

// Puts the set-aside Info.plist back on every way out of the restore.
class InfoPlistAside
{
public:
    explicit InfoPlistAside(const QString& path)
        : m_path(path), m_aside(path + u'-' + QString::number(QDateTime::currentMSecsSinceEpoch()))
    {
        if (QFile::exists(m_path) && !QFile::rename(m_path, m_aside))
            m_aside.clear();
        else if (!QFile::exists(m_aside))
            m_aside.clear();
    }
    ~InfoPlistAside() { putBack(); }
    void putBack()
    {
        if (m_aside.isEmpty())
            return;
        QFile::remove(m_path);
        QFile::rename(m_aside, m_path);
        m_aside.clear();
    }

private:
    QString m_path;
    QString m_aside;
};
} // namespace

IOSMobileRestoreThread::IOSMobileRestoreThread(const IOSDevice& device, const QDir& sourceDir, JobProgress& progress,
                                               QObject* parent)
    : QThread(parent), m_device(device), m_sourceDir(sourceDir), m_progress(progress),
      m_tool(device.device, device.udid, sourceDir)
{
}

void IOSMobileRestoreThread::run()
{
    runJobProtocol(m_progress, [this] { return restoreThrow(); });
}

QString IOSMobileRestoreThread::failureText(const QString& raw)
{
    const QString text = g_backupFailureText(raw);
    if (text.contains(QLatin1String("Find My iPhone must be disabled"), Qt::CaseInsensitive))
        return QStringLiteral("Please follow <a href=\"%1\"> this tutorial</a> to disable \"Find my iPhone\" first and "
                              "then restart your iPhone to try again.<br/><br/>")
            .arg(QLatin1String(kFindMyHelp));
    static const QRegularExpression space(
        QStringLiteral("Insufficient free disk space on device to restore \\((\\d+) [^\\d]+ (\\d+)[^\\d)]*\\)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = space.match(text);
    if (m.hasMatch()) {
        const double gb = m.captured(2).toDouble() / 1024 / 1024 / 1024;
        return QStringLiteral("%1 GB free disk space on your device is required restore data.  Please remove some "
                              "camera roll videos from your device to computer to free up disk space first and then "
                              "try again.")
            .arg(gb, 0, 'g', 1);
    }
    return text + QStringLiteral("<br/><br/>Note: You can restart your device to try again.");
}

QString IOSMobileRestoreThread::restoreThrow()
{
    m_progress.invokeUpdateProgress(QStringLiteral("Transferring data to Device..."), 0, QString());
    if (!g_isPlainFileName(m_device.udid))
        g_raise(QStringLiteral("The device reported an unusable identifier \"%1\".").arg(m_device.udid));
    connect(&m_tool, &backup2tool::update, this, &IOSMobileRestoreThread::backupUpdate, Qt::DirectConnection);
    CancelSubscription cancel(m_progress, [this] { m_tool.cancel(); });
    m_progress.throwIfClosed();

    InfoPlistAside aside(m_sourceDir.absoluteFilePath(m_device.udid + QStringLiteral("/Info.plist")));
    try {
        m_tool.runThrow(_backup2tool_req{BACKUP2TOOL_RESTORE});
    } catch (const std::exception& e) {
        aside.putBack();
        g_raise(failureText(QString::fromUtf8(e.what())));
    }
    aside.putBack();
    if (m_tool.cancelled())
        throw JobCancelled();
    return QString();
}

void IOSMobileRestoreThread::backupUpdate(double pg, const QString&, const QString&)
{
    m_progress.invokeUpdateProgress(QString(), int(pg), QString());
}
