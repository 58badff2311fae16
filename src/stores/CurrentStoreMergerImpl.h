#pragma once

// The inside of CurrentStoreMerger, shared by its source files: the look-ups
// read once, the row plans of the tables it writes, and the small helpers
// they use.
#include "stores/CurrentStoreMerger.h"

#include "sqlite/Sqlite3Statement.h"
#include "model/ViberData.h"
#include "stores/CurrentStoreLayout.h"
#include "stores/IOSMergePlans.h"
#include "stores/IOSViberDb.h"
#include "stores/StorePaths.h"

#include <QCryptographicHash>
#include <QHash>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

#include <algorithm>

namespace CurrentMerge {
inline QString L(const char* s)
{
    return QString::fromLatin1(s);
}

inline QStringList names(std::initializer_list<const char*> cols)
{
    QStringList l;
    for (const char* c : cols)
        l << L(c);
    return l;
}

// A group id of "0" (or none) marks a one-to-one chat.
inline QString groupOf(const QString& groupId)
{
    const QString g = groupId.trimmed();
    return g == QLatin1String("0") ? QString() : g;
}

// What identifies a person in the store: digits of a phone number, else the
// Viber member id of someone who hides their number.
struct Identity
{
    QString digits;
    QString memberId;
    bool isEmpty() const { return digits.isEmpty() && memberId.isEmpty(); }
};

inline Identity identityOf(const QString& number)
{
    const QString plain = viberPlainNumber(number.trimmed());
    if (plain.isEmpty())
        return {};
    if (g_isAsciiDigits(plain))
        return {plain, QString()};
    return {QString(), number.trimmed()};
}

// Sorted member keys: the identity of a chat without a group id.
inline QString memberSetKey(QList<qint64> keys)
{
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    QStringList parts;
    for (qint64 k : std::as_const(keys))
        parts << QString::number(k);
    return parts.join(u',');
}

// Resets a look-up statement however its run ends, so no read stays open.
struct Resetting
{
    Sqlite3Statement& st;
    ~Resetting() { st.reset(); }
};

// The scratch table of new messages, and how many it gathers.
inline constexpr char kMessageBatch[] = "ferrowick_new_messages";
inline constexpr int kBatchRows = 4096;

enum ChatCol { C_PK, C_ENT, C_OPT, C_UID, C_GROUPID, C_NAME, C_PARTNER, C_DATE, C_CONTEXT, C_SMARTSTATE,
               C_SMARTSHOWN, C_ZERO };
enum MemberCol { B_PK, B_ENT, B_OPT, B_UID, B_MEMBERID, B_FULLNAME, B_NAME, B_BLOCKED, B_SYSTEM, B_ACTIVE };
enum PhoneCol { N_PK, N_ENT, N_OPT, N_UID, N_MEMBER, N_PHONE, N_CANON, N_TYPE };
enum MsgCol { M_PK, M_ENT, M_OPT, M_UID, M_CHAT, M_CHATENT, M_SENDER, M_DATE, M_STATEDATE, M_STATE, M_SYSTYPE, M_TEXT,
              M_TOKEN, M_SEQ, M_ATTA, M_LOC, M_CALLTYPE, M_CALLDURATION, M_EMOTICONS, M_RANGES, M_ZERO };
enum AttaCol { A_PK, A_ENT, A_OPT, A_UID, A_SIZE, A_SEQ, A_DURATION, A_RANGE, A_ID, A_BUCKET, A_NAME, A_FILENAME,
               A_STATE, A_TYPE, A_URL, A_ZERO };
enum LocCol { O_PK, O_ENT, O_OPT, O_UID, O_MSG, O_DATE, O_LAT, O_LON, O_ADDRESS };
enum RecentCol { R_PK, R_ENT, R_OPT, R_UID, R_TOKEN, R_DURATION, R_MSG, R_LINE, R_DATE, R_TYPE };
enum LineCol { I_PK, I_ENT, I_OPT, I_UID, I_MEMBER, I_NUMBER, I_COUNT, I_DATE, I_TYPE };

// Every plan starts with these columns, so that a new row is begun alike.
enum RowStart { ROW_PK, ROW_ENT, ROW_OPT, ROW_UID };

// The tables the merge adds rows to, with the root entity that counts their keys.
inline const std::pair<const char*, const char*> kEntityTables[] = {
    {CurrentStore::Chat::kTable, CurrentStore::kConversationEntity},
    {CurrentStore::Member::kTable, CurrentStore::kMemberEntity},
    {CurrentStore::PhoneNumber::kTable, CurrentStore::kPhoneNumberEntity},
    {CurrentStore::Message::kTable, CurrentStore::kMessageEntity},
    {CurrentStore::Attachment::kTable, CurrentStore::kAttachmentEntity},
    {CurrentStore::Location::kTable, CurrentStore::kLocationEntity},
    {CurrentStore::Recent::kTable, CurrentStore::kRecentEntity},
    {CurrentStore::RecentsLine::kTable, CurrentStore::kRecentsLineEntity}};

// A plan's columns: the named ones, then a list of flags that start at 0.
inline QStringList withFlags(QStringList cols, const auto& flags)
{
    for (const char* f : flags)
        cols << L(f);
    return cols;
}
} // namespace CurrentMerge

struct CurrentStoreMerger::Impl
{
    explicit Impl(IOSViberDb& db) : db(db) {}

