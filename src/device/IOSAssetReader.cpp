#include "device/IOSAssetReader.h"

#include <QFile>

#include <exception>

IOSAssetReader::IOSAssetReader(const IOSDevice& device, const QDir& cacheDir, JobProgress& progress)
    : m_device(device),
      m_downloader(cacheDir.absoluteFilePath(QStringLiteral("iphone.asset.manifest.db")), progress),
      m_afc(device.device), m_photosDbPath(cacheDir.absoluteFilePath(QStringLiteral("Photos.sqlite"))),
      m_db(m_photosDbPath)
{
}

void IOSAssetReader::startCheckThrow()
{
    if (!m_serviceStarted) {
        m_afc.startService();
        m_serviceStarted = true;
    }
    if (m_indexCopied)
        return;
    m_indexCopied = true;
    try {
        for (const char* suffix : {"", "-shm", "-wal"}) {
            QFile::remove(m_photosDbPath + QLatin1String(suffix));
            const _AfcFileInfo info = m_afc.fileInfo(QStringLiteral("/PhotoData/Photos.sqlite") + QLatin1String(suffix));
            m_downloader.downloadFileThrow(m_afc, info, m_photosDbPath + QLatin1String(suffix), false);
        }
    } catch (const std::exception& e) {
        qDebug("IOSAssetReader: photo library index not copied. %s", e.what());
    }
}

bool IOSAssetReader::isAssetExistsThrow(const QString& uid)
{
    startCheckThrow();
    return m_db.isAssetExistsThrow(uid);
}

bool IOSAssetReader::downloadThrow(const QString& devicePath, const QString& localPath)
{
    if (devicePath.isEmpty())
        return false;
    const _AfcFileInfo info = m_afc.fileInfo(devicePath);
    if (!info.isFile())
        return false;
    m_downloader.downloadFileThrow(m_afc, info, localPath, true);
    return true;
}

bool IOSAssetReader::downloadAssetThrow(const QString& uid, const QString& localPath)
{
    startCheckThrow();
    return downloadThrow(m_db.assetPath(uid), localPath);
}

bool IOSAssetReader::downloadAssetThumbnailThrow(const QString& uid, const QString& localPath)
{
    startCheckThrow();
    return downloadThrow(m_db.assetThumbnailPath(uid), localPath);
}
