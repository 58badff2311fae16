#pragma once

#include "itunes/BackupManifest.h"

#include <QDir>
#include <QList>
#include <QSharedPointer>
#include <QStringList>

struct _BackupListing
{
    // Newest backup first.
    QList<QSharedPointer<BackupManifest>> backups;
    // "load <folder> error. <reason>" for each backup whose Manifest.plist
    // could not be read; the listing goes on without it.
    QStringList errors;
};

// The backups in dir: sub-folders holding Manifest.plist and an index
// (Manifest.db or Manifest.mbdb). Their working copies go into folders.
_BackupListing g_listItunesBackups(const QDir& dir, const DataFolders& folders);

// "Manifest.db" or "Manifest.mbdb": the index, which tells the generation.
QString g_backupIndexName(BackupGeneration generation);
