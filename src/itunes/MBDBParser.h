#pragma once

#include "itunes/MBDBItem.h"

#include <QHash>
#include <QList>
#include <QString>

// Reads and writes Manifest.mbdb, the index of an iTunes backup folder
// (big-endian throughout). Failures raise std::runtime_error.
class MBDBParser
{
public:
    // Records keyed by backupFileName(); a later record with the same domain
    // and path replaces an earlier one. A truncated record is an error.
    static QHash<QString, _MBDBItem> parse(const QString& file);
    // Same, from bytes already in memory; source names the data in errors.
    static QHash<QString, _MBDBItem> parseBytes(const QByteArray& data, const QString& source);
    // Writes a complete index, records sorted with compareMBDBItemLess. The
    // file is replaced only once everything has been written.
    static void save2File(const QList<_MBDBItem>& items, const QString& file);
    // Adds or updates the record of localFile stored as domain/path, plus
    // folder records for its missing parents.
    static void appendFile(QHash<QString, _MBDBItem>& items, const QString& localFile, const QString& domain,
                           const QString& path);
    // 40 lower-case hex digits of SHA-1("<domain>-<path>").
    static QString getFileHashName(const QString& domain, const QString& path);
    // Every folder above path, nearest first, up to the domain's own root
    // (the empty path): a reader hangs a file below the nearest folder it
    // knows, so writers record them all.
    static QStringList parentFolders(const QString& path);
    // SHA-1 of a file's content; empty when it cannot be opened.
    static QByteArray readFileHash(const QString& file);
    static bool compareMBDBItemLess(const _MBDBItem& a, const _MBDBItem& b);
};
