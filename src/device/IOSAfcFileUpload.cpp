#include "device/IOSAfcFileUpload.h"
#include "shell/Failure.h"

#include "shell/JobProgress.h"
#include "shell/UserTexts.h"

#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace {
constexpr int kUploadBuffer = 131072;

QString deviceParent(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}
} // namespace

IOSAfcFileUpload::IOSAfcFileUpload(JobProgress& progress) : m_progress(progress) {}

void IOSAfcFileUpload::uploadFileThrow(mobiledevice_afc& afc, const QString& localPath, const QString& devicePath,
                                       bool overwrite)
{
    m_progress.throwIfClosed();
    const QString name = devicePath.section(u'/', -1);
    m_progress.invokeUpdateProgress(QString(), -1, ids("IDS_SENDING_FILE_%1").arg(name));
    const QFileInfo local(localPath);
    if (!local.isFile() || devicePath.isEmpty())
        return;
    if (!overwrite) {
        const _AfcFileInfo existing = afc.fileInfo(devicePath);
        if (existing.isFile() && existing.size >= 1)
            return;
    }
    const QString parent = deviceParent(devicePath);
    if (!afc.fileInfo(parent).isValid())
        afc.mkdir(parent);

    AfcFile device;
    if (!afc.writeFile(devicePath, device))
        g_raise(QStringLiteral("IOSAfcFileUpload::uploadFileThrow, can not create %1.").arg(devicePath));
    QFile in(localPath);
    if (!in.open(QIODevice::ReadOnly))
        g_raise(QStringLiteral("IOSAfcFileUpload::uploadFileThrow, can not read %1.").arg(localPath));
    if (m_buffer.isEmpty())
        m_buffer.resize(kUploadBuffer);
    const qint64 total = in.size();
    qint64 done = 0;
    while (!in.atEnd()) {
        const qint64 n = in.read(m_buffer.data(), m_buffer.size());
        if (n < 0)
            g_raise(QStringLiteral("IOSAfcFileUpload::uploadFileThrow, read %1 error. %2").arg(localPath, in.errorString()));
        if (n == 0)
            break;
        if (device.write(m_buffer.constData(), int(n)) != int(n))
            g_raise(QStringLiteral("IOSAfcFileUpload::uploadFileThrow, write device file %1 error.").arg(devicePath));
        done += n;
        m_progress.invokeUpdateProgress(QString(), -1,
                                        ids("IDS_SENDING_FILE_%1_%2_%3").arg(name).arg(done / 1024).arg(total / 1024));
    }
    device.close();
    in.close();
}
