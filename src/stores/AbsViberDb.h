#pragma once

#include "sqlite/Sqlite3DB.h"
#include "model/ViberData.h"

// Base of the Viber store classes: a connection that knows how to open and
// validate its store and read it into a data set.
class AbsViberDb : public Sqlite3DB
{
public:
    ~AbsViberDb() override = default;
    // Opens and validates the store unless it is open already.
    virtual void openCheckThrow() = 0;
    virtual ViberData loadDataThrow() = 0;

    void runSqlThrow(const Sqlite3Sql& sql);
};
