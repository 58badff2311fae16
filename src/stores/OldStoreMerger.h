#pragma once

#include "stores/IOSViberDb.h"
#include "sqlite/Sqlite3Row.h"
#include "stores/StoreMerger.h"

#include <QMultiHash>

#include <memory>
#include <vector>

struct IOSMergePlans;
class MergeStatements;

// One of the phone's own messages, to be written again: its key in the
// phone's store and what places it among the new ones.
struct KeptMessage
{
    qint64 key = 0;
    qint64 token = 0;
    double date = 0;
};

// The merge into a store of the old layout (persons in ZPHONENUMBERINDEX):
// the look-ups that find what the store holds, the inserts of what it does
// not, and the summaries the app reads. The transfer drives it through
// StoreMerger; the backup into a local database calls the steps itself.
// One merger per batch: it keeps the batch's prepared statements and the
// last ZUID handed out.
class OldStoreMerger : public StoreMerger
{
public:
    explicit OldStoreMerger(IOSViberDb& db);
    ~OldStoreMerger() override;

    void prepareThrow() override;
    qint64 chatKeyThrow(const _ViberChat* chat) override;
    qint64 addMessageThrow(qint64 chatKey, const _ViberMsg& m, qint64& attaKey) override;
    bool addCallThrow(qint64 chatKey, const _ViberCall& call) override;
    void finishThrow() override;
    void verifyThrow() override { g_requireIntegrityThrow(m_db); }

    // The steps. Keys are Z_PK values, 0 for none.
    qint64 zuidThrow(bool next);
    qint64 findPersonThrow(const _ViberPerson* p);
    qint64 insertPersonThrow(const _ViberPerson* p);
    qint64 findChatSlowThrow(const _ViberChat* c);
    qint64 insertChatThrow(const _ViberChat* c);
    void saveChatMembersThrow(qint64 chatKey, const QList<_ViberPerson*>& members);
    qint64 saveCallThrow(const _ViberCall* call);
    qint64 findMsgThrow(qint64 token, double date, qint64& attaKey);
    // The same without the attachment's key.
    qint64 findMsgKeyThrow(qint64 token, double date);
    // The message already in chatKey that m is: by token, or for a message
    // without one by time and content (text, place, attachment name).
    qint64 findMsgThrow(const _ViberMsg& m, qint64 chatKey, qint64& attaKey);
    qint64 insertMsgThrow(qint64 chatKey, const _ViberMsg* m, qint64& attaKey, qint64& locKey);
    void setAttaAssetUrlNullThrow(qint64 attaKey);
    void updateChatStatThrow();
    void updateCallRecentLinesStatThrow();
    void updatePrimaryKeyStatThrow();

    // Whether db holds this call. Stores spell one kind of call in several
    // ways ("missed", "Missed"), so calls match by token and kind; a call
    // without a token also needs the same time.
    static bool hasCallThrow(IOSViberDb& db, qint64 token, int kind, const QString& typeText, double date);

    // The transfer into the old layout writes the phone's rows again, in
    // date order with the new ones (the app shows messages in key order).
    struct ExistingRows
    {
        std::vector<KeptMessage> messages;
        QMultiHash<qint64, qint64> attasOf, locsOf; // message key -> its attachment / location rows
        std::vector<Sqlite3Row> calls;              // with their line's ZPHONENUMINDEX
    };
    // The rows of from (the phone's own store); calls only when asked.
    static ExistingRows existingRowsThrow(IOSViberDb& from, bool withCalls);
    // Empties the store's messages (and calls) before they are written
    // again, then opens the transaction. The messages wait in a scratch
    // copy until they are put back; the store being written must hold the
    // rows existingRowsThrow read, under the same keys.
    void clearForRewriteThrow(bool calls);
    // Writes one of the phone's own messages back, unless a transferred
    // message with its token is there already (its attachment and location
    // rows then go).
    void putBackMessageThrow(const KeptMessage& kept, const ExistingRows& rows);
    // Writes one of the phone's own calls back on a line of its person,
    // unless the store holds it already.
    void putBackCallThrow(Sqlite3Row row);

private:
    // These inserts name tables only the old layout has.
    void checkWritableThrow();
    IOSMergePlans& plansThrow();
    // The per-row look-ups, prepared once.
    MergeStatements& statements();
    // findPersonThrow, else insertPersonThrow, remembered for the batch.
    qint64 personKeyThrow(const _ViberPerson* p);
    qint64 insertAttachmentThrow(const _ViberMsg* m, qint64 msgKey);
    // The insert of a kept message from the scratch copy, by its old key.
    QString putBackSql();

    IOSViberDb& m_db;
    qint64 m_zuid = -1; // the last ZUID handed out; -1 until it is known
    std::shared_ptr<IOSMergePlans> m_plans;
    std::shared_ptr<MergeStatements> m_statements;
    bool m_callsSeen = false;
    QString m_putBackSql;
};
