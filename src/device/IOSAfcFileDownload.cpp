#include "device/IOSAfcFileDownload.h"
#include "shell/Failure.h"

#include "shell/JobProgress.h"
#include "shell/UserTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace {
constexpr int kDownloadBuffer = 524288;

} // namespace

IOSAfcFileDownload::IOSAfcFileDownload(const QString& cacheDbPath, JobProgress& progress)
    : m_cache(cacheDbPath), m_progress(progress)
{
}

void IOSAfcFileDownload::downloadFileThrow(mobiledevice_afc& afc, const _AfcFileInfo& info, const QString& localPath,
                                           bool useCache)
{
    m_progress.throwIfClosed();
    const QFileInfo local(localPath);
    QDir().mkpath(local.absolutePath());
    if (!info.isFile())
        return;

    const qint64 modifiedSecs = info.modified.isValid() ? info.modified.toSecsSinceEpoch() : 0;
    // The cache vouches for the copy only while the copy is still there whole.
    if (useCache && modifiedSecs != 0 && m_cache.fileDateSecs(info.path) == modifiedSecs && local.isFile() &&
        local.size() == info.size)
        return;

    AfcFile device;
    if (!afc.readFile(info.path, device))
        g_raise(QStringLiteral("Please restart your phone to try again.<br/><br/>can not read %1.").arg(info.path));
    QFile out(localPath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        g_raise(QStringLiteral("can not create %1.%2").arg(localPath, out.errorString()));

    // Whatever ends the copy early leaves no partial file behind that a later
    // load (or the cache) could take for the whole one.
    auto discard = [&out] {
        out.close();
        out.remove();
    };
    if (m_buffer.isEmpty())
        m_buffer.resize(kDownloadBuffer);
    const QString name = QFileInfo(info.path).fileName();
    qint64 done = 0;
    for (;;) {
        if (m_progress.closed()) {
            discard();
            throw JobCancelled();
        }
        const int n = device.read(m_buffer.data(), int(m_buffer.size()));
        if (n < 0) {
            discard();
            g_raise(QStringLiteral("Please restart your phone to try again.<br/><br/>can not read %1.").arg(info.path));
        }
        if (n == 0)
            break;
        m_bytesRead += n;
        if (out.write(m_buffer.constData(), n) != n) {
            const QString why = out.errorString();
            discard();
            g_raise(QStringLiteral("write file %1 failed. %2").arg(localPath, why));
        }
        done += n;
        m_progress.invokeUpdateProgress(QString(), -1,
                                        ids("IDS_LOADING_FILE_%1_%2_%3").arg(name).arg(done / 1024).arg(info.size / 1024));
    }
    if (!out.flush()) {
        const QString why = out.errorString();
        discard();
        g_raise(QStringLiteral("write file %1 failed. %2").arg(localPath, why));
    }
    out.close();
    // A file that changed while it was read is copied again next time.
    if (useCache && done == info.size)
        m_cache.setFileDate(info.path, modifiedSecs);
}
