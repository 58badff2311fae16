#include "itunes/BackupListing.h"

#include <QFileInfo>

#include <algorithm>
#include <exception>

_BackupListing g_listItunesBackups(const QDir& dir)
{
    _BackupListing result;
    const QFileInfoList folders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time);
    for (const QFileInfo& folder : folders) {
        const QDir d(folder.absoluteFilePath());
        if (!QFileInfo(d.filePath(QStringLiteral("Manifest.mbdb"))).isFile() ||
            !QFileInfo(d.filePath(QStringLiteral("Manifest.plist"))).isFile())
            continue;
        auto backup = QSharedPointer<BackupManifest>::create(d.absolutePath());
        try {
            backup->readManifestInfo();
        } catch (const std::exception& e) {
            result.errors << QStringLiteral("load %1 error. %2").arg(d.absolutePath(), QString::fromUtf8(e.what()));
            continue;
        }
        result.backups << backup;
    }
    std::stable_sort(result.backups.begin(), result.backups.end(), [](const auto& a, const auto& b) {
        return a->info().date > b->info().date;
    });
    return result;
}
