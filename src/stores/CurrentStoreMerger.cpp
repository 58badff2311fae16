#include "stores/CurrentStoreMerger.h"

#include "model/EmojiText.h"
#include "model/Sqlite3Statement.h"
#include "model/ViberTime.h"
#include "shell/Failure.h"
#include "stores/CurrentStoreLayout.h"
#include "stores/IOSMergePlans.h"
#include "stores/IOSViberDb.h"
#include "stores/StorePaths.h"

#include <QCryptographicHash>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>

using namespace CurrentStore;

namespace {
QString L(const char* s)
{
    return QString::fromLatin1(s);
}

QStringList names(std::initializer_list<const char*> cols)
{
    QStringList l;
    for (const char* c : cols)
        l << L(c);
    return l;
}

// A group id of "0" (or none) marks a one-to-one chat.
QString groupOf(const QString& groupId)
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

Identity identityOf(const QString& number)
{
    const QString plain = viberPlainNumber(number.trimmed());
    if (plain.isEmpty())
        return {};
    if (g_isAsciiDigits(plain))
        return {plain, QString()};
    return {QString(), number.trimmed()};
}

// Sorted member keys: the identity of a chat without a group id.
QString memberSetKey(QList<qint64> keys)
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
constexpr char kMessageBatch[] = "ferrowick_new_messages";
constexpr int kBatchRows = 4096;

enum ChatCol { C_PK, C_ENT, C_OPT, C_UID, C_GROUPID, C_NAME, C_PARTNER, C_DATE, C_CONTEXT, C_SMARTSTATE,
               C_SMARTSHOWN, C_ZERO };
enum MemberCol { B_PK, B_ENT, B_OPT, B_UID, B_MEMBERID, B_FULLNAME, B_NAME, B_BLOCKED, B_SYSTEM, B_ACTIVE };
enum PhoneCol { N_PK, N_ENT, N_OPT, N_MEMBER, N_PHONE, N_CANON, N_TYPE };
enum MsgCol { M_PK, M_ENT, M_OPT, M_UID, M_CHAT, M_CHATENT, M_SENDER, M_DATE, M_STATEDATE, M_STATE, M_SYSTYPE, M_TEXT,
              M_TOKEN, M_SEQ, M_ATTA, M_LOC, M_CALLTYPE, M_CALLDURATION, M_EMOTICONS, M_RANGES, M_ZERO };
enum AttaCol { A_PK, A_ENT, A_OPT, A_UID, A_SIZE, A_SEQ, A_DURATION, A_RANGE, A_ID, A_BUCKET, A_NAME, A_FILENAME,
               A_STATE, A_TYPE, A_URL, A_ZERO };
enum LocCol { O_PK, O_ENT, O_OPT, O_UID, O_MSG, O_DATE, O_LAT, O_LON, O_ADDRESS };
enum RecentCol { R_PK, R_ENT, R_OPT, R_TOKEN, R_DURATION, R_MSG, R_LINE, R_DATE, R_TYPE };
enum LineCol { I_PK, I_ENT, I_OPT, I_UID, I_MEMBER, I_NUMBER, I_COUNT, I_DATE, I_TYPE };

// A plan's columns: the named ones, then a list of flags that start at 0.
QStringList withFlags(QStringList cols, const auto& flags)
{
    for (const char* f : flags)
        cols << L(f);
    return cols;
}
} // namespace

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
    QHash<qint64, QString> digitsOfMember;
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

    QSet<qint64> touchedChats, newChats, touchedLines, newLines;

    // The store as it was, for verifyThrow.
    QByteArray schemaDigest, metadataDigest;
    QStringList ftsTables; // full-text indexes whose check passed before the merge

    MergeStatements statements;
    enum { MsgByContent, LineCallByTime, FlushBatch, ClearBatch, Count };
    Sqlite3Statement& statement(int which, const QString& sql)
    {
        return statements.get(db, MergeStatements::Which(which), sql);
    }

    bool hasTable(const QString& t) const { return db.schema.containsTable(t); }
    bool hasCol(const QString& t, const QString& c) const { return db.schema.containsCol(t, c); }
    void requireThrow(const char* table, std::initializer_list<const char*> cols) const
    {
        db.schema.requireColumnsThrow(L(table), names(cols));
    }

    qint64 takeKey(const QString& table)
    {
        qint64& next = nextKey[table];
        firstKey.insert(table, firstKey.value(table, next));
        return next++;
    }
    qint64 nextUid() { return ++uid; }

    void messageBatchedThrow()
    {
        if (++batched >= kBatchRows)
            flushMessagesThrow();
    }
    void flushMessagesThrow()
    {
        if (batched == 0)
            return;
        statement(FlushBatch, flushSql).execute();
        statement(ClearBatch, QStringLiteral("delete from temp.%1").arg(L(kMessageBatch))).execute();
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
    void summarizeChatThrow(qint64 chat);
    void summarizeLineThrow(qint64 line);
};

CurrentStoreMerger::CurrentStoreMerger(IOSViberDb& db) : d(std::make_unique<Impl>(db)) {}

CurrentStoreMerger::~CurrentStoreMerger() = default;

qint64 CurrentStoreMerger::tokenForTime(double date, quint32 low)
{
    constexpr qint64 kHighMax = (qint64(1) << (63 - kTokenTimeShift)) - 1;
    const qint64 high = std::clamp<qint64>(unixepochMsecFromDt21(date) - kTokenEpochMs, 0, kHighMax);
    return (high << kTokenTimeShift) | qint64(low & ((1U << kTokenTimeShift) - 1));
}

qint64 CurrentStoreMerger::tokenTimeMs(qint64 token)
{
    return (token >> kTokenTimeShift) + kTokenEpochMs;
}

