#pragma once

#include "device/BkCacheDb.h"
#include "device/MobileDeviceAfc.h"

#include <QByteArray>
#include <QString>

class JobProgress;

// Copies device files to local files, skipping (with the cache) files whose
// device modification time matches the copy made last time.
class IOSAfcFileDownload
{
public:
    IOSAfcFileDownload(const QString& cacheDbPath, JobProgress& progress);

    // Copies one regular file; anything else is passed over. Raises
    // std::runtime_error on failure (the partial local file removed) and the
    // cancellation signal when the job was closed (likewise).
    void downloadFileThrow(mobiledevice_afc& afc, const _AfcFileInfo& info, const QString& localPath, bool useCache);
    // Bytes read from the device so far, by this downloader.
    qint64 bytesRead() const { return m_bytesRead; }
    BkCacheDb& cache() { return m_cache; }

private:
    BkCacheDb m_cache;
    JobProgress& m_progress;
    QByteArray m_buffer;
    qint64 m_bytesRead = 0;
};
