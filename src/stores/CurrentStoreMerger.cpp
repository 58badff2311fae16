// Chats, people and messages merged into today's store.
#include "stores/CurrentStoreMergerImpl.h"

#include "model/EmojiText.h"
#include "model/ViberTime.h"
#include "shell/Failure.h"

using namespace CurrentStore;
using namespace CurrentMerge;

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
    RowValues row = newRow(memberPlan, memberEnt, key);
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
        RowValues phone = newRow(phonePlan, phoneEnt, takeKey(phonePlan.table()));
        phone.set(N_MEMBER, key);
        phone.set(N_PHONE, u'+' + id.digits);
        phone.set(N_CANON, id.digits);
        phone.set(N_TYPE, L(PhoneNumber::kViberType));
        phone.insertThrow(db);
        memberOfDigits.insert(id.digits, key);
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
        RowValues row = d->newRow(d->chatPlan, d->convEnt, key);
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
    g_bindMessageContent(q, chatKey, s, m);
    q.bindText(7, m.atta ? g_iosAttachmentTypeText(m.type) : QString())
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
    const qint64 locKey = m.latitude() != 0 && m.longitude() != 0 ? d->insertLocationThrow(key, m) : 0;
    attaKey = m.atta ? d->insertAttachmentThrow(key, m) : 0;

    RowValues row = d->newMessageRow(key, chatKey);
    const QHash<QString, QVariant> bag = m.unserOthers();
    if (sender > 0)
        row.set(M_SENDER, sender);
    row.set(M_DATE, m.date);
    row.set(M_STATEDATE, m.stateDate);
    row.set(M_STATE, state);
    const QString sysType = m.systemType == SYS_MEMBER_ADDED   ? QStringLiteral("systemMemberAdded")
                            : m.systemType == SYS_NAME_CHANGED ? QStringLiteral("systemNameChanged")
                            : m.type == MSG_TYPE_LOCATION      ? QStringLiteral("customLocation")
                                                               : QString();
    if (!sysType.isEmpty())
        row.set(M_SYSTYPE, sysType);
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
    const QString attaType = attaKey > 0 ? g_iosAttachmentTypeText(m.type) : QString();
    d->noteAdded(chatKey, {m.date, key, token, sender, m.text,
                           !sysType.isEmpty() ? sysType : !attaType.isEmpty() ? attaType : QStringLiteral("text"),
                           emoticons});
    return key;
}

qint64 CurrentStoreMerger::Impl::insertLocationThrow(qint64 msgKey, const _ViberMsg& m)
{
    const qint64 key = takeKey(locPlan.table());
    RowValues row = newRow(locPlan, locEnt, key);
    row.set(O_MSG, msgKey);
    row.set(O_DATE, m.date);
    row.set(O_LAT, m.latitude());
    row.set(O_LON, m.longitude());
    if (!m.address().isEmpty())
        row.set(O_ADDRESS, m.address());
    row.insertThrow(db);
    return key;
}

qint64 CurrentStoreMerger::Impl::insertAttachmentThrow(qint64 msgKey, const _ViberMsg& m)
{
    Q_UNUSED(msgKey);
    const _ViberAtta* a = m.atta;
    const QHash<QString, QVariant> bag = a->unserOthers();
    const qint64 key = takeKey(attaPlan.table());
    RowValues row = newRow(attaPlan, attaEnt, key);
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

