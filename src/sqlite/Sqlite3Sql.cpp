#include "sqlite/Sqlite3Sql.h"

Sqlite3Sql& Sqlite3Sql::addIntParam(int v)
{
    m_params << QVariant(v);
    return *this;
}

Sqlite3Sql& Sqlite3Sql::addInt64Param(long long v)
{
    m_params << QVariant(qint64(v));
    return *this;
}

Sqlite3Sql& Sqlite3Sql::addDoubleParam(double v)
{
    m_params << QVariant(v);
    return *this;
}

Sqlite3Sql& Sqlite3Sql::addTextParam(const QString& v)
{
    // A null QString would otherwise bind as NULL; a text parameter stays text.
    m_params << QVariant(v.isNull() ? QStringLiteral("") : v);
    return *this;
}

Sqlite3Sql& Sqlite3Sql::addBlobParam(const QByteArray& v)
{
    m_params << QVariant(v.isNull() ? QByteArray("") : v);
    return *this;
}

Sqlite3Sql& Sqlite3Sql::addNullParam()
{
    m_params << QVariant();
    return *this;
}

Sqlite3Sql& Sqlite3Sql::addParam(const QVariant& v)
{
    m_params << v;
    return *this;
}
