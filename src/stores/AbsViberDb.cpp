#include "stores/AbsViberDb.h"

void AbsViberDb::runSqlThrow(const Sqlite3Sql& sql)
{
    openCheckThrow();
    executeThrow(Sqlite3Sql(sql));
}
