#pragma once

#include "sqlite/Sqlite3DB.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// One table of an SQLite file: its name as stored, its CREATE text and its
// columns by lower-cased name.
class DbSchemaTable
{
public:
    QString name;
    QString sql;
    QHash<QString, _SqliteCol> columns;

    QList<_SqliteCol> cols() const { return columns.values(); }
    _SqliteCol col(const QString& name) const { return columns.value(name.toLower()); }
    bool containsCol(const QString& name) const { return columns.contains(name.toLower()); }
};

// Which tables and columns an open file has, so that store code can ask
// before it touches a table or column that some versions lack. A snapshot:
// run loadDbThrow again after changing the schema.
class DbSchema
{
public:
    void loadDbThrow(Sqlite3DB& db);
    void clear() { m_tables.clear(); }

    QList<DbSchemaTable> tables() const { return m_tables.values(); }
    DbSchemaTable table(const QString& name) const { return m_tables.value(name.toLower()); }
    bool containsTable(const QString& name) const { return m_tables.contains(name.toLower()); }
    bool containsCol(const QString& table, const QString& col) const;
    // For the columns a reader cannot do without: raises std::runtime_error
    // naming the table, or the table and column, that the file lacks. (A
    // cursor reads an unknown column as 0, which would quietly drop records.)
    void requireColumnsThrow(const QString& table, const QStringList& columns) const;

private:
    QHash<QString, DbSchemaTable> m_tables;
};
