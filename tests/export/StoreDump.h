#pragma once

#include "sqlite/Sqlite3DB.h"
#include "sqlite/Sqlite3Row.h"

#include <QStringList>

// Every row of every table of an SQLite file as text, tables by name and rows
// by rowid: two dumps are equal exactly when the content is.
inline QString g_dumpStore(const QString& path)
{
    Sqlite3DB db;
    db.openThrow(path, 2);
    QStringList tables;
    {
        Sqlite3Cursor c = db.queryThrow("select name from sqlite_master where type='table' order by name");
        while (c.moveNext())
            tables << c.getText(0);
    }
    QString out;
    for (const QString& t : std::as_const(tables)) {
        out += QStringLiteral("== %1\n").arg(t);
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select * from %1 order by rowid").arg(g_sqlQuoteIdent(t)));
        while (c.moveNext()) {
            QStringList cells;
            for (int i = 0; i < c.colCount(); ++i)
                cells << (c.isNull(i) ? QStringLiteral("NULL") : QString::fromLatin1(c.getBlob(i).toHex()));
            out += cells.join(u'|') + u'\n';
        }
    }
    return out;
}

// The number of rows of a table.
inline qint64 g_countRows(const QString& path, const QString& table)
{
    Sqlite3DB db;
    db.openThrow(path, 2);
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select count(*) from %1").arg(g_sqlQuoteIdent(table)));
    return c.moveNext() ? c.getInt64(0) : -1;
}
