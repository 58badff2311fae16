#pragma once

#include "sqlite/Sqlite3Sql.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QVariant>

// One row as column name -> value, kept in name order.
class Sqlite3Row
{
public:
    QVariant& operator[](const QString& name) { return m_vals[name]; }
    void setVal(const QString& name, const QVariant& value) { m_vals.insert(name, value); }
    QVariant val(const QString& name) const { return m_vals.value(name); }
    bool contains(const QString& name) const { return m_vals.contains(name); }
    void remove(const QString& name) { m_vals.remove(name); }
    const QMap<QString, QVariant>& values() const { return m_vals; }

    // An INSERT of this row into table that sets exactly the row's columns,
    // less the excluded ones, each value a bound parameter.
    Sqlite3Sql insertSql(const QString& table, const QSet<QString>& exclude = {}) const;

private:
    QMap<QString, QVariant> m_vals;
};

// name in double quotes, inner quotes doubled: safe as an SQL identifier.
QString g_sqlQuoteIdent(const QString& name);
