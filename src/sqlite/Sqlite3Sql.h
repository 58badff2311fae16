#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

// One SQL statement with its positional "?" parameters, bound in the order the
// add*Param calls are made. A plain value: copy it freely.
class Sqlite3Sql
{
public:
    Sqlite3Sql() = default;
    Sqlite3Sql(const char* sql) : m_sql(QString::fromUtf8(sql)) {}
    Sqlite3Sql(const QString& sql) : m_sql(sql) {}

    const QString& sql() const { return m_sql; }
    const QList<QVariant>& params() const { return m_params; }

    Sqlite3Sql& addIntParam(int v);
    Sqlite3Sql& addInt64Param(long long v);
    Sqlite3Sql& addDoubleParam(double v);
    Sqlite3Sql& addTextParam(const QString& v);
    Sqlite3Sql& addBlobParam(const QByteArray& v);
    Sqlite3Sql& addNullParam();
    // Binds a QVariant by its type: integers as integers, double as real,
    // QString as text, QByteArray as blob, a null variant as NULL.
    Sqlite3Sql& addParam(const QVariant& v);

private:
    QString m_sql;
    QList<QVariant> m_params;
};
