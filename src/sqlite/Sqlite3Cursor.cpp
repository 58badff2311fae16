#include "sqlite/Sqlite3Cursor.h"

#include "sqlite/Sqlite3Conn.h"

#include <sqlite3.h>

Sqlite3Cursor::Sqlite3Cursor(std::shared_ptr<Sqlite3Stmt> stmt) : m_stmt(std::move(stmt))
{
    const int n = sqlite3_column_count(m_stmt->stmt);
    m_names.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QString name = QString::fromUtf8(sqlite3_column_name(m_stmt->stmt, i));
        m_names << name;
        if (!m_exact.contains(name))
            m_exact.insert(name, i);
        const QString lower = name.toLower();
        if (!m_lower.contains(lower))
            m_lower.insert(lower, i);
    }
}

bool Sqlite3Cursor::moveNext()
{
    m_onRow = false;
    if (!m_stmt || m_stmt->done)
        return false;
    const int rc = sqlite3_step(m_stmt->stmt);
    if (rc == SQLITE_ROW) {
        m_onRow = true;
        return true;
    }
    m_stmt->done = true;
    if (rc != SQLITE_DONE)
        m_stmt->conn->throwError();
    return false;
}

int Sqlite3Cursor::colIndex(const QString& name) const
{
    const auto exact = m_exact.constFind(name);
    if (exact != m_exact.cend())
        return exact.value();
    return m_lower.value(name.toLower(), -1);
}

bool Sqlite3Cursor::onRow(int index) const
{
    return m_onRow && index >= 0 && index < m_names.size();
}

bool Sqlite3Cursor::isNull(int index) const
{
    return !onRow(index) || sqlite3_column_type(m_stmt->stmt, index) == SQLITE_NULL;
}

int Sqlite3Cursor::getInt(int index) const
{
    return onRow(index) ? sqlite3_column_int(m_stmt->stmt, index) : 0;
}

qint64 Sqlite3Cursor::getInt64(int index) const
{
    return onRow(index) ? sqlite3_column_int64(m_stmt->stmt, index) : 0;
}

double Sqlite3Cursor::getDouble(int index) const
{
    return onRow(index) ? sqlite3_column_double(m_stmt->stmt, index) : 0.0;
}

int Sqlite3Cursor::byteCount(int index) const
{
    return onRow(index) ? sqlite3_column_bytes(m_stmt->stmt, index) : 0;
}

QByteArrayView Sqlite3Cursor::getUtf8(int index) const
{
    if (!onRow(index))
        return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt->stmt, index));
    if (!text)
        return {};
    return QByteArrayView(text, sqlite3_column_bytes(m_stmt->stmt, index));
}

QString Sqlite3Cursor::getText(int index) const
{
    const QByteArrayView v = getUtf8(index);
    return v.isEmpty() ? QString() : QString::fromUtf8(v);
}

QByteArray Sqlite3Cursor::getBlob(int index) const
{
    if (!onRow(index))
        return {};
    const void* data = sqlite3_column_blob(m_stmt->stmt, index);
    const int size = sqlite3_column_bytes(m_stmt->stmt, index);
    if (!data || size <= 0)
        return {};
    return QByteArray(static_cast<const char*>(data), size);
}

QVariant Sqlite3Cursor::getValue(int index) const
{
    if (!onRow(index))
        return {};
    switch (sqlite3_column_type(m_stmt->stmt, index)) {
    case SQLITE_INTEGER:
        return QVariant(getInt64(index));
    case SQLITE_FLOAT:
        return QVariant(getDouble(index));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(getUtf8(index)));
    case SQLITE_BLOB:
        return QVariant(getBlob(index));
    default:
        return {};
    }
}

Sqlite3Row Sqlite3Cursor::getRow() const
{
    Sqlite3Row row;
    for (int i = 0; i < m_names.size(); ++i) {
        if (!row.contains(m_names.at(i)))
            row.setVal(m_names.at(i), getValue(i));
    }
    return row;
}
