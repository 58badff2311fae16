#include "device/IOSMobileBackupThread.h"

#include "device/IOSBackupTemp.h"
#include "plist/CFType.h"
#include "shell/Failure.h"
#include "stores/StorePaths.h"
#include "shell/FileRoutines.h"

#include <QFile>
#include <QFileInfo>

#include <exception>

namespace {
CFType readPlist(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return CFType();
    return CFType::createCFPropertyList(f.read(16 * 1024 * 1024));
}
} // namespace

QString g_backupFailureText(const QString& text)
{
    QString t = text;
    t.replace(u'<', QLatin1String("&lt;")).replace(u'>', QLatin1String("&gt;"));
    return t;
}

IOSMobileBackupThread::IOSMobileBackupThread(const IOSDevice& device, JobProgress& progress, QObject* parent)
    : IOSMobileBackupThread(device, iosbackup_temp_dir(), progress, parent)
{
}

IOSMobileBackupThread::IOSMobileBackupThread(const IOSDevice& device, const QDir& root, JobProgress& progress,
                                             QObject* parent)
    : QThread(parent), m_device(device), m_progress(progress), m_root(root),
      m_tool(device.device, device.udid, root)
{
}

bool IOSMobileBackupThread::isReusableBackup(const QString& folder, const QString& productVersion)
{
    const QDir dir(folder);
    // Current backups index their files in Manifest.db, iOS 9 and older in
    // Manifest.mbdb: either is an index to build on.
    if (!dir.exists(QStringLiteral("Manifest.db")) && !dir.exists(QStringLiteral("Manifest.mbdb")))
        return false;
    const CFType status = readPlist(dir.filePath(QStringLiteral("Status.plist")));
    if (status.get(QStringLiteral("SnapshotState")).CFStringQString() != QLatin1String("finished"))
        return false;
    const CFType manifest = readPlist(dir.filePath(QStringLiteral("Manifest.plist")));
    return manifest.get(QStringLiteral("Lockdown")).get(QStringLiteral("ProductVersion")).CFStringQString() ==
           productVersion;
}

void IOSMobileBackupThread::run()
{
    runJobProtocol(m_progress, [this] { return backupThrow(); });
}

QString IOSMobileBackupThread::backupThrow()
{
    m_progress.invokeUpdateProgress(QStringLiteral("Loading data from Device..."), 0, QString());
    if (!g_isPlainFileName(m_device.udid))
        g_raise(QStringLiteral("The device reported an unusable identifier \"%1\".").arg(m_device.udid));
    const QString folder = backupDir();
    if (QFileInfo::exists(folder) && !isReusableBackup(folder, m_device.productVersion))
        g_delDirCascade(folder);
    m_tool.setFullBackup(!QFileInfo::exists(folder));
    if (!m_root.exists() && !QDir().mkpath(m_root.absolutePath()))
        g_raise(QStringLiteral("cannot create %1").arg(m_root.absolutePath()));

    connect(&m_tool, &backup2tool::update, this, &IOSMobileBackupThread::backupUpdate, Qt::DirectConnection);
    CancelSubscription cancel(m_progress, [this] { m_tool.cancel(); });
    m_progress.throwIfClosed();
    try {
        m_tool.runThrow(_backup2tool_req{BACKUP2TOOL_BACKUP});
    } catch (const std::exception& e) {
        g_delDirCascade(folder);
        g_raise(g_backupFailureText(QString::fromUtf8(e.what())) +
                QStringLiteral("<br/><br/>Note: You can restart your device to try again."));
    }
    if (m_tool.cancelled()) {
        // Half a backup is worth nothing and may mislead the next run.
        g_delDirCascade(folder);
        throw JobCancelled();
    }
    return QString();
}

void IOSMobileBackupThread::backupUpdate(double pg, const QString&, const QString&)
{
    m_progress.invokeUpdateProgress(QString(), int(pg), QString());
}
