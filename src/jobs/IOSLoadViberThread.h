#pragma once

#include "device/IOSAfcFileDownload.h"
#include "device/IOSAssetReader.h"
#include "device/IOSDevice.h"
#include "device/MobileDeviceAfc.h"
#include "model/ViberData.h"
#include "shell/DataFolders.h"
#include "shell/JobProgress.h"

#include <QDir>
#include <QThread>

#include <memory>

// Copies Viber's container from the device through house arrest into
// dataDir() (the device's cache folder joined with com.viber): the store,
// contact pictures and attachments, re-copying a file only when the device's
// copy changed since the last load. When the device will not vend the
// container, or the container holds no store (today's Viber keeps it in the
// app group, which house arrest does not reach), the job ends well with
// needBackup() set: the caller then takes the backup route.
class PreviewMaker;

class IOSLoadViberThread : public QThread
{
public:
    // The device's cache folder is taken from folders.
    IOSLoadViberThread(const IOSDevice& device, const DataFolders& folders, JobProgress& progress,
                       QObject* parent = nullptr);
    ~IOSLoadViberThread() override;
    void run() override;

    QDir dataDir() const { return m_dataDir; }
    bool needBackup() const { return m_needBackup; }
    // Attachments whose copy failed.
    int skipped() const { return m_skipped; }

private:
    QString loadThrow();
    // Downloads the device file when it is a regular file; false otherwise.
    bool fetchThrow(const QString& devicePath, const QString& localPath, bool useCache);
    void fetchPictures(const ViberData& data);
    void fetchAttachmentThrow(const _ViberAtta& a, PreviewMaker& previews);
    void fetchPictureOrVideoThrow(const _ViberAtta& a, PreviewMaker& previews);
    bool isInsideData(const QString& path) const;

    IOSDevice m_device;
    DataFolders m_folders;
    JobProgress& m_progress;
    QDir m_dataDir;
    mobiledevice_afc m_afc;
    std::unique_ptr<IOSAfcFileDownload> m_downloader;
    std::unique_ptr<IOSAssetReader> m_assetReader;
    int m_skipped = 0;
    bool m_needBackup = false;
};