void CurrentStoreMerger::Impl::entitiesThrow()
{
    auto ent = [&](const char* name, bool required) {
        const int e = db.entities.value(L(name));
        if (e <= 0 && required)
            g_raise(QStringLiteral("The Viber store names no entity %1 in %2; nothing was changed.")
                        .arg(L(name), L(PrimaryKey::kTable)));
        return e;
    };
    convEnt = ent(kConversationEntity, true);
    memberEnt = ent(kMemberEntity, true);
    phoneEnt = ent(kPhoneNumberEntity, true);
    msgEnt = ent(kMessageEntity, true);
    attaEnt = ent(kAttachmentEntity, true);
    locEnt = ent(kLocationEntity, true);
    recentEnt = ent(kRecentEntity, true);
    lineEnt = ent(kRecentsLineEntity, true);

    joinTable = L(Chat::kJoinTable).arg(convEnt);
    joinChatCol = L(Chat::kJoinChatCol).arg(convEnt);
    joinMemberCol = QString(L(Chat::kJoinMemberCol)).replace(QStringLiteral("%2"), QString::number(memberEnt));
    attaJoinTable = L(Attachment::kJoinTable).arg(attaEnt);
    attaJoinAttaCol = L(Attachment::kJoinAttachmentCol).arg(attaEnt);
    attaJoinMsgCol = QString(L(Attachment::kJoinMessageCol)).replace(QStringLiteral("%2"), QString::number(msgEnt));
    attaJoinOrderCol = L(Attachment::kJoinOrderCol).arg(attaEnt);
    // The attachment's join table is optional; when present it must take
    // both links, or it would be left behind by new rows.
    if (!hasTable(attaJoinTable))
        attaJoinTable.clear();
    else
        db.schema.requireColumnsThrow(attaJoinTable, {attaJoinAttaCol, attaJoinMsgCol});
}

void CurrentStoreMerger::Impl::plansThrow()
{
    requireThrow(PrimaryKey::kTable, {PrimaryKey::kEnt, PrimaryKey::kName, PrimaryKey::kMax});
    requireThrow(Chat::kTable, {kPk, kEnt, kOpt, Chat::kGroupId, Chat::kDate});
    requireThrow(Member::kTable, {kPk, kEnt, kOpt});
    requireThrow(PhoneNumber::kTable, {kPk, kEnt, kOpt, PhoneNumber::kMember, PhoneNumber::kCanonical});
    requireThrow(Message::kTable, {kPk, kEnt, kOpt, Message::kChat, Message::kSender, Message::kDate, Message::kState,
                                   Message::kText, Message::kToken, Message::kAttachment, Message::kLocation});
    requireThrow(Attachment::kTable, {kPk, kEnt, kOpt, Attachment::kType, Attachment::kName});
    requireThrow(Location::kTable, {kPk, kEnt, kOpt, Location::kLatitude, Location::kLongitude});
    requireThrow(Recent::kTable, {kPk, kEnt, kOpt, Recent::kToken, Recent::kLine, Recent::kDate, Recent::kCallType,
                                  Recent::kDuration});
    requireThrow(RecentsLine::kTable, {kPk, kEnt, kOpt, RecentsLine::kMember});
    db.schema.requireColumnsThrow(joinTable, {joinChatCol, joinMemberCol});

    const DbSchema& s = db.schema;
    QStringList chatCols = withFlags(names({kPk, kEnt, kOpt, kUid, Chat::kGroupId, Chat::kName, Chat::kInterlocutor,
                                            Chat::kDate, "ZCONTEXT", "ZSMARTSTATE", "ZSMARTNOTIFICATIONSHOWN"}),
                                     Chat::kZeroFlags);
    chatFlags = int(std::size(Chat::kZeroFlags));
    chatPlan = RowPlan(s, L(Chat::kTable), chatCols);
    memberPlan = RowPlan(s, L(Member::kTable),
                         names({kPk, kEnt, kOpt, kUid, Member::kMemberId, Member::kFullName, Member::kName,
                                Member::kIsBlocked, Member::kIsSystem, Member::kIsActive}));
    phonePlan = RowPlan(s, L(PhoneNumber::kTable),
                        names({kPk, kEnt, kOpt, PhoneNumber::kMember, PhoneNumber::kPhone, PhoneNumber::kCanonical,
                               PhoneNumber::kType}));
    QStringList msgCols = withFlags(names({kPk, kEnt, kOpt, kUid, Message::kChat, "", Message::kSender, Message::kDate,
                                           Message::kStateDate, Message::kState, Message::kSystemType, Message::kText,
                                           Message::kToken, Message::kSeq, Message::kAttachment, Message::kLocation,
                                           Message::kCallType, Message::kCallDuration, Message::kEmoticons,
                                           Message::kRanges}),
                                    Message::kZeroFlags);
    msgCols[M_CHATENT] = L(Message::kChatEntity).arg(convEnt);
    msgFlags = int(std::size(Message::kZeroFlags));
    // New messages gather in a scratch table of the connection (not of the
    // store) and go in a batch at a time: the search index flushes its
    // pending terms at every statement that writes it, so a statement per
    // message would write a segment per message.
    db.executeThrow(QStringLiteral("drop table if exists temp.%1").arg(L(kMessageBatch)));
    db.executeThrow(QStringLiteral("create temp table %1 as select * from main.%2 where 0")
                        .arg(L(kMessageBatch), L(Message::kTable)));
    QStringList all;
    for (const _SqliteCol& c : db.tbCols(L(Message::kTable)))
        all << g_sqlQuoteIdent(c.name);
    flushSql = QStringLiteral("insert into main.%1 (%2) select %2 from temp.%3 order by %4")
                   .arg(L(Message::kTable), all.join(u','), L(kMessageBatch), L(kPk));
    msgPlan = RowPlan(s, L(Message::kTable), msgCols, QStringLiteral("temp.") + L(kMessageBatch));
    attaFlags = int(std::size(Attachment::kZeroFlags));
    attaPlan = RowPlan(s, L(Attachment::kTable),
                       withFlags(names({kPk, kEnt, kOpt, kUid, Attachment::kFileSize, Attachment::kSeq,
                                        Attachment::kDuration, Attachment::kRange, Attachment::kMediaId,
                                        Attachment::kBucket, Attachment::kName, Attachment::kFileName,
                                        Attachment::kState, Attachment::kType, Attachment::kUrl}),
                                 Attachment::kZeroFlags));
    locPlan = RowPlan(s, L(Location::kTable),
                      names({kPk, kEnt, kOpt, kUid, Location::kMessage, Location::kDate, Location::kLatitude,
                             Location::kLongitude, Location::kAddress}));
    recentPlan = RowPlan(s, L(Recent::kTable),
                         names({kPk, kEnt, kOpt, Recent::kToken, Recent::kDuration, Recent::kCallMessage, Recent::kLine,
                                Recent::kDate, Recent::kCallType}));
    linePlan = RowPlan(s, L(RecentsLine::kTable),
                       names({kPk, kEnt, kOpt, kUid, RecentsLine::kMember, RecentsLine::kNumber, RecentsLine::kCount,
                              RecentsLine::kDate, RecentsLine::kCallType}));
}

