#pragma once

#include "model/ViberData.h"

#include <QtGlobal>

// Merges records of any data set (a local database, another phone, a backup,
// Viber Desktop) into a store of the Viber iPhone app: the transfer jobs drive
// every store layout through this one interface. Nothing is added twice, so a
// repeated merge adds nothing. The caller owns the transaction.
class StoreMerger
{
public:
    virtual ~StoreMerger() = default;

    // Checks that the store has what the merge writes and reads what the
    // look-ups need. Raises with a text naming what is missing, before any
    // row changes.
    virtual void prepareThrow() = 0;
    // The store's key of chat: the chat already there, else a new one. Its
    // members are added to it either way.
    virtual qint64 chatKeyThrow(const _ViberChat* chat) = 0;
    // Adds m to the chat unless the store holds it already. Returns the new
    // message's key, 0 when nothing was added; attaKey is the key of its new
    // attachment row (0 for none).
    virtual qint64 addMessageThrow(qint64 chatKey, const _ViberMsg& m, qint64& attaKey) = 0;
    // Adds a call unless the store holds it already; true when added.
    // chatKey is the chat the call belongs to, 0 when it has none.
    virtual bool addCallThrow(qint64 chatKey, const _ViberCall& call) = 0;
    // Brings chat summaries, call lines and key counters up to date.
    virtual void finishThrow() = 0;
    // After the commit: raises unless the store passes SQLite's quick
    // check (and whatever else the layout needs).
    virtual void verifyThrow() = 0;
};

class Sqlite3DB;
// Raises with SQLite's verdict unless every page and tree of db is sound
// (SQLite's quick check).
void g_requireIntegrityThrow(Sqlite3DB& db);
