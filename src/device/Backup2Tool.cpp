#include "device/Backup2Tool.h"

#include "device/MobileDeviceLoader.h"
#include "plist/CFType.h"
#include "shell/Failure.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <sys/statvfs.h>

#include <algorithm>
#include <exception>

namespace {
constexpr int kDefaultEstimate = 60;
constexpr int kPollMs = 200;
int g_startTimeoutMs = 60000;

// The whole output, cut at a first NUL as the program's texts end there.
QString outputText(QProcess& p)
{
    QByteArray all = p.readAllStandardError() + '\n' + p.readAllStandardOutput();
    const qsizetype nul = all.indexOf('\0');
    if (nul >= 0)
        all.truncate(nul);
    return QString::fromLocal8Bit(all).trimmed();
}

bool backupFinished(const QString& folder)
{
    QFile f(folder + QStringLiteral("/Status.plist"));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const CFType status = CFType::createCFPropertyList(f.read(1024 * 1024));
    return status.get(QStringLiteral("SnapshotState")).CFStringQString() == QLatin1String("finished");
}
} // namespace

backup2tool::backup2tool(am_device* device, const QString& udid, const QDir& root, QObject* parent)
    : QObject(parent), m_device(device), m_udid(udid), m_root(root)
{
}

void backup2tool::setStartTimeoutMs(int ms)
{
    g_startTimeoutMs = ms;
}

QString backup2tool::program()
{
    if (auto fn = reinterpret_cast<fwdev_backup_program_fn>(mobiledevice_loader_resolve("fwdev_backup_program"))) {
        if (const char* path = fn())
            return QString::fromLocal8Bit(path);
    }
    return QStringLiteral("idevicebackup2");
}

QStringList backup2tool::arguments(int op, const QString& udid, const QDir& root, bool full)
{
    const QString folder = QDir::toNativeSeparators(root.absolutePath());
    switch (op) {
    case BACKUP2TOOL_BACKUP:
        if (!full)
            return {QStringLiteral("-u"), udid, QStringLiteral("backup"), folder};
        return {QStringLiteral("-u"), udid, QStringLiteral("backup"), QStringLiteral("--full"), folder};
    case BACKUP2TOOL_RESTORE:
        return {QStringLiteral("-u"),       udid, QStringLiteral("-s"), udid, QStringLiteral("restore"),
                QStringLiteral("--system"), QStringLiteral("--settings"), folder};
    default:
        g_raise(QStringLiteral("unknown backup2tool_op."));
    }
}

int backup2tool::estimateSecondsFor(qint64 totalCapacity, qint64 available)
{
    const qint64 used = totalCapacity - available;
    if (used < 1048576)
        return kDefaultEstimate;
    return int(double(used / 1048576) * 0.03);
}

int backup2tool::estimateSeconds(am_device* device)
{
    try {
        const CFType usage = mobiledevice_info(device, {QString()}, QStringLiteral("com.apple.disk_usage")).value(0);
        if (usage.isNull())
            return kDefaultEstimate;
        return estimateSecondsFor(usage.get(QStringLiteral("TotalDataCapacity")).CFNumberInt64(0),
                                  usage.get(QStringLiteral("AmountDataAvailable")).CFNumberInt64(0));
    } catch (const std::exception&) {
        return kDefaultEstimate;
    }
}

double backup2tool::progressFor(double elapsedSeconds, int estimate)
{
    if (estimate <= 0)
        return 99;
    return std::clamp(elapsedSeconds / estimate * 99.0, 0.0, 99.0);
}

void backup2tool::runThrow(const _backup2tool_req& req)
{
    // The cancel flag is not reset here: a cancel that came between the
    // subscription and this call must still stop the run.
    m_pg = 0;
    const QStringList args = arguments(req.op, m_udid, m_root, m_full);
    const int estimate = estimateSeconds(m_device);

    QProcess process;
    process.setProgram(m_program.isEmpty() ? program() : m_program);
    process.setArguments(args);
    // The program must never wait for an answer on a terminal it has not got.
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(g_startTimeoutMs))
        g_raise(QStringLiteral("can not start the backup program %1. %2").arg(process.program(), process.errorString()));
    QElapsedTimer clock;
    clock.start();

    for (;;) {
        if (m_cancelled.load()) {
            process.kill();
            process.waitForFinished(5000);
            return;
        }
        if (process.waitForFinished(kPollMs) || process.state() == QProcess::NotRunning)
            break;
        const qint64 seconds = clock.elapsed() / 1000;
        m_pg = progressFor(clock.elapsed() / 1000.0, estimate);
        emit update(m_pg, QString(), QStringLiteral("%1 seconds passed").arg(seconds));
    }

    const QString text = outputText(process);
    qDebug("backup2tool: %s", qUtf8Printable(text));
    if (text.contains(QLatin1String("error"), Qt::CaseInsensitive))
        g_raise(text);
    // A zero exit alone proves nothing (the program has exited 0 on failed
    // backups); a non-zero one or a crash is a failure whatever it printed.
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        g_raise(text.isEmpty() ? QStringLiteral("The backup program failed (exit code %1).").arg(process.exitCode())
                               : text);
    if (req.op == BACKUP2TOOL_BACKUP && !backupFinished(m_root.absoluteFilePath(m_udid)))
        g_raise(QStringLiteral("The backup did not finish.") + (text.isEmpty() ? QString() : u'\n' + text));
}

qint64 get_freespace(const QDir& dir)
{
    struct statvfs st;
    if (::statvfs(QFile::encodeName(dir.absolutePath()).constData(), &st) != 0)
        return -1;
    return qint64(st.f_bavail) * qint64(st.f_frsize);
}