void CurrentStoreMerger::Impl::lookupsThrow()
{
    // Keys go on from the larger of the table's largest key and the
    // entity's counter: Core Data hands out keys above Z_MAX.
    const QList<std::pair<const char*, const char*>> tables{
        {Chat::kTable, kConversationEntity},  {Member::kTable, kMemberEntity},
        {PhoneNumber::kTable, kPhoneNumberEntity}, {Message::kTable, kMessageEntity},
        {Attachment::kTable, kAttachmentEntity}, {Location::kTable, kLocationEntity},
        {Recent::kTable, kRecentEntity},      {RecentsLine::kTable, kRecentsLineEntity}};
    for (const auto& [table, entity] : tables) {
        qint64 largest = 0;
        Sqlite3Cursor c = db.queryThrow(Sqlite3Sql(QStringLiteral("select max(%1) from %2").arg(L(kPk), L(table))));
        if (c.moveNext())
            largest = c.getInt64(0);
        Sqlite3Cursor m = db.queryThrow(Sqlite3Sql(QStringLiteral("select max(%1) from %2 where %3=?")
                                                       .arg(L(PrimaryKey::kMax), L(PrimaryKey::kTable),
                                                            L(PrimaryKey::kName)))
                                            .addTextParam(L(entity)));
        if (m.moveNext())
            largest = std::max(largest, m.getInt64(0));
        nextKey.insert(L(table), largest + 1);
    }
    for (const DbSchemaTable& t : db.schema.tables()) {
        if (!t.containsCol(L(kUid)) || t.name.startsWith(u"sqlite_"))
            continue;
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select max(%1) from %2").arg(L(kUid), g_sqlQuoteIdent(t.name)));
        if (c.moveNext())
            uid = std::max(uid, c.getInt64(0));
    }

    {
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select %1, %2, %3 from %4")
                                            .arg(L(PhoneNumber::kMember), L(PhoneNumber::kCanonical),
                                                 L(PhoneNumber::kPhone), L(PhoneNumber::kTable)));
        while (c.moveNext()) {
            const qint64 member = c.getInt64(0);
            QString digits = viberPlainNumber(c.getText(1).trimmed());
            if (!g_isAsciiDigits(digits))
                digits = viberPlainNumber(c.getText(2).trimmed());
            if (member > 0 && g_isAsciiDigits(digits) && !memberOfDigits.contains(digits)) {
                memberOfDigits.insert(digits, member);
                if (!digitsOfMember.contains(member))
                    digitsOfMember.insert(member, digits);
            }
        }
    }
    if (hasCol(L(Member::kTable), L(Member::kMemberId))) {
        Sqlite3Cursor c = db.queryThrow(
            QStringLiteral("select %1, %2 from %3").arg(L(kPk), L(Member::kMemberId), L(Member::kTable)));
        while (c.moveNext()) {
            const QString id = c.getText(1).trimmed();
            if (!id.isEmpty() && !memberOfId.contains(id))
                memberOfId.insert(id, c.getInt64(0));
        }
    }

    // Chats: by group id, else by who is in them. A chat the app is about
    // to delete is no place for messages.
    QHash<qint64, QList<qint64>> membersOf;
    {
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select %1, %2 from %3").arg(joinChatCol, joinMemberCol, joinTable));
        while (c.moveNext()) {
            joined.insert({c.getInt64(0), c.getInt64(1)});
            membersOf[c.getInt64(0)] << c.getInt64(1);
        }
    }
    {
        const bool partnerCol = hasCol(L(Chat::kTable), L(Chat::kInterlocutor));
        const bool deletedCol = hasCol(L(Chat::kTable), L(kBeingDeleted));
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select %1, %2, %3, %4, %5, %6 from %7")
                                            .arg(L(kPk), L(kEnt), L(Chat::kGroupId), L(Chat::kName),
                                                 partnerCol ? L(Chat::kInterlocutor) : QStringLiteral("0"),
                                                 deletedCol ? L(kBeingDeleted) : QStringLiteral("0"), L(Chat::kTable)));
        while (c.moveNext()) {
            const qint64 pk = c.getInt64(0);
            entOfChat.insert(pk, c.getInt(1) > 0 ? c.getInt(1) : convEnt);
            if (c.getInt64(5) == 1)
                continue;
            const QString group = groupOf(c.getText(2));
            if (!group.isEmpty()) {
                if (!chatOfGroup.contains(group))
                    chatOfGroup.insert(group, pk);
                continue;
            }
            QList<qint64> members = membersOf.value(pk);
            if (c.getInt64(4) > 0)
                members << c.getInt64(4);
            const QString key = memberSetKey(members);
            if (key.isEmpty()) {
                if (!chatOfName.contains(c.getText(3)))
                    chatOfName.insert(c.getText(3), pk);
            } else if (!chatOfMembers.contains(key)) {
                chatOfMembers.insert(key, pk);
            }
        }
    }
    {
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select %1, %2 from %3 where %2 is not null and %2 != 0")
                                            .arg(L(kPk), L(Message::kToken), L(Message::kTable)));
        while (c.moveNext())
            msgOfToken.insert(c.getInt64(1), c.getInt64(0));
    }
    {
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select %1, %2 from %3 where %1 is not null and %1 != 0")
                                            .arg(L(Recent::kToken), L(Recent::kCallType), L(Recent::kTable)));
        while (c.moveNext())
            callKindsOfToken[c.getInt64(0)] << g_callTypeOfText(c.getUtf8(1));
    }
    {
        const bool numberCol = hasCol(L(RecentsLine::kTable), L(RecentsLine::kNumber));
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select %1, %2, %3 from %4 order by %1")
                                            .arg(L(kPk), L(RecentsLine::kMember),
                                                 numberCol ? L(RecentsLine::kNumber) : QStringLiteral("''"),
                                                 L(RecentsLine::kTable)));
        while (c.moveNext()) {
            const qint64 member = c.getInt64(1);
            if (member > 0) {
                if (!lineOfMember.contains(member))
                    lineOfMember.insert(member, c.getInt64(0));
                continue;
            }
            const QString digits = viberPlainNumber(c.getText(2));
            if (g_isAsciiDigits(digits) && !lineOfDigits.contains(digits))
                lineOfDigits.insert(digits, c.getInt64(0));
        }
    }
}

