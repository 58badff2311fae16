#pragma once

#include "sqlite/Sqlite3DB.h"

#include <QString>

// The photo library's index (a copy of PhotoData/Photos.sqlite): where the
// pictures and videos that Viber keeps in the camera roll lie on the device.
// Opened on the first query and kept open. Every query raises
// std::runtime_error when the file cannot be opened or read.
class IOSAssetDb : public Sqlite3DB
{
public:
    explicit IOSAssetDb(const QString& path);

    void openCheckThrow();
    bool isAssetExistsThrow(const QString& uid);
    // "/<ZDIRECTORY>/<ZFILENAME>" of the asset (a device path below the
    // media root), or empty when the index does not know it.
    QString assetPath(const QString& uid);
    // The device path of the asset's thumbnail, or empty when the asset is
    // unknown, lies outside a "<digits>APPLE" folder or is neither a picture
    // nor a video.
    QString assetThumbnailPath(const QString& uid);

    const QString& path() const { return m_path; }

private:
    QString m_path;
};
