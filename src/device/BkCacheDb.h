#pragma once

#include "sqlite/Sqlite3DB.h"

#include <QString>

// Remembers, per device file, the modification time (seconds since 1970 UTC)
// of the copy last downloaded, so unchanged files are not copied again.
// Opened (created from ":res/cache_db.sql" when absent) on the first
// operation, inside one transaction committed on destruction: a job's changes
// land together. Every operation swallows its own failures: a cache that
// cannot be used only makes files download again.
class BkCacheDb
{
public:
    explicit BkCacheDb(const QString& path);
    ~BkCacheDb();
    BkCacheDb(const BkCacheDb&) = delete;
    BkCacheDb& operator=(const BkCacheDb&) = delete;

    const QString& path() const { return m_path; }
    // 0 when the file has no entry (or the cache is unusable).
    qint64 fileDateSecs(const QString& file);
    void setFileDate(const QString& file, qint64 secs);
    void remove(const QString& file);

private:
    bool openCheck();

    QString m_path;
    Sqlite3DB m_db;
    bool m_inTransaction = false;
};
