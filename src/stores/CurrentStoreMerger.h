#pragma once

#include "stores/StoreMerger.h"

#include <memory>

class IOSViberDb;

// The merge into a store of today's layout (members and phone numbers, names
// in CurrentStoreLayout.h, entity numbers from Z_PRIMARYKEY). It writes into
// another program's store, so it never changes its schema: every look-up it
// needs is held in memory, read once by prepareThrow. Rows the store had are
// left as they are, but for the summaries of chats and call lines that new
// rows change. New rows go in through ordinary INSERTs, so the store's own
// triggers keep its full-text index up to date.
//
// People are matched by canonical number, else by member id; chats by group
// id, else by their members; messages by token when they have one (Viber's
// message id, the same in every source), else by time and content; calls by
// token and kind, else by line, time and duration.
class CurrentStoreMerger : public StoreMerger
{
public:
    // db must be open and of today's layout.
    explicit CurrentStoreMerger(IOSViberDb& db);
    ~CurrentStoreMerger() override;

    void prepareThrow() override;
    qint64 chatKeyThrow(const _ViberChat* chat) override;
    qint64 addMessageThrow(qint64 chatKey, const _ViberMsg& m, qint64& attaKey) override;
    bool addCallThrow(qint64 chatKey, const _ViberCall& call) override;
    void finishThrow() override;

    // After the commit: SQLite's integrity check, each full-text index's own
    // check (when it passed before the merge), and the schema and the model
    // identity as they were. Raises with what failed.
    void verifyThrow() override;

    // Viber's message id for a message sent at record time date: the time in
    // its high bits, low in the 22 bits below.
    static qint64 tokenForTime(double date, quint32 low);
    // The Unix time in milliseconds a token carries.
    static qint64 tokenTimeMs(qint64 token);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
