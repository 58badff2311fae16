#include "sqlite/DbSchema.h"

#include <stdexcept>

void DbSchema::loadDbThrow(Sqlite3DB& db)
{
    m_tables.clear();
    QList<DbSchemaTable> found;
    Sqlite3Cursor c = db.queryThrow("select * from sqlite_master where type='table'");
    const int nameCol = c.colIndex(QStringLiteral("tbl_name"));
    const int sqlCol = c.colIndex(QStringLiteral("sql"));
    while (c.moveNext()) {
        DbSchemaTable t;
        t.name = c.getText(nameCol);
        t.sql = c.getText(sqlCol);
        found << t;
    }
    for (DbSchemaTable& t : found) {
        for (const _SqliteCol& col : db.tbCols(t.name))
            t.columns.insert(col.name.toLower(), col);
        m_tables.insert(t.name.toLower(), t);
    }
}

bool DbSchema::containsCol(const QString& table, const QString& col) const
{
    const auto it = m_tables.constFind(table.toLower());
    return it != m_tables.cend() && it->containsCol(col);
}

void DbSchema::requireColumnsThrow(const QString& table, const QStringList& columns) const
{
    const auto it = m_tables.constFind(table.toLower());
    if (it == m_tables.cend())
        throw std::runtime_error(QStringLiteral("no such table: %1").arg(table).toStdString());
    for (const QString& col : columns) {
        if (!it->containsCol(col))
            throw std::runtime_error(
                QStringLiteral("the table %1 has no column %2, which is needed to read it").arg(it->name, col).toStdString());
    }
}
