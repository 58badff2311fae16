#pragma once

#include "stores/AbsViberDb.h"
#include "sqlite/DbSchema.h"

#include <QString>

// Reads the "viber.db" store of a Viber Desktop account. Desktop times are
// Unix seconds and are turned into record times as they load.
class PCViberDb : public AbsViberDb
{
public:
    explicit PCViberDb(const QString& path);

    void openCheckThrow() override;
    ViberData loadDataThrow() override;

    QString path;
    DbSchema schema;

private:
    void loadChatsThrow(__ViberData* d);
    void loadMessagesThrow(__ViberData* d);
    void loadCallsThrow(__ViberData* d);
};

// Fills a person from a row holding OriginNumberInfo's columns.
void fillPerson(Sqlite3Cursor& row, _ViberPerson& p, qint64 id);

// A Desktop coordinate kept as an integer without its decimal point, given
// the number of integer digits assumed (2 for latitudes, 3 for longitudes).
double g_desktopCoordinate(qint64 stored, int integerDigits);
