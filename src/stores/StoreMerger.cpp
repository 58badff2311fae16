#include "stores/StoreMerger.h"

#include "sqlite/Sqlite3DB.h"
#include "shell/Failure.h"

void g_requireIntegrityThrow(Sqlite3DB& db)
{
    // The quick check reads every page and every tree, as the full check
    // does, but does not look up each row in each of its indexes: SQLite
    // wrote those entries itself in the same transaction, and on today's
    // message table (13 indexes) that look-up was a third of a transfer.
    Sqlite3Cursor c = db.queryThrow(Sqlite3Sql("PRAGMA quick_check"));
    const QString verdict = c.moveNext() ? c.getText(0) : QString();
    if (verdict != QLatin1String("ok"))
        g_raise(QStringLiteral("The merged store failed its integrity check: %1").arg(verdict));
}
