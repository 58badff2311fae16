#include "device/BkCacheDb.h"

#include <QFile>
#include <QFileInfo>

#include <exception>

namespace {
constexpr int kOpenReadWrite = 2;
constexpr int kOpenCreate = 6;
} // namespace

BkCacheDb::BkCacheDb(const QString& path) : m_path(path) {}

BkCacheDb::~BkCacheDb()
{
    if (m_inTransaction)
        (void)m_db.commitTran();
}

bool BkCacheDb::openCheck()
{
    if (m_db.isOpen())
        return true;
    try {
        if (QFileInfo::exists(m_path)) {
            m_db.openThrow(m_path, kOpenReadWrite);
        } else {
            QFile script(QStringLiteral(":res/cache_db.sql"));
            if (!script.open(QIODevice::ReadOnly))
                throw std::runtime_error(script.errorString().toStdString());
            m_db.openThrow(m_path, kOpenCreate);
            QString err;
            if (m_db.exec(QString::fromUtf8(script.readAll()), err) != 0) {
                m_db.close();
                // A half-made cache would fail every later run: start afresh.
                QFile::remove(m_path);
                throw std::runtime_error(err.toStdString());
            }
        }
        m_inTransaction = m_db.beginTran();
        return true;
    } catch (const std::exception&) {
        m_db.close();
        return false;
    }
}

// Names are compared exactly: device paths may hold "_" or "%", which a LIKE
// pattern would take as wildcards and so confuse two files.
qint64 BkCacheDb::fileDateSecs(const QString& file)
{
    if (!openCheck())
        return 0;
    try {
        Sqlite3Cursor c =
            m_db.queryThrow(Sqlite3Sql("select last_date from manifest where file_name=?").addTextParam(file));
        return c.moveNext() ? c.getInt64(0) : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

void BkCacheDb::setFileDate(const QString& file, qint64 secs)
{
    if (!openCheck())
        return;
    try {
        bool known = false;
        qint64 stored = 0;
        {
            Sqlite3Cursor c =
                m_db.queryThrow(Sqlite3Sql("select last_date from manifest where file_name=?").addTextParam(file));
            known = c.moveNext();
            stored = known ? c.getInt64(0) : 0;
        }
        if (!known) {
            m_db.executeThrow(Sqlite3Sql("insert into manifest(file_name,last_date) values(?,?)")
                                  .addTextParam(file)
                                  .addInt64Param(secs));
        } else if (stored != secs) {
            m_db.executeThrow(Sqlite3Sql("update manifest set last_date=? where file_name=?")
                                  .addInt64Param(secs)
                                  .addTextParam(file));
        }
    } catch (const std::exception&) {
    }
}

void BkCacheDb::remove(const QString& file)
{
    if (!openCheck())
        return;
    try {
        m_db.executeThrow(Sqlite3Sql("delete from manifest where file_name=?").addTextParam(file));
    } catch (const std::exception&) {
    }
}