void CurrentStoreMerger::Impl::snapshotThrow()
{
    schemaDigest = digestThrow(QStringLiteral("select type, name, tbl_name, sql from sqlite_master order by type, name"));
    if (hasTable(QStringLiteral("Z_METADATA")))
        metadataDigest = digestThrow(QStringLiteral("select * from Z_METADATA order by 1"));
    // A full-text index the app left inconsistent is not ours to judge: only
    // an index that passes its check now must pass it afterwards.
    ftsTables.clear();
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select name, sql from sqlite_master where type='table' and "
                                                   "sql like 'CREATE VIRTUAL TABLE%'"));
    QStringList candidates;
    while (c.moveNext()) {
        const QString sql = c.getText(1).toLower();
        if (sql.contains(QLatin1String("using fts3")) || sql.contains(QLatin1String("using fts4")))
            candidates << c.getText(0);
    }
    for (const QString& t : std::as_const(candidates)) {
        try {
            db.executeThrow(QStringLiteral("insert into %1(%1) values('integrity-check')").arg(g_sqlQuoteIdent(t)));
            ftsTables << t;
        } catch (const std::exception& e) {
            qWarning("The store's full-text index %s fails its check before the merge: %s", qUtf8Printable(t), e.what());
        }
    }
}

void CurrentStoreMerger::prepareThrow()
{
    d->db.openCheckThrow();
    if (!d->db.isCurrentLayout())
        g_raise(QStringLiteral("CurrentStoreMerger: the store is not of today's layout."));
    d->entitiesThrow();
    d->plansThrow();
    d->lookupsThrow();
    d->snapshotThrow();
}

qint64 CurrentStoreMerger::Impl::findMemberThrow(const _ViberPerson* p) const
{
    if (!p)
        return 0;
    const Identity id = identityOf(p->number);
    if (!id.digits.isEmpty())
        return memberOfDigits.value(id.digits);
    if (!id.memberId.isEmpty())
        return memberOfId.value(id.memberId);
    return 0;
}

qint64 CurrentStoreMerger::Impl::memberKeyThrow(const _ViberPerson* p)
{
    if (!p)
        return 0;
    if (const qint64 known = findMemberThrow(p))
        return known;
    const Identity id = identityOf(p->number);
    if (id.isEmpty())
        return 0; // nobody to name: the message keeps no sender
    const qint64 key = takeKey(memberPlan.table());
    RowValues row(memberPlan);
    row.set(B_PK, key);
    row.set(B_ENT, memberEnt);
    row.set(B_OPT, 1);
    if (row.has(B_UID))
        row.set(B_UID, nextUid());
    if (!id.memberId.isEmpty())
        row.set(B_MEMBERID, id.memberId);
    // The phone's store keeps the names it shows: without them every
    // transferred person would be a bare number there.
    const QString name = p->name.trimmed();
    if (!name.isEmpty()) {
        row.set(B_FULLNAME, name);
        row.set(B_NAME, name);
    }
    row.set(B_BLOCKED, 0);
    row.set(B_SYSTEM, 0);
    row.set(B_ACTIVE, 1);
    row.insertThrow(db);
    if (!id.digits.isEmpty()) {
        RowValues phone(phonePlan);
        phone.set(N_PK, takeKey(phonePlan.table()));
        phone.set(N_ENT, phoneEnt);
        phone.set(N_OPT, 1);
        phone.set(N_MEMBER, key);
        phone.set(N_PHONE, u'+' + id.digits);
        phone.set(N_CANON, id.digits);
        phone.set(N_TYPE, L(PhoneNumber::kViberType));
        phone.insertThrow(db);
        memberOfDigits.insert(id.digits, key);
        digitsOfMember.insert(key, id.digits);
    } else {
        memberOfId.insert(id.memberId, key);
    }
    return key;
}

void CurrentStoreMerger::Impl::joinThrow(qint64 chat, qint64 member)
{
    if (chat <= 0 || member <= 0 || joined.contains({chat, member}))
        return;
    db.executeThrow(Sqlite3Sql(QStringLiteral("insert into %1 (%2, %3) values (?, ?)").arg(joinTable, joinChatCol, joinMemberCol))
                        .addInt64Param(chat)
                        .addInt64Param(member));
    joined.insert({chat, member});
}

