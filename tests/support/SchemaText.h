#pragma once

#include "sqlite/Sqlite3DB.h"

#include <QStringList>

// Tables, indexes and triggers of a store as one text, as the phone's app
// would find them: a writer that must not change a schema compares these.
inline QString g_schemaText(Sqlite3DB& db)
{
    QStringList parts;
    Sqlite3Cursor c = db.queryThrow("select type, name, sql from sqlite_master order by type, name");
    while (c.moveNext())
        parts << c.getText(0) + u' ' + c.getText(1) + u' ' + c.getText(2);
    return parts.join(u'\n');
}
