#pragma once

#include "stores/IOSViberDb.h"
#include "stores/StoreMerger.h"

// The merge into a store of the old layout (persons in ZPHONENUMBERINDEX),
// over the look-ups and inserts of IOSViberDb.
class OldStoreMerger : public StoreMerger
{
public:
    explicit OldStoreMerger(IOSViberDb& db) : m_db(db) {}

    void prepareThrow() override;
    qint64 chatKeyThrow(const _ViberChat* chat) override;
    qint64 addMessageThrow(qint64 chatKey, const _ViberMsg& m, qint64& attaKey) override;
    bool addCallThrow(qint64 chatKey, const _ViberCall& call) override;
    void finishThrow() override;
    void verifyThrow() override { g_requireIntegrityThrow(m_db); }

    // Whether db holds this call. Stores spell one kind of call in several
    // ways ("missed", "Missed"), so calls match by token and kind; a call
    // without a token also needs the same time.
    static bool hasCallThrow(IOSViberDb& db, qint64 token, int kind, const QString& typeText, double date);

private:
    IOSViberDb& m_db;
    IOSViberDb::_InsertContext m_ctx;
    bool m_callsSeen = false;
};
