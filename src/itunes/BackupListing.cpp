#include "itunes/BackupListing.h"

#include <QFileInfo>

#include <algorithm>
#include <exception>

_BackupListing g_listItunesBackups(const QDir& dir, const DataFolders& dataFolders)
{
    _BackupListing result;
    const QFileInfoList folders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time);
    for (const QFileInfo& folder : folders) {
        const QDir d(folder.absoluteFilePath());
        if (BackupManifest::generationOf(d) == BackupGeneration::None ||
            !QFileInfo(d.filePath(QStringLiteral("Manifest.plist"))).isFile())
            continue;
        auto backup = QSharedPointer<BackupManifest>::create(d.absolutePath(), dataFolders);
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

QString g_backupIndexName(BackupGeneration generation)
{
    switch (generation) {
    case BackupGeneration::ManifestDb:
        return QStringLiteral("Manifest.db");
    case BackupGeneration::Mbdb:
        return QStringLiteral("Manifest.mbdb");
    case BackupGeneration::None:
        break;
    }
    return QString();
}
