#pragma once

#include "sqlite/Sqlite3Cursor.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// The property bag ("others") of the records of one query. Optional columns
// are read only when the result has them and go into the bag under their
// name. When the result has an _other column (a local database) the bag is
// that column's bytes as they are, and the optional columns are ignored.
class StoreBag
{
public:
    enum Kind {
        Int,
        Int64,
        IntUnlessNull,   // left out when NULL
        Text,
        BytesUnlessEmpty // left out when empty
    };
    struct Col
    {
        const char* name;
        Kind kind;
    };

    StoreBag(const Sqlite3Cursor& query, std::initializer_list<Col> cols);

    // The bag of the cursor's current row.
    QByteArray bag(const Sqlite3Cursor& row);

private:
    // Whether the row's bag holds the first column's integer and nothing else.
    bool onlyFirstInt(const Sqlite3Cursor& row) const;

    struct Found
    {
        QString name;
        QByteArray key; // name in UTF-8
        int index;
        Kind kind;
    };
    int m_other = -1;
    QList<Found> m_cols;
    // Most rows carry one small integer (Z_OPT) and nothing else; their bags
    // are equal and share one buffer.
    QHash<qint64, QByteArray> m_singleInt;
};
