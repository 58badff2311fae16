#pragma once

#include "device/IOSAfcFileDownload.h"
#include "device/IOSAssetDb.h"
#include "device/IOSDevice.h"
#include "device/MobileDeviceAfc.h"

#include <QString>

class JobProgress;

// Pictures and videos that Viber keeps in the device's photo library: looked
// up in a copy of the library's index and fetched through the media file
// service. The service and the index copy are made on first use, once.
class IOSAssetReader
{
public:
    // The index copy lives in cacheDir, the device's own cache folder.
    IOSAssetReader(const IOSDevice& device, const QDir& cacheDir, JobProgress& progress);

    // Starts the media service (raising when it cannot) and copies the
    // index; a failed copy is not retried and makes the look-ups raise.
    void startCheckThrow();
    bool isAssetExistsThrow(const QString& uid);
    // False when the device has no such file; raises on a failed copy.
    bool downloadAssetThrow(const QString& uid, const QString& localPath);
    bool downloadAssetThumbnailThrow(const QString& uid, const QString& localPath);

private:
    bool downloadThrow(const QString& devicePath, const QString& localPath);

    IOSDevice m_device;
    IOSAfcFileDownload m_downloader;
    bool m_serviceStarted = false;
    bool m_indexCopied = false;
    mobiledevice_afc m_afc;
    QString m_photosDbPath;
    IOSAssetDb m_db;
};
