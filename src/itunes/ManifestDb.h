#pragma once

#include "itunes/MBDBItem.h"

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QString>

// Manifest.db, the index of iOS 10 and later backups: an SQLite database with
// one Files row per backed-up file, folder or link.

// Where a record's content lies: <root>/<first two hex digits>/<fileID>.
QString g_manifestDbContentPath(const QDir& root, const QString& fileID);

// The records of a plain Manifest.db, opened read-only. A row whose fileID
// does not name its domain and path, or whose MBFile cannot be read, is
// skipped with a log line: the rest of the backup still loads. A file row
// without an MBFile takes its size from its content below root. Raises when
// the database or its Files table cannot be read.
QList<_MBDBItem> g_readManifestDbThrow(const QString& dbFile, const QDir& root);

// An owner-only folder below indexBase (the data folder's cache/index) for
// working copies of the index of the backup at backupPath: a decrypted index
// never lies beside the backup or in the shared temporary folder.
QDir g_privateIndexDirThrow(const QDir& indexBase, const QString& backupPath);

// Decrypts an encrypted Manifest.db (AES-256-CBC, zero IV, PKCS#7) into dest,
// created owner-only, in constant memory. Raises, removing dest, when the
// result is not an SQLite database.
void g_decryptManifestDbThrow(const QString& src, const QString& dest, const QByteArray& key);

// Encrypts src into dest the same way (an index under its ManifestKey, a
// file under its own key). dest is written beside itself and renamed over
// the old file only once complete.
void g_encryptBackupFileThrow(const QString& src, const QString& dest, const QByteArray& key);
