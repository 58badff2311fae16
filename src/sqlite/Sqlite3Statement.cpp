#include "sqlite/Sqlite3Statement.h"

#include "sqlite/Sqlite3DB.h"

#include <sqlite3.h>

#include <stdexcept>
#include <utility>

Sqlite3Statement::Sqlite3Statement(Sqlite3DB& db, const QString& sql) : m_db(db.handle())
{
    if (!m_db)
        throw std::runtime_error("the database is not open");
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v3(m_db, text.constData(), int(text.size()), SQLITE_PREPARE_PERSISTENT, &m_stmt, nullptr)
        != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(m_db));
    if (!m_stmt)
        throw std::runtime_error("empty SQL statement");
}

Sqlite3Statement::~Sqlite3Statement()
{
    sqlite3_finalize(m_stmt);
}

Sqlite3Statement::Sqlite3Statement(Sqlite3Statement&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_stmt(std::exchange(other.m_stmt, nullptr))
{
}

Sqlite3Statement& Sqlite3Statement::operator=(Sqlite3Statement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_db = std::exchange(other.m_db, nullptr);
        m_stmt = std::exchange(other.m_stmt, nullptr);
    }
    return *this;
}

void Sqlite3Statement::check(int rc) const
{
    if (rc != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(m_db));
}

Sqlite3Statement& Sqlite3Statement::bindInt64(int index, qint64 v)
{
    check(sqlite3_bind_int64(m_stmt, index, v));
    return *this;
}

Sqlite3Statement& Sqlite3Statement::bindDouble(int index, double v)
{
    check(sqlite3_bind_double(m_stmt, index, v));
    return *this;
}

Sqlite3Statement& Sqlite3Statement::bindText(int index, const QString& v)
{
    // As UTF-16, converted by SQLite as the connection's own binding does,
    // so a text with broken surrogates is stored and matched the same way.
    // The length is given, so the text needs no terminator: utf16() would
    // copy a text that points into a shared block to add one.
    static const char16_t empty = 0;
    check(sqlite3_bind_text16(m_stmt, index, v.isNull() ? static_cast<const void*>(&empty) : v.constData(),
                              int(v.size() * 2), SQLITE_TRANSIENT));
    return *this;
}

Sqlite3Statement& Sqlite3Statement::bindBlob(int index, const QByteArray& v)
{
    check(sqlite3_bind_blob64(m_stmt, index, v.isNull() ? "" : v.constData(), sqlite3_uint64(v.size()),
                              SQLITE_TRANSIENT));
    return *this;
}

Sqlite3Statement& Sqlite3Statement::bindNull(int index)
{
    check(sqlite3_bind_null(m_stmt, index));
    return *this;
}

Sqlite3Statement& Sqlite3Statement::bindVariant(int index, const QVariant& v)
{
    if (v.isNull())
        return bindNull(index);
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::Bool:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
        return bindInt64(index, v.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return bindDouble(index, v.toDouble());
    case QMetaType::QByteArray:
        return bindBlob(index, v.toByteArray());
    default:
        return bindText(index, v.toString());
    }
}

bool Sqlite3Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const std::string err = sqlite3_errmsg(m_db);
    sqlite3_reset(m_stmt);
    throw std::runtime_error(err);
}

void Sqlite3Statement::execute()
{
    while (step()) {
    }
    reset();
}

void Sqlite3Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

bool Sqlite3Statement::isNull(int col) const
{
    return sqlite3_column_type(m_stmt, col) == SQLITE_NULL;
}

qint64 Sqlite3Statement::int64(int col) const
{
    return sqlite3_column_int64(m_stmt, col);
}