qint64 CurrentStoreMerger::chatKeyThrow(const _ViberChat* chat)
{
    if (!chat)
        return 0;
    const QString group = groupOf(chat->groupId);
    QList<qint64> members;
    bool allKnown = true;
    for (const _ViberPerson* p : chat->members) {
        const qint64 k = d->findMemberThrow(p);
        if (k > 0)
            members << k;
        else if (p && !identityOf(p->number).isEmpty())
            allKnown = false;
    }
    qint64 key = 0;
    if (!group.isEmpty())
        key = d->chatOfGroup.value(group);
    else if (!allKnown)
        key = 0;
    else if (members.isEmpty())
        key = d->chatOfName.value(chat->name);
    else
        key = d->chatOfMembers.value(memberSetKey(members));

    members.clear();
    for (const _ViberPerson* p : chat->members) {
        if (const qint64 k = d->memberKeyThrow(p))
            members << k;
    }
    if (key == 0) {
        const QHash<QString, QVariant> bag = chat->unserOthers();
        key = d->takeKey(d->chatPlan.table());
        RowValues row(d->chatPlan);
        row.set(C_PK, key);
        row.set(C_ENT, d->convEnt);
        row.set(C_OPT, 1);
        if (row.has(C_UID))
            row.set(C_UID, d->nextUid());
        if (!group.isEmpty())
            row.set(C_GROUPID, group);
        if (!chat->name.isEmpty())
            row.set(C_NAME, chat->name);
        if (group.isEmpty() && members.size() == 1)
            row.set(C_PARTNER, members.constFirst());
        row.set(C_DATE, chat->date);
        row.set(C_CONTEXT, bag.value(QStringLiteral("ZCONTEXT")).toLongLong());
        row.set(C_SMARTSTATE, bag.value(QStringLiteral("ZSMARTSTATE")).toInt());
        row.set(C_SMARTSHOWN, bag.value(QStringLiteral("ZSMARTNOTIFICATIONSHOWN")).toInt());
        for (int i = 0; i < d->chatFlags; ++i)
            row.set(C_ZERO + i, 0);
        row.insertThrow(d->db);
        d->entOfChat.insert(key, d->convEnt);
        d->newChats.insert(key);
        if (!group.isEmpty())
            d->chatOfGroup.insert(group, key);
        else if (members.isEmpty())
            d->chatOfName.insert(chat->name, key);
        else
            d->chatOfMembers.insert(memberSetKey(members), key);
    }
    for (qint64 member : std::as_const(members))
        d->joinThrow(key, member);
    return key;
}

qint64 CurrentStoreMerger::Impl::findMessageThrow(qint64 chatKey, const _ViberMsg& m)
{
    if (m.token != 0)
        return msgOfToken.value(m.token);
    // Without a token, time alone would fold different messages of the same
    // minute into one: the same chat, text, place and attachment are needed
    // too. A voice attachment is stored under its own key, so its length
    // stands in for its name.
    flushMessagesThrow(); // the look-up must see every message added so far
    const qint64 s = g_wholeSeconds(m.date);
    const bool voice = m.type == MSG_TYPE_AUDIO;
    Sqlite3Statement& q = statement(
        MsgByContent,
        QStringLiteral("select v.%1 from %2 as v left join %3 as a on a.%1=v.%4 left join %5 as l on l.%1=v.%6 "
                       "where v.%7=? and v.%8 between ? and ? and coalesce(v.%9,'')=? and coalesce(l.%10,0)=? and "
                       "coalesce(l.%11,0)=? and coalesce(a.%12,'')=? and "
                       "(case when ? then coalesce(a.%13,0)=? else coalesce(a.%14,'')=? end) "
                       "order by abs(v.%8-?) limit 1")
            .arg(L(kPk), L(Message::kTable), L(Attachment::kTable), L(Message::kAttachment), L(Location::kTable),
                 L(Message::kLocation), L(Message::kChat), L(Message::kDate), L(Message::kText))
            .arg(L(Location::kLatitude), L(Location::kLongitude), L(Attachment::kType), L(Attachment::kDuration),
                 L(Attachment::kName)));
    Resetting done{q};
    const bool located = m.latitude != 0 && m.longitude != 0;
    q.bindInt64(1, chatKey)
        .bindInt64(2, s - 60)
        .bindInt64(3, s + 60)
        .bindText(4, m.text)
        .bindDouble(5, located ? m.latitude : 0.0)
        .bindDouble(6, located ? m.longitude : 0.0)
        .bindText(7, m.atta ? g_iosAttachmentTypeText(m.type) : QString())
        .bindInt64(8, voice ? 1 : 0)
        .bindDouble(9, m.atta ? m.atta->duration : 0.0)
        .bindText(10, m.atta ? m.atta->name : QString())
        .bindDouble(11, m.date);
    return q.step() ? q.int64(0) : 0;
}

qint64 CurrentStoreMerger::Impl::freeToken(double date, const QByteArray& seed) const
{
    // Low bits from the content, so that the same message gets the same
    // token wherever there is room, then the next free one.
    quint32 low = quint32(qHash(seed, 0x5eed)) & ((1U << kTokenTimeShift) - 1);
    for (quint32 i = 0; i < (1U << kTokenTimeShift); ++i) {
        const qint64 token = tokenForTime(date, low + i);
        if (token != 0 && !msgOfToken.contains(token))
            return token;
    }
    g_raise(QStringLiteral("No free message id is left at %1.").arg(date));
}

