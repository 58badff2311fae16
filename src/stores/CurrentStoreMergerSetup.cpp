// Before a merge into today's store: what it must have, and the look-ups it
// reads once.
#include "stores/CurrentStoreMergerImpl.h"

#include "shell/Failure.h"


using namespace CurrentStore;
using namespace CurrentMerge;

void CurrentStoreMerger::Impl::entitiesThrow()
{
    auto ent = [&](const char* name, bool required) {
        const int e = db.entities().value(L(name));
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
        db.schema().requireColumnsThrow(attaJoinTable, {attaJoinAttaCol, attaJoinMsgCol});
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
    db.schema().requireColumnsThrow(joinTable, {joinChatCol, joinMemberCol});

    const DbSchema& s = db.schema();
    QStringList chatCols = withFlags(names({kPk, kEnt, kOpt, kUid, Chat::kGroupId, Chat::kName, Chat::kInterlocutor,
                                            Chat::kDate, "ZCONTEXT", "ZSMARTSTATE", "ZSMARTNOTIFICATIONSHOWN"}),
                                     Chat::kZeroFlags);
    chatFlags = int(std::size(Chat::kZeroFlags));
    chatPlan = RowPlan(s, L(Chat::kTable), chatCols);
    memberPlan = RowPlan(s, L(Member::kTable),
                         names({kPk, kEnt, kOpt, kUid, Member::kMemberId, Member::kFullName, Member::kName,
                                Member::kIsBlocked, Member::kIsSystem, Member::kIsActive}));
    phonePlan = RowPlan(s, L(PhoneNumber::kTable),
                        names({kPk, kEnt, kOpt, kUid, PhoneNumber::kMember, PhoneNumber::kPhone, PhoneNumber::kCanonical,
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
                         names({kPk, kEnt, kOpt, kUid, Recent::kToken, Recent::kDuration, Recent::kCallMessage, Recent::kLine,
                                Recent::kDate, Recent::kCallType}));
    linePlan = RowPlan(s, L(RecentsLine::kTable),
                       names({kPk, kEnt, kOpt, kUid, RecentsLine::kMember, RecentsLine::kNumber, RecentsLine::kCount,
                              RecentsLine::kDate, RecentsLine::kCallType}));
}

void CurrentStoreMerger::Impl::lookupsThrow()
{
    // Keys go on from the larger of the table's largest key and the
    // entity's counter: Core Data hands out keys above Z_MAX.
    for (const auto& [table, entity] : kEntityTables) {
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
    for (const DbSchemaTable& t : db.schema().tables()) {
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
            if (member > 0 && g_isAsciiDigits(digits) && !memberOfDigits.contains(digits))
                memberOfDigits.insert(digits, member);
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

