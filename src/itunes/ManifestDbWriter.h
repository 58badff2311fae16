#pragma once

#include "shell/ScratchFolders.h"

#include <QDir>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>

class BackupManifest;
class Sqlite3DB;

// Writes files into a backup indexed by Manifest.db. Each file's content is
// staged beside its final place (encrypted under a fresh key of its own,
// wrapped with its class key, when the backup is encrypted) and its Files row
// is written into a working copy of the index in the private cache. commit
// writes the new index beside the old one and renames it over it once
// complete (re-encrypted under the ManifestKey when the backup is
// encrypted), then moves the contents into place. Without commit the backup
// is left as it was. Failures raise std::runtime_error.
class ManifestDbWriter
{
public:
    // backup must be read (readManifestInfo) and, when encrypted, unlocked.
    explicit ManifestDbWriter(BackupManifest& backup);
    ~ManifestDbWriter();
    ManifestDbWriter(const ManifestDbWriter&) = delete;
    ManifestDbWriter& operator=(const ManifestDbWriter&) = delete;

    // Adds or replaces the file domain/path (path without a leading "/")
    // with the content of localFile, and adds folder rows for parents that
    // have none. Without overwrite an existing file is left alone; returns
    // whether the file was written.
    bool addFileThrow(const QString& domain, const QString& path, const QString& localFile, bool overwrite = true);

    void commitThrow();

private:
    struct Staged
    {
        QString staged;
        QString final;
    };

    void addFolderRowsThrow(const QString& domain, const QString& path, quint32 mtime);
    quint64 nextInode();

    BackupManifest& m_backup;
    QDir m_work;
    ScratchClaim m_claim;
    QString m_index;
    std::unique_ptr<Sqlite3DB> m_db;
    QList<Staged> m_staged;
    quint64 m_inode = 0;
    bool m_committed = false;
};