qint64 CurrentStoreMerger::addMessageThrow(qint64 chatKey, const _ViberMsg& m, qint64& attaKey)
{
    attaKey = 0;
    if (chatKey <= 0)
        return 0;
    // A group message received from nobody cannot be shown; a message in no
    // state we know is no message the app could show either.
    if (!m.person && m.chat && !groupOf(m.chat->groupId).isEmpty() && m.state == MSG_STATE_RECEIVED &&
        m.type != MSG_TYPE_SYSTEM)
        return 0;
    const QString state = IOSViberDb::IOSToViberStateString(ViberMsgState(m.state));
    if (state.isEmpty())
        return 0;
    if (d->findMessageThrow(chatKey, m) != 0)
        return 0;

    const qint64 token =
        m.token != 0 ? m.token
                     : d->freeToken(m.date, m.text.toUtf8() + QByteArray::number(chatKey) + QByteArray::number(m.type));
    const qint64 key = d->takeKey(d->msgPlan.table());
    const qint64 sender = m.person ? d->memberKeyThrow(m.person) : 0;
    const qint64 locKey = m.latitude != 0 && m.longitude != 0 ? d->insertLocationThrow(key, m) : 0;
    attaKey = m.atta ? d->insertAttachmentThrow(key, m) : 0;

    RowValues row(d->msgPlan);
    const QHash<QString, QVariant> bag = m.unserOthers();
    row.set(M_PK, key);
    row.set(M_ENT, d->msgEnt);
    row.set(M_OPT, 1);
    if (row.has(M_UID))
        row.set(M_UID, d->nextUid());
    row.set(M_CHAT, chatKey);
    row.set(M_CHATENT, d->entOfChat.value(chatKey, d->convEnt));
    if (sender > 0)
        row.set(M_SENDER, sender);
    row.set(M_DATE, m.date);
    row.set(M_STATEDATE, m.stateDate);
    row.set(M_STATE, state);
    if (m.systemType == SYS_MEMBER_ADDED)
        row.set(M_SYSTYPE, QStringLiteral("systemMemberAdded"));
    else if (m.systemType == SYS_NAME_CHANGED)
        row.set(M_SYSTYPE, QStringLiteral("systemNameChanged"));
    else if (m.type == MSG_TYPE_LOCATION)
        row.set(M_SYSTYPE, QStringLiteral("customLocation"));
    row.set(M_TEXT, m.text);
    row.set(M_TOKEN, token);
    row.set(M_SEQ, m.seq);
    if (attaKey > 0)
        row.set(M_ATTA, attaKey);
    if (locKey > 0)
        row.set(M_LOC, locKey);
    QByteArray emoticons = bag.value(L(Message::kEmoticons)).toByteArray();
    if (emoticons.isEmpty() && row.has(M_EMOTICONS))
        emoticons = viber_emoji_ranges(m.text);
    if (!emoticons.isEmpty())
        row.set(M_EMOTICONS, emoticons);
    const QByteArray ranges = bag.value(L(Message::kRanges)).toByteArray();
    if (!ranges.isEmpty())
        row.set(M_RANGES, ranges);
    for (int i = 0; i < d->msgFlags; ++i)
        row.set(M_ZERO + i, 0);
    row.insertThrow(d->db);
    d->messageBatchedThrow();

    if (attaKey > 0 && !d->attaJoinTable.isEmpty()) {
        const bool ordered = d->hasCol(d->attaJoinTable, d->attaJoinOrderCol);
        Sqlite3Sql sql(QStringLiteral("insert into %1 (%2, %3%4) values (?, ?%5)")
                           .arg(d->attaJoinTable, d->attaJoinAttaCol, d->attaJoinMsgCol,
                                ordered ? QStringLiteral(", ") + d->attaJoinOrderCol : QString(), ordered ? QStringLiteral(", 1") : QString()));
        d->db.executeThrow(sql.addInt64Param(attaKey).addInt64Param(key));
    }
    d->msgOfToken.insert(token, key);
    d->touchedChats.insert(chatKey);
    return key;
}

qint64 CurrentStoreMerger::Impl::insertLocationThrow(qint64 msgKey, const _ViberMsg& m)
{
    const qint64 key = takeKey(locPlan.table());
    RowValues row(locPlan);
    row.set(O_PK, key);
    row.set(O_ENT, locEnt);
    row.set(O_OPT, 1);
    if (row.has(O_UID))
        row.set(O_UID, nextUid());
    row.set(O_MSG, msgKey);
    row.set(O_DATE, m.date);
    row.set(O_LAT, m.latitude);
    row.set(O_LON, m.longitude);
    if (!m.address.isEmpty())
        row.set(O_ADDRESS, m.address);
    row.insertThrow(db);
    return key;
}

qint64 CurrentStoreMerger::Impl::insertAttachmentThrow(qint64 msgKey, const _ViberMsg& m)
{
    Q_UNUSED(msgKey);
    const _ViberAtta* a = m.atta;
    const QHash<QString, QVariant> bag = a->unserOthers();
    const qint64 key = takeKey(attaPlan.table());
    RowValues row(attaPlan);
    row.set(A_PK, key);
    row.set(A_ENT, attaEnt);
    row.set(A_OPT, 1);
    if (row.has(A_UID))
        row.set(A_UID, nextUid());
    row.set(A_SIZE, a->fileSize);
    row.set(A_SEQ, a->seq);
    if (m.type == MSG_TYPE_AUDIO || m.type == MSG_TYPE_VIDEO)
        row.set(A_DURATION, a->duration);
    const qint64 range = bag.value(L(Attachment::kRange)).toLongLong();
    row.set(A_RANGE, range >= 1 ? range : a->fileSize);
    // A voice message is stored under its own key: the transfer writes its
    // file as VoiceMessages/<key>.
    const QString name = m.type == MSG_TYPE_AUDIO ? QString::number(key) : a->name;
    const QString mediaId = m.type == MSG_TYPE_AUDIO ? name : a->mediaId;
    if (!mediaId.isEmpty())
        row.set(A_ID, mediaId);
    if (!name.isEmpty()) {
        row.set(A_NAME, name);
        row.set(A_FILENAME, name);
    }
    if (m.type == MSG_TYPE_IMAGE)
        row.set(A_BUCKET, QStringLiteral("Share") + dtFromTimestamp(m.date).toString(QStringLiteral("yyyy-MM-dd")));
    else if (!a->bucket.isEmpty())
        row.set(A_BUCKET, a->bucket);
    const QString state = bag.value(L(Attachment::kState)).toString();
    row.set(A_STATE, state.isEmpty() ? QStringLiteral("complite") : state);
    const QString type = g_iosAttachmentTypeText(m.type);
    if (!type.isEmpty())
        row.set(A_TYPE, type);
    // A link into the photo library of another phone leads nowhere here.
    const QString url = bag.value(L(Attachment::kUrl)).toString();
    if (!url.isEmpty() && a->iosAssetUID().isEmpty())
        row.set(A_URL, url);
    for (int i = 0; i < attaFlags; ++i)
        row.set(A_ZERO + i, 0);
    row.insertThrow(db);
    return key;
}

