#include "stores/StoreMerger.h"

#include "sqlite/Sqlite3DB.h"
#include "shell/Failure.h"

void g_requireIntegrityThrow(Sqlite3DB& db)
{
    Sqlite3Cursor c = db.queryThrow(Sqlite3Sql("PRAGMA integrity_check"));
    const QString verdict = c.moveNext() ? c.getText(0) : QString();
    if (verdict != QLatin1String("ok"))
        g_raise(QStringLiteral("The merged store failed its integrity check: %1").arg(verdict));
}
