#include "sqlite/Sqlite3Conn.h"

#include <sqlite3.h>

#include <stdexcept>

Sqlite3Conn::~Sqlite3Conn()
{
    for (sqlite3_stmt* st : std::as_const(m_idle))
        sqlite3_finalize(st);
    sqlite3_close_v2(m_db);
}

void Sqlite3Conn::throwError() const
{
    throw std::runtime_error(sqlite3_errmsg(m_db));
}

namespace {
int bindOne(sqlite3_stmt* st, int i, const QVariant& v)
{
    if (v.isNull())
        return sqlite3_bind_null(st, i);
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::Bool:
    case QMetaType::Short:
    case QMetaType::Char:
        return sqlite3_bind_int(st, i, v.toInt());
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
        return sqlite3_bind_int64(st, i, v.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(st, i, v.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        return sqlite3_bind_blob64(st, i, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
    }
    default: {
        const QString s = v.toString();
        return sqlite3_bind_text16(st, i, s.utf16(), int(s.size() * 2), SQLITE_TRANSIENT);
    }
    }
}
} // namespace

sqlite3_stmt* Sqlite3Conn::prepareThrow(const Sqlite3Sql& sql)
{
    sqlite3_stmt* st = m_idle.take(sql.sql());
    if (!st) {
        const QByteArray text = sql.sql().toUtf8();
        if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &st, nullptr) != SQLITE_OK)
            throwError();
        if (!st) // only white space or a comment
            throw std::runtime_error("empty SQL statement");
    }
    const QList<QVariant>& params = sql.params();
    const int expected = sqlite3_bind_parameter_count(st);
    if (params.size() != expected) {
        sqlite3_finalize(st);
        throw std::runtime_error(QStringLiteral("statement expects %1 parameters, %2 given")
                                     .arg(expected)
                                     .arg(params.size())
                                     .toStdString());
    }
    for (int i = 0; i < params.size(); ++i) {
        if (bindOne(st, i + 1, params.at(i)) != SQLITE_OK) {
            const std::string err = sqlite3_errmsg(m_db);
            sqlite3_finalize(st);
            throw std::runtime_error(err);
        }
    }
    return st;
}

void Sqlite3Conn::release(const QString& sql, sqlite3_stmt* stmt)
{
    if (!stmt)
        return;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (m_idle.size() >= kMaxIdle || m_idle.contains(sql)) {
        sqlite3_finalize(stmt);
        return;
    }
    m_idle.insert(sql, stmt);
}