qint64 CurrentStoreMerger::Impl::lineKeyThrow(const _ViberPerson* person, double date, const QString& type)
{
    const qint64 member = memberKeyThrow(person);
    const QString digits = identityOf(person->number).digits;
    qint64 line = member > 0 ? lineOfMember.value(member) : 0;
    if (line == 0 && !digits.isEmpty())
        line = lineOfDigits.value(digits);
    if (line > 0)
        return line;
    line = takeKey(linePlan.table());
    RowValues row(linePlan);
    row.set(I_PK, line);
    row.set(I_ENT, lineEnt);
    row.set(I_OPT, 1);
    if (row.has(I_UID))
        row.set(I_UID, nextUid());
    if (member > 0)
        row.set(I_MEMBER, member);
    if (!digits.isEmpty())
        row.set(I_NUMBER, u'+' + digits);
    row.set(I_COUNT, 0);
    row.set(I_DATE, date);
    row.set(I_TYPE, type);
    row.insertThrow(db);
    newLines.insert(line);
    if (member > 0)
        lineOfMember.insert(member, line);
    else if (!digits.isEmpty())
        lineOfDigits.insert(digits, line);
    return line;
}

bool CurrentStoreMerger::addCallThrow(qint64 chatKey, const _ViberCall& call)
{
    const QString type = g_iosCallTypeText(call.type, call.video);
    if (!call.person || type.isEmpty() || identityOf(call.person->number).isEmpty())
        return false;
    if (call.token != 0) {
        for (int kind : d->callKindsOfToken.value(call.token)) {
            if (kind == call.type)
                return false;
        }
    }
    const qint64 line = d->lineKeyThrow(call.person, call.date, type);
    if (call.token == 0) {
        // Without a token only the same call of the same line is the same:
        // its time (within a minute), kind and duration, whether the store's
        // copy has a token or not.
        const qint64 s = g_wholeSeconds(call.date);
        Sqlite3Statement& q = d->statement(
            Impl::LineCallByTime, QStringLiteral("select %1 from %2 where %3=? and %4=? and %5 between ? and ? and %6=?")
                                      .arg(L(kPk), L(Recent::kTable), L(Recent::kCallType), L(Recent::kLine),
                                           L(Recent::kDate), L(Recent::kDuration)));
        Resetting done{q};
        q.bindText(1, type).bindInt64(2, line).bindInt64(3, s - 60).bindInt64(4, s + 60).bindInt64(5, call.duration);
        if (q.step())
            return false;
    }

    // The call's entry in its chat, as the app writes one.
    qint64 msgKey = 0;
    if (chatKey > 0) {
        const qint64 token = call.token != 0 && !d->msgOfToken.contains(call.token)
                                 ? call.token
                                 : d->freeToken(call.date, type.toUtf8() + QByteArray::number(call.duration));
        msgKey = d->takeKey(d->msgPlan.table());
        const qint64 member = d->memberKeyThrow(call.person);
        RowValues row(d->msgPlan);
        row.set(M_PK, msgKey);
        row.set(M_ENT, d->msgEnt);
        row.set(M_OPT, 1);
        if (row.has(M_UID))
            row.set(M_UID, d->nextUid());
        row.set(M_CHAT, chatKey);
        row.set(M_CHATENT, d->entOfChat.value(chatKey, d->convEnt));
        if (call.type != CALL_OUTGOING && member > 0)
            row.set(M_SENDER, member);
        row.set(M_DATE, call.date);
        row.set(M_STATEDATE, call.date);
        row.set(M_STATE, call.type == CALL_OUTGOING ? QStringLiteral("delivered") : QStringLiteral("received"));
        row.set(M_TEXT, QString());
        row.set(M_TOKEN, token);
        row.set(M_SEQ, 0);
        row.set(M_CALLTYPE, type);
        row.set(M_CALLDURATION, call.duration);
        for (int i = 0; i < d->msgFlags; ++i)
            row.set(M_ZERO + i, 0);
        row.insertThrow(d->db);
        d->messageBatchedThrow();
        d->msgOfToken.insert(token, msgKey);
        d->touchedChats.insert(chatKey);
    }

    RowValues row(d->recentPlan);
    row.set(R_PK, d->takeKey(d->recentPlan.table()));
    row.set(R_ENT, d->recentEnt);
    row.set(R_OPT, 1);
    row.set(R_TOKEN, call.token);
    row.set(R_DURATION, call.duration);
    if (msgKey > 0)
        row.set(R_MSG, msgKey);
    row.set(R_LINE, line);
    row.set(R_DATE, call.date);
    row.set(R_TYPE, type);
    row.insertThrow(d->db);
    if (call.token != 0)
        d->callKindsOfToken[call.token] << call.type;
    d->touchedLines.insert(line);
    return true;
}