    IOSViberDb& db;
    int convEnt = 0, memberEnt = 0, phoneEnt = 0, msgEnt = 0, attaEnt = 0, locEnt = 0, recentEnt = 0, lineEnt = 0;
    QString joinTable, joinChatCol, joinMemberCol;
    QString attaJoinTable, attaJoinAttaCol, attaJoinMsgCol, attaJoinOrderCol;
    RowPlan chatPlan, memberPlan, phonePlan, msgPlan, attaPlan, locPlan, recentPlan, linePlan;
    int chatFlags = 0, msgFlags = 0, attaFlags = 0;
    QString flushSql;
    int batched = 0; // message rows waiting in the scratch table

    // Look-ups, read once and kept up to date as rows are added.
    QHash<QString, qint64> memberOfDigits, memberOfId;
    QHash<QString, qint64> chatOfGroup, chatOfMembers, chatOfName;
    QHash<qint64, int> entOfChat;
    QSet<QPair<qint64, qint64>> joined; // chat, member
    QHash<qint64, qint64> msgOfToken;
    QHash<qint64, QList<int>> callKindsOfToken;
    QHash<qint64, qint64> lineOfMember;
    QHash<QString, qint64> lineOfDigits;
    qint64 uid = 0;
    // The next free key of each table, and the first key this merge used.
    QHash<QString, qint64> nextKey, firstKey;

    QSet<qint64> newChats, touchedLines, newLines;
    // The newest message this merge added to each chat, and the largest token.
    struct Newest
    {
        double date = 0;
        qint64 key = 0, token = 0, sender = 0;
        QString text, type;
        QByteArray emoticons;
    };
    QHash<qint64, Newest> newestAdded;
    QHash<qint64, qint64> maxTokenAdded;
    void noteAdded(qint64 chat, Newest n)
    {
        qint64& top = maxTokenAdded[chat];
        top = std::max(top, n.token);
        auto it = newestAdded.find(chat);
        if (it == newestAdded.end() || n.date > it->date || (n.date == it->date && n.key > it->key))
            newestAdded.insert(chat, std::move(n));
    }

    // The store as it was, for verifyThrow.
    QByteArray schemaDigest, metadataDigest;
    QStringList ftsTables; // full-text indexes whose check passed before the merge

    MergeStatements statements;
    enum { MsgByContent, LineCallByTime, FlushBatch, ClearBatch, Count };
    Sqlite3Statement& statement(int which, const QString& sql)
    {
        return statements.get(db, MergeStatements::Which(which), sql);
    }

    bool hasTable(const QString& t) const { return db.schema().containsTable(t); }
    bool hasCol(const QString& t, const QString& c) const { return db.schema().containsCol(t, c); }
    void requireThrow(const char* table, std::initializer_list<const char*> cols) const
    {
        db.schema().requireColumnsThrow(CurrentMerge::L(table), CurrentMerge::names(cols));
    }

    qint64 takeKey(const QString& table)
    {
        qint64& next = nextKey[table];
        firstKey.insert(table, firstKey.value(table, next));
        return next++;
    }
    qint64 nextUid() { return ++uid; }

    // A new row of plan under key: its entity, version 1 and, where the
    // table has one, the next ZUID.
    RowValues newRow(RowPlan& plan, int ent, qint64 key)
    {
        RowValues row(plan);
        row.set(CurrentMerge::ROW_PK, key);
        row.set(CurrentMerge::ROW_ENT, ent);
        row.set(CurrentMerge::ROW_OPT, 1);
        if (row.has(CurrentMerge::ROW_UID))
            row.set(CurrentMerge::ROW_UID, nextUid());
        return row;
    }
    // A new message row of chatKey, which names its chat's entity too.
    RowValues newMessageRow(qint64 key, qint64 chatKey)
    {
        RowValues row = newRow(msgPlan, msgEnt, key);
        row.set(CurrentMerge::M_CHAT, chatKey);
        row.set(CurrentMerge::M_CHATENT, entOfChat.value(chatKey, convEnt));
        return row;
    }

    void messageBatchedThrow()
    {
        if (++batched >= CurrentMerge::kBatchRows)
            flushMessagesThrow();
    }
    void flushMessagesThrow()
    {
        if (batched == 0)
            return;
        statement(FlushBatch, flushSql).execute();
        statement(ClearBatch, QStringLiteral("delete from temp.%1").arg(CurrentMerge::L(CurrentMerge::kMessageBatch))).execute();
        batched = 0;
    }

    QByteArray digestThrow(const QString& sql)
    {
        QCryptographicHash h(QCryptographicHash::Sha256);
        Sqlite3Cursor c = db.queryThrow(sql);
        while (c.moveNext()) {
            for (int i = 0; i < c.colCount(); ++i) {
                const QByteArray v = c.isNull(i) ? QByteArray("\x01null") : c.getBlob(i);
                h.addData(QByteArray::number(v.size()) + ':' + v);
            }
        }
        return h.result();
    }

    void entitiesThrow();
    void plansThrow();
    void lookupsThrow();
    void snapshotThrow();

    qint64 findMemberThrow(const _ViberPerson* p) const;
    qint64 memberKeyThrow(const _ViberPerson* p);
    void joinThrow(qint64 chat, qint64 member);
    qint64 findMessageThrow(qint64 chatKey, const _ViberMsg& m);
    qint64 freeToken(double date, const QByteArray& seed) const;
    qint64 insertLocationThrow(qint64 msgKey, const _ViberMsg& m);
    qint64 insertAttachmentThrow(qint64 msgKey, const _ViberMsg& m);
    qint64 lineKeyThrow(const _ViberPerson* person, double date, const QString& type);
    void summarizeChatsThrow();
    void summarizeLineThrow(qint64 line);
};