void CurrentStoreMerger::Impl::summarizeChatThrow(qint64 chat)
{
    const QString table = L(Message::kTable);
    const bool deletedCol = hasCol(table, L(kBeingDeleted));
    auto col = [&](const char* name) { return hasCol(table, L(name)) ? L(name) : QStringLiteral("NULL"); };
    Sqlite3Cursor c = db.queryThrow(
        Sqlite3Sql(QStringLiteral("select %1, %2, %3, %4, %5, %6, %7, %8, (select a.%9 from %10 as a where a.%1=m.%11) "
                                  "from %12 as m where m.%13=? %14 order by m.%2 desc, m.%1 desc limit 1")
                       .arg(L(kPk), L(Message::kDate), L(Message::kToken), L(Message::kSender), L(Message::kText),
                            col(Message::kSystemType), col(Message::kCallType), col(Message::kEmoticons),
                            L(Attachment::kType))
                       .arg(L(Attachment::kTable), L(Message::kAttachment), table, L(Message::kChat),
                            deletedCol ? QStringLiteral("and coalesce(m.%1,0)=0").arg(L(kBeingDeleted)) : QString()))
            .addInt64Param(chat));
    if (!c.moveNext())
        return;
    const qint64 newest = c.getInt64(0);
    // The summary is the app's while its own message stays the newest.
    if (!newChats.contains(chat) && newest < firstKey.value(table, nextKey.value(table)))
        return;
    qint64 maxToken = 0;
    {
        Sqlite3Cursor t = db.queryThrow(Sqlite3Sql(QStringLiteral("select max(%1) from %2 where %3=?")
                                                       .arg(L(Message::kToken), table, L(Message::kChat)))
                                            .addInt64Param(chat));
        if (t.moveNext())
            maxToken = t.getInt64(0);
    }
    const QString sys = c.getText(5), call = c.getText(6), attaType = c.getText(8);
    const QString type = !call.isEmpty() ? call : !sys.isEmpty() ? sys : !attaType.isEmpty() ? attaType : QStringLiteral("text");
    const QString chatTable = L(Chat::kTable);
    QStringList sets{QStringLiteral("%1=?").arg(L(Chat::kDate))};
    QVariantList values{c.getDouble(1)};
    auto add = [&](const char* name, const QVariant& v) {
        if (hasCol(chatTable, L(name))) {
            sets << QStringLiteral("%1=?").arg(L(name));
            values << v;
        }
    };
    add(Chat::kLastToken, c.getInt64(2));
    add(Chat::kMaxToken, maxToken);
    add(Chat::kLastSender, c.getInt64(3) > 0 ? QVariant(c.getInt64(3)) : QVariant());
    add(Chat::kLastText, c.getText(4));
    add(Chat::kLastType, type);
    add(Chat::kLastEmoticons, c.isNull(7) ? QVariant() : QVariant(c.getBlob(7)));
    if (!newChats.contains(chat))
        sets << QStringLiteral("%1=coalesce(%1,0)+1").arg(L(kOpt));
    Sqlite3Sql sql(QStringLiteral("update %1 set %2 where %3=?").arg(chatTable, sets.join(QStringLiteral(", ")), L(kPk)));
    for (const QVariant& v : std::as_const(values))
        sql.addParam(v);
    db.executeThrow(sql.addInt64Param(chat));
}

void CurrentStoreMerger::Impl::summarizeLineThrow(qint64 line)
{
    Sqlite3Cursor c = db.queryThrow(
        Sqlite3Sql(QStringLiteral("select count(*), max(%1), (select r.%2 from %3 as r where r.%4=? order by r.%1 desc "
                                  "limit 1) from %3 where %4=?")
                       .arg(L(Recent::kDate), L(Recent::kCallType), L(Recent::kTable), L(Recent::kLine)))
            .addInt64Param(line)
            .addInt64Param(line));
    if (!c.moveNext())
        return;
    QStringList sets;
    QVariantList values;
    auto add = [&](const char* name, const QVariant& v) {
        if (hasCol(L(RecentsLine::kTable), L(name))) {
            sets << QStringLiteral("%1=?").arg(L(name));
            values << v;
        }
    };
    add(RecentsLine::kCount, c.getInt64(0));
    add(RecentsLine::kDate, c.getDouble(1));
    add(RecentsLine::kCallType, c.getText(2));
    if (!newLines.contains(line))
        sets << QStringLiteral("%1=coalesce(%1,0)+1").arg(L(kOpt));
    if (values.isEmpty())
        return;
    Sqlite3Sql sql(QStringLiteral("update %1 set %2 where %3=?").arg(L(RecentsLine::kTable), sets.join(QStringLiteral(", ")), L(kPk)));
    for (const QVariant& v : std::as_const(values))
        sql.addParam(v);
    db.executeThrow(sql.addInt64Param(line));
}

void CurrentStoreMerger::finishThrow()
{
    d->flushMessagesThrow();
    for (qint64 chat : std::as_const(d->touchedChats))
        d->summarizeChatThrow(chat);
    for (qint64 line : std::as_const(d->touchedLines))
        d->summarizeLineThrow(line);
    // Core Data hands out keys above Z_MAX: it must know every key we used.
    const QList<std::pair<const char*, const char*>> tables{
        {Chat::kTable, kConversationEntity},  {Member::kTable, kMemberEntity},
        {PhoneNumber::kTable, kPhoneNumberEntity}, {Message::kTable, kMessageEntity},
        {Attachment::kTable, kAttachmentEntity}, {Location::kTable, kLocationEntity},
        {Recent::kTable, kRecentEntity},      {RecentsLine::kTable, kRecentsLineEntity}};
    for (const auto& [table, entity] : tables) {
        if (!d->firstKey.contains(L(table)))
            continue;
        d->db.executeThrow(Sqlite3Sql(QStringLiteral("update %1 set %2=max(coalesce(%2,0), ?) where %3=?")
                                          .arg(L(PrimaryKey::kTable), L(PrimaryKey::kMax), L(PrimaryKey::kName)))
                               .addInt64Param(d->nextKey.value(L(table)) - 1)
                               .addTextParam(L(entity)));
    }
}

void CurrentStoreMerger::verifyThrow()
{
    g_requireIntegrityThrow(d->db);
    for (const QString& t : std::as_const(d->ftsTables)) {
        try {
            d->db.executeThrow(QStringLiteral("insert into %1(%1) values('integrity-check')").arg(g_sqlQuoteIdent(t)));
        } catch (const std::exception& e) {
            g_raise(QStringLiteral("The merged store's search index %1 failed its check: %2")
                        .arg(t, QString::fromUtf8(e.what())));
        }
    }
    if (d->digestThrow(QStringLiteral("select type, name, tbl_name, sql from sqlite_master order by type, name")) !=
        d->schemaDigest)
        g_raise(QStringLiteral("The merged store's schema changed."));
    if (d->hasTable(QStringLiteral("Z_METADATA")) &&
        d->digestThrow(QStringLiteral("select * from Z_METADATA order by 1")) != d->metadataDigest)
        g_raise(QStringLiteral("The merged store's model identity changed."));
}
