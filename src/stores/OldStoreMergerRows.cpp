// Merging records into an IOSViberDb store: matching them against the rows
// there, inserting what is new, and the statistics the Viber app expects.
#include "stores/IOSMergePlans.h"
#include "stores/OldStoreMerger.h"
#include "stores/StorePaths.h"

#include "model/EmojiText.h"
#include "sqlite/Sqlite3Row.h"
#include "model/ViberTime.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace {
enum PersonCol { P_ENT, P_OPT, P_APPID, P_GROUPID, P_ISBLOCKED, P_ISSYSTEM, P_ISVIBER, P_UID, P_CANON, P_PHONENUM,
                 P_PHONETYPE, P_NAME, P_OTHER, P_CONTACT };
enum ContactCol { AB_ENT, AB_OPT, AB_ISVIBER, AB_MAINNAME, AB_SORTINGNAME };
enum ChatCol { C_ENT, C_OPT, C_CONTEXT, C_ISLOCATION, C_ISMUTED, C_UNREAD, C_SMARTSHOWN, C_SMARTSTATE, C_LASTNOTIF,
               C_UID, C_GROUPID, C_NAME, C_OTHER };
enum LineCol { L_ENT, L_OPT, L_PNI };
enum RecentCol { R_ENT, R_OPT, R_TOKEN, R_DURATION, R_READ, R_LINE, R_DATE, R_TYPE, R_OTHER };
enum MsgCol { M_ENT, M_OPT, M_DELIVERED, M_FORWARD, M_MESSAGEID, M_SEQ, M_TOKEN, M_UID, M_CONV, M_CONVENT, M_PNI,
              M_DATE, M_STATEDATE, M_STATE, M_SYSTYPE, M_TEXT, M_EMOTICONS, M_RANGES, M_OTHER };
enum LocCol { O_ENT, O_OPT, O_UID, O_MSG, O_LAT, O_LON, O_ADDRESS };
enum AttaCol { A_ENT, A_OPT, A_CACHE, A_DOWNLOAD, A_SIZE, A_RANGE, A_SEQ, A_UID, A_MSG, A_ID, A_NAME, A_STATE, A_URL,
               A_OTHER, A_BUCKET, A_TYPE, A_DURATION };

QStringList names(std::initializer_list<const char*> cols)
{
    QStringList l;
    for (const char* c : cols)
        l << QString::fromLatin1(c);
    return l;
}

// Core Data's optimistic-lock counter: the record's own when it has one.
int optOf(const QHash<QString, QVariant>& bag)
{
    const int opt = bag.value(QStringLiteral("Z_OPT")).toInt();
    return opt > 0 ? opt : 2;
}

// Resets a look-up statement however its run ends, so no read stays open.
struct Resetting
{
    Sqlite3Statement& st;
    ~Resetting() { st.reset(); }
};

} // namespace

IOSMergePlans& OldStoreMerger::plansThrow()
{
    checkWritableThrow();
    m_db.ensureLookupIndexesThrow();
    if (!m_plans) {
        auto p = std::make_shared<IOSMergePlans>();
        p->person = RowPlan(m_db.schema(), QStringLiteral("ZPHONENUMBERINDEX"),
                            names({"Z_ENT", "Z_OPT", "ZAPPID", "ZGROUPID", "ZISBLOCKED", "ZISSYSTEM", "ZISVIBER", "ZUID",
                                   "ZCANONIZEDPHONENUM", "ZPHONENUM", "ZPHONETYPE", "ZNAME", "_other", "ZCONTACT"}));
        p->contact = RowPlan(m_db.schema(), QStringLiteral("ZABCONTACT"),
                             names({"Z_ENT", "Z_OPT", "ZISVIBER", "ZMAINNAME", "ZSORTINGNAME"}));
        p->chat = RowPlan(m_db.schema(), QStringLiteral("ZCONVERSATION"),
                          names({"Z_ENT", "Z_OPT", "ZCONTEXT", "ZISLOCATION", "ZISMUTED", "ZUNREADCOUNT",
                                 "ZSMARTNOTIFICATIONSHOWN", "ZSMARTSTATE", "ZLASTGENERALNOTIFICATIONDATE", "ZUID",
                                 "ZGROUPID", "ZNAME", "_other"}));
        p->recentsLine = RowPlan(m_db.schema(), QStringLiteral("ZRECENTSLINE"), names({"Z_ENT", "Z_OPT", "ZPHONENUMINDEX"}));
        p->recent = RowPlan(m_db.schema(), QStringLiteral("ZRECENT"),
                            names({"Z_ENT", "Z_OPT", "ZCALLTOKEN", "ZDURATION", "ZREAD", "ZRECENTSLINE", "ZDATE",
                                   "ZCALLTYPE", "_other"}));
        QStringList msgCols = names({"Z_ENT", "Z_OPT", "ZDELIVEREDCOUNT", "ZFORWARDTYPE", "ZMESSAGEID", "ZSEQ", "ZTOKEN",
                                     "ZUID", "ZCONVERSATION", "", "ZPHONENUMINDEX", "ZDATE", "ZSTATEDATE", "ZSTATE",
                                     "ZSYSTEMTYPE", "ZTEXT", "ZEMOTICONSRANGES", "ZRANGES", "_other"});
        msgCols[M_CONVENT] = QStringLiteral("Z%1_CONVERSATION").arg(m_db.convEnt());
        p->msg = RowPlan(m_db.schema(), QStringLiteral("ZVIBERMESSAGE"), msgCols);
        p->location = RowPlan(m_db.schema(), QStringLiteral("ZVIBERLOCATION"),
                              names({"Z_ENT", "Z_OPT", "ZUID", "ZMESSAGE", "ZLATITUDE", "ZLONGITUDE", "ZADDRESS"}));
        p->atta = RowPlan(m_db.schema(), QStringLiteral("ZATTACHMENT"),
                          names({"Z_ENT", "Z_OPT", "ZCACHEPOLICY", "ZMEDIADOWNLOADTYPE", "ZFILESIZE", "ZRANGE", "ZSEQ",
                                 "ZUID", "ZMESSAGE", "ZID", "ZNAME", "ZSTATE", "ZURL", "_other", "ZBUCKET", "ZTYPE",
                                 "ZDURATION"}));
        p->msgEnt = m_db.entities().value(QStringLiteral("ViberMessage"));
        p->locationEnt = m_db.entities().value(QStringLiteral("ViberLocation"));
        p->attaEnt = m_db.entities().value(QStringLiteral("Attachment"));
        p->recentEnt = m_db.entities().value(QStringLiteral("Recent"));
        p->lineEnt = m_db.entities().value(QStringLiteral("RecentsLine"));
        p->contactEnt = m_db.entities().value(QStringLiteral("ABContact"));
        p->msgLinksLocation = m_db.schema().containsCol(QStringLiteral("ZVIBERMESSAGE"), QStringLiteral("ZLOCATION"));
        p->msgLinksAtta = m_db.schema().containsCol(QStringLiteral("ZVIBERMESSAGE"), QStringLiteral("ZATTACHMENT"));
        m_plans = std::move(p);
    }
    return *m_plans;
}

MergeStatements& OldStoreMerger::statements()
{
    if (!m_statements)
        m_statements = std::make_shared<MergeStatements>();
    return *m_statements;
}

qint64 OldStoreMerger::zuidThrow(bool next)
{
    m_db.openCheckThrow();
    if (m_zuid < 0) {
        qint64 largest = 0;
        for (const DbSchemaTable& t : m_db.schema().tables()) {
            if (!t.containsCol(QStringLiteral("ZUID")))
                continue;
            Sqlite3Cursor c = m_db.queryThrow(QStringLiteral("select max(ZUID) as mzuid from ") + g_sqlQuoteIdent(t.name));
            if (c.moveNext())
                largest = std::max(largest, c.getInt64(0));
        }
        m_zuid = largest;
    }
    if (next)
        ++m_zuid;
    return m_zuid;
}

qint64 OldStoreMerger::findPersonThrow(const _ViberPerson* p)
{
    if (!p)
        return 0;
    m_db.ensureLookupIndexesThrow();
    Sqlite3Cursor c = m_db.queryThrow(Sqlite3Sql("select Z_PK from ZPHONENUMBERINDEX where ZCANONIZEDPHONENUM=?")
                                     .addTextParam(viberPlainNumber(p->number)));
    return c.moveNext() ? c.getInt64(0) : 0;
}

qint64 OldStoreMerger::insertPersonThrow(const _ViberPerson* p)
{
    if (!p)
        return 0;
    IOSMergePlans& plans = plansThrow();
    const QHash<QString, QVariant> bag = p->unserOthers();
    RowValues row(plans.person);
    row.set(P_ENT, m_db.pniEnt());
    row.set(P_OPT, optOf(bag));
    for (int col : {P_APPID, P_GROUPID, P_ISBLOCKED, P_ISSYSTEM})
        row.set(col, 0);
    row.set(P_ISVIBER, 1);
    if (row.has(P_UID))
        row.set(P_UID, zuidThrow(true));
    const QString plain = viberPlainNumber(p->number);
    row.set(P_CANON, plain);
    row.set(P_PHONENUM, p->number);
    row.set(P_PHONETYPE, QStringLiteral("mobile"));
    if (row.has(P_OTHER)) {
        row.set(P_NAME, p->name);
        row.set(P_OTHER, p->others);
    } else {
        // A phone's store shows the name of the address-book contact a
        // number is linked to (ZNAME where it has no such table): without
        // one, every transferred person would show as a bare number.
        const QString name = p->name.trimmed();
        if (!name.isEmpty()) {
            row.set(P_NAME, name);
            // Only a store that names the entity gets rows of it.
            if (row.has(P_CONTACT) && plans.contact.has(AB_MAINNAME) && plans.contactEnt > 0) {
                RowValues contact(plans.contact);
                contact.set(AB_ENT, plans.contactEnt);
                contact.set(AB_OPT, 1);
                contact.set(AB_ISVIBER, 1);
                contact.set(AB_MAINNAME, name);
                contact.set(AB_SORTINGNAME, name);
                contact.insertThrow(m_db);
                row.set(P_CONTACT, m_db.lastInsertId());
            }
        }
    }
    row.insertThrow(m_db);
    const qint64 key = m_db.lastInsertId();
    plans.personKeys.insert(plain, key);
    return key;
}

qint64 OldStoreMerger::personKeyThrow(const _ViberPerson* p)
{
    if (!p)
        return 0;
    IOSMergePlans& plans = plansThrow();
    const QString plain = viberPlainNumber(p->number);
    const auto known = plans.personKeys.constFind(plain);
    if (known != plans.personKeys.cend())
        return known.value();
    qint64 key = findPersonThrow(p);
    if (key < 1)
        return insertPersonThrow(p);
    plans.personKeys.insert(plain, key);
    return key;
}

qint64 OldStoreMerger::findChatSlowThrow(const _ViberChat* c)
{
    if (!c)
        return 0;
    m_db.ensureLookupIndexesThrow();
    if (!c->groupId.isEmpty()) {
        Sqlite3Cursor q = m_db.queryThrow(Sqlite3Sql("select Z_PK from ZCONVERSATION where ZGROUPID=?").addTextParam(c->groupId));
        return q.moveNext() ? q.getInt64(0) : 0;
    }
    // Without a group id a chat is who is in it: the chat without a group id
    // whose members are exactly these numbers (a chat of nobody: of nobody
    // and the same name), so a repeated backup finds what it wrote before.
    QStringList numbers;
    for (const _ViberPerson* member : c->members) {
        if (!member)
            continue;
        const QString plain = viberPlainNumber(member->number);
        if (!numbers.contains(plain))
            numbers << plain;
    }
    const QString noGroup = QStringLiteral("(c.ZGROUPID is null or c.ZGROUPID='')");
    const QString memberCount =
        QStringLiteral("(select count(*) from %1 as j where j.%2=c.Z_PK)").arg(m_db.joinTable(), m_db.joinChatCol());
    if (numbers.isEmpty()) {
        Sqlite3Sql sql(QStringLiteral("select c.Z_PK from ZCONVERSATION as c where %1 and %2=0 and "
                                      "coalesce(c.ZNAME,'')=? order by c.Z_PK limit 1")
                           .arg(noGroup, memberCount));
        sql.addTextParam(c->name.isNull() ? QStringLiteral("") : c->name);
        Sqlite3Cursor q = m_db.queryThrow(sql);
        return q.moveNext() ? q.getInt64(0) : 0;
    }
    QStringList marks;
    for (qsizetype i = 0; i < numbers.size(); ++i)
        marks << QStringLiteral("?");
    // Such a chat has the first number among its members: only the chats of
    // that number are candidates (found by index), not every chat there is.
    Sqlite3Sql sql(QStringLiteral("select distinct c.Z_PK from ZPHONENUMBERINDEX as p0 inner join %3 as j0 on "
                                  "j0.%4=p0.Z_PK inner join ZCONVERSATION as c on c.Z_PK=j0.%5 where "
                                  "p0.ZCANONIZEDPHONENUM=? and %1 and %2=? and "
                                  "(select count(distinct p.ZCANONIZEDPHONENUM) from %3 as j inner join "
                                  "ZPHONENUMBERINDEX as p on j.%4=p.Z_PK where j.%5=c.Z_PK and "
                                  "p.ZCANONIZEDPHONENUM in (%6))=? order by c.Z_PK limit 1")
                       .arg(noGroup, memberCount, m_db.joinTable(), m_db.joinPersonCol(), m_db.joinChatCol(), marks.join(u',')));
    sql.addTextParam(numbers.constFirst());
    sql.addInt64Param(numbers.size());
    for (const QString& n : std::as_const(numbers))
        sql.addTextParam(n);
    sql.addInt64Param(numbers.size());
    Sqlite3Cursor q = m_db.queryThrow(sql);
    return q.moveNext() ? q.getInt64(0) : 0;
}

qint64 OldStoreMerger::insertChatThrow(const _ViberChat* c)
{
    if (!c)
        return 0;
    IOSMergePlans& plans = plansThrow();
    const QHash<QString, QVariant> bag = c->unserOthers();
    RowValues row(plans.chat);
    row.set(C_ENT, m_db.convEnt());
    row.set(C_OPT, optOf(bag));
    const qint64 context = bag.value(QStringLiteral("ZCONTEXT")).toLongLong();
    if (context > 0)
        row.set(C_CONTEXT, context);
    for (int col : {C_ISLOCATION, C_ISMUTED, C_UNREAD})
        row.set(col, 0);
    row.set(C_SMARTSHOWN, bag.value(QStringLiteral("ZSMARTNOTIFICATIONSHOWN")).toInt());
    row.set(C_SMARTSTATE, bag.value(QStringLiteral("ZSMARTSTATE")).toInt());
    row.set(C_LASTNOTIF, 0.0);
    if (row.has(C_UID))
        row.set(C_UID, zuidThrow(true));
    if (!c->groupId.isEmpty())
        row.set(C_GROUPID, c->groupId);
    if (!c->name.isEmpty())
        row.set(C_NAME, c->name);
    row.set(C_OTHER, c->others);
    row.insertThrow(m_db);
    return m_db.lastInsertId();
}

void OldStoreMerger::saveChatMembersThrow(qint64 chatKey,
                                      const QList<_ViberPerson*>& members)
{
    checkWritableThrow();
    // A membership that exists stays as it is: rewriting it would change
    // nothing but churn the rows of a repeated backup.
    const QString sql =
        QStringLiteral("insert or ignore into %1(%2, %3) values(?, ?)").arg(m_db.joinTable(), m_db.joinChatCol(), m_db.joinPersonCol());
    for (const _ViberPerson* p : members) {
        if (!p)
            continue;
        const qint64 personKey = personKeyThrow(p);
        m_db.executeThrow(Sqlite3Sql(sql).addInt64Param(chatKey).addInt64Param(personKey));
    }
}

qint64 OldStoreMerger::saveCallThrow(const _ViberCall* call)
{
    if (!call || !call->person)
        return 0;
    IOSMergePlans& plans = plansThrow();
    const QString number = viberPlainNumber(call->person->number);
    qint64 line = plans.lineKeys.value(number);
    if (line < 1) {
        Sqlite3Statement& q = statements().get(
            m_db, MergeStatements::LineOfNumber,
            QStringLiteral("select l.Z_PK from ZRECENTSLINE as l inner join ZPHONENUMBERINDEX as p on "
                           "l.ZPHONENUMINDEX=p.Z_PK and p.ZCANONIZEDPHONENUM=? order by l.ZDATE desc limit 1"));
        Resetting done{q};
        q.bindText(1, number);
        if (q.step())
            line = q.int64(0);
    }
    if (line < 1) {
        const qint64 person = personKeyThrow(call->person);
        RowValues row(plans.recentsLine);
        row.set(L_ENT, plans.lineEnt);
        row.set(L_OPT, 1);
        row.set(L_PNI, person);
        row.insertThrow(m_db);
        line = m_db.lastInsertId();
    }
    plans.lineKeys.insert(number, line);
    const QString type = g_iosCallTypeText(call->type, call->video);
    if (call->token != 0) {
        Sqlite3Statement& q =
            statements().get(m_db, MergeStatements::CallByToken,
                             QStringLiteral("select Z_PK from ZRECENT where ZCALLTOKEN=? and ZCALLTYPE=?"));
        Resetting done{q};
        q.bindInt64(1, call->token).bindText(2, type);
        if (q.step())
            return q.int64(0);
    } else {
        // Without a token only the same call of the same line is the same:
        // its time (within a minute) and its duration.
        const qint64 s = g_wholeSeconds(call->date);
        Sqlite3Statement& q =
            statements().get(m_db, MergeStatements::CallByTime,
                             QStringLiteral("select Z_PK from ZRECENT where ZCALLTOKEN=0 and ZCALLTYPE=? and "
                                            "ZRECENTSLINE=? and ZDATE between ? and ? and ZDURATION=?"));
        Resetting done{q};
        q.bindText(1, type).bindInt64(2, line).bindInt64(3, s - 60).bindInt64(4, s + 60).bindInt64(5, call->duration);
        if (q.step())
            return q.int64(0);
    }
    RowValues row(plans.recent);
    row.set(R_ENT, plans.recentEnt);
    row.set(R_OPT, 1);
    row.set(R_TOKEN, call->token);
    row.set(R_DURATION, call->duration);
    row.set(R_READ, 1);
    row.set(R_LINE, line);
    row.set(R_DATE, call->date);
    row.set(R_TYPE, type);
    row.set(R_OTHER, call->others);
    row.insertThrow(m_db);
    return m_db.lastInsertId();
}

qint64 OldStoreMerger::findMsgKeyThrow(qint64 token, double date)
{
    m_db.ensureLookupIndexesThrow();
    const qint64 s = g_wholeSeconds(date);
    Sqlite3Statement& q =
        statements().get(m_db, MergeStatements::MsgByToken,
                         QStringLiteral("select Z_PK from ZVIBERMESSAGE where ZTOKEN=? and ZDATE between ? and ?"));
    Resetting done{q};
    q.bindInt64(1, token).bindInt64(2, s - 60).bindInt64(3, s + 60);
    return q.step() ? q.int64(0) : 0;
}

qint64 OldStoreMerger::findMsgThrow(qint64 token, double date, qint64& attaKey)
{
    const qint64 key = findMsgKeyThrow(token, date);
    if (key == 0)
        return 0;
    Sqlite3Statement& a = statements().get(m_db, MergeStatements::AttaOfMsg,
                                           QStringLiteral("select Z_PK from ZATTACHMENT where ZMESSAGE=?"));
    Resetting done{a};
    a.bindInt64(1, key);
    attaKey = a.step() ? a.int64(0) : 0;
    return key;
}

qint64 OldStoreMerger::findMsgThrow(const _ViberMsg& m, qint64 chatKey, qint64& attaKey)
{
    if (m.token != 0)
        return findMsgThrow(m.token, m.date, attaKey);
    // Without a token, time alone would fold different messages of the same
    // minute into one: the same chat, text, place and attachment are needed
    // too. A voice attachment is stored under its own key, so its length
    // stands in for its name.
    m_db.ensureLookupIndexesThrow();
    const qint64 s = g_wholeSeconds(m.date);
    const bool voice = m.type == MSG_TYPE_AUDIO;
    const bool typed = m_db.schema().containsCol(QStringLiteral("ZATTACHMENT"), QStringLiteral("ZTYPE"));
    const bool timed = voice && m_db.schema().containsCol(QStringLiteral("ZATTACHMENT"), QStringLiteral("ZDURATION"));
    QString sql = QStringLiteral(
        "select v.Z_PK, (select a.Z_PK from ZATTACHMENT as a where a.ZMESSAGE=v.Z_PK limit 1) from ZVIBERMESSAGE as v "
        "where v.ZTOKEN=0 and v.ZCONVERSATION=? and v.ZDATE between ? and ? and coalesce(v.ZTEXT,'')=? and "
        "coalesce((select l.ZLATITUDE from ZVIBERLOCATION as l where l.ZMESSAGE=v.Z_PK limit 1),0)=? and "
        "coalesce((select l.ZLONGITUDE from ZVIBERLOCATION as l where l.ZMESSAGE=v.Z_PK limit 1),0)=? and ");
    sql += timed ? QStringLiteral("coalesce((select a.ZDURATION from ZATTACHMENT as a where a.ZMESSAGE=v.Z_PK limit 1),0)=?")
                 : QStringLiteral("coalesce((select a.ZNAME from ZATTACHMENT as a where a.ZMESSAGE=v.Z_PK limit 1),'')=?");
    if (typed)
        sql += QStringLiteral(" and coalesce((select a.ZTYPE from ZATTACHMENT as a where a.ZMESSAGE=v.Z_PK limit 1),'')=?");
    sql += QStringLiteral(" order by abs(v.ZDATE-?) limit 1");
    Sqlite3Statement& q =
        statements().get(m_db, timed ? MergeStatements::MsgByVoiceContent : MergeStatements::MsgByContent, sql);
    Resetting done{q};
    g_bindMessageContent(q, chatKey, s, m);
    if (timed)
        q.bindDouble(7, m.atta ? m.atta->duration : 0.0);
    else
        q.bindText(7, m.atta ? m.atta->name : QString());
    int next = 8;
    if (typed)
        q.bindText(next++, m.atta ? g_iosAttachmentTypeText(m.type) : QString());
    q.bindDouble(next, m.date);
    if (!q.step())
        return 0;
    attaKey = q.isNull(1) ? 0 : q.int64(1);
    return q.int64(0);
}

qint64 OldStoreMerger::insertMsgThrow(qint64 chatKey, const _ViberMsg* m,
                                  qint64& attaKey, qint64& locKey)
{
    if (!m)
        return 0;
    IOSMergePlans& plans = plansThrow();
    // Refusals come first, so a refused message leaves no person or ZUID
    // behind.
    if (!m->person && m->chat && !m->chat->groupId.isEmpty() && m->state == MSG_STATE_RECEIVED &&
        m->type != MSG_TYPE_SYSTEM) {
        qDebug("skip group message without sender, msg text=%s", qUtf8Printable(m->text));
        return 0;
    }
    const QString state = IOSViberDb::IOSToViberStateString(ViberMsgState(m->state));
    if (state.isEmpty())
        return 0;

    RowValues row(plans.msg);
    // Our own databases have none of the columns the kept values fill.
    const QHash<QString, QVariant> bag = row.has(M_OPT) || row.has(M_EMOTICONS) || row.has(M_RANGES)
                                             ? m->unserOthers()
                                             : QHash<QString, QVariant>();
    row.set(M_ENT, plans.msgEnt);
    row.set(M_OPT, optOf(bag));
    for (int col : {M_DELIVERED, M_FORWARD, M_MESSAGEID})
        row.set(col, 0);
    row.set(M_SEQ, m->seq);
    row.set(M_TOKEN, m->token);
    if (row.has(M_UID))
        row.set(M_UID, zuidThrow(true));
    row.set(M_CONV, chatKey);
    row.set(M_CONVENT, m_db.convEnt());
    if (m->person)
        row.set(M_PNI, personKeyThrow(m->person));
    row.set(M_DATE, m->date);
    row.set(M_STATEDATE, m->stateDate);
    row.set(M_STATE, state);
    if (m->systemType == SYS_MEMBER_ADDED)
        row.set(M_SYSTYPE, QStringLiteral("systemMemberAdded"));
    else if (m->systemType == SYS_NAME_CHANGED)
        row.set(M_SYSTYPE, QStringLiteral("systemNameChanged"));
    else if (m->type == MSG_TYPE_LOCATION)
        row.set(M_SYSTYPE, QStringLiteral("customLocation"));
    row.set(M_TEXT, m->text);
    if (row.has(M_EMOTICONS)) {
        QByteArray ranges = bag.value(QStringLiteral("ZEMOTICONSRANGES")).toByteArray();
        if (ranges.isEmpty())
            ranges = viber_emoji_ranges(m->text);
        if (!ranges.isEmpty())
            row.set(M_EMOTICONS, ranges);
    }
    if (row.has(M_RANGES)) {
        const QByteArray ranges = bag.value(QStringLiteral("ZRANGES")).toByteArray();
        if (!ranges.isEmpty())
            row.set(M_RANGES, ranges);
    }
    row.set(M_OTHER, m->others);
    row.insertThrow(m_db);
    const qint64 msgKey = m_db.lastInsertId();

    locKey = 0;
    if (m->latitude() != 0 && m->longitude() != 0) {
        RowValues loc(plans.location);
        loc.set(O_ENT, plans.locationEnt);
        loc.set(O_OPT, 2);
        if (loc.has(O_UID))
            loc.set(O_UID, zuidThrow(true));
        loc.set(O_MSG, msgKey);
        loc.set(O_LAT, m->latitude());
        loc.set(O_LON, m->longitude());
        if (!m->address().isEmpty())
            loc.set(O_ADDRESS, m->address());
        loc.insertThrow(m_db);
        locKey = m_db.lastInsertId();
    }
    attaKey = m->atta ? insertAttachmentThrow(m, msgKey) : 0;

    const bool linkLoc = locKey > 0 && plans.msgLinksLocation;
    const bool linkAtta = attaKey > 0 && plans.msgLinksAtta;
    if (linkLoc && linkAtta) {
        statements()
            .get(m_db, MergeStatements::LinkBoth,
                 QStringLiteral("update ZVIBERMESSAGE set ZLOCATION=?,ZATTACHMENT=? where Z_PK=?"))
            .bindInt64(1, locKey)
            .bindInt64(2, attaKey)
            .bindInt64(3, msgKey)
            .execute();
    } else if (linkLoc || linkAtta) {
        statements()
            .get(m_db, linkLoc ? MergeStatements::LinkLocation : MergeStatements::LinkAttachment,
                 linkLoc ? QStringLiteral("update ZVIBERMESSAGE set ZLOCATION=? where Z_PK=?")
                         : QStringLiteral("update ZVIBERMESSAGE set ZATTACHMENT=? where Z_PK=?"))
            .bindInt64(1, linkLoc ? locKey : attaKey)
            .bindInt64(2, msgKey)
            .execute();
    }
    return msgKey;
}

qint64 OldStoreMerger::insertAttachmentThrow(const _ViberMsg* m, qint64 msgKey)
{
    const _ViberAtta* a = m->atta;
    IOSMergePlans& plans = plansThrow();
    RowValues row(plans.atta);
    const QHash<QString, QVariant> bag = row.has(A_OPT) || row.has(A_RANGE) || row.has(A_STATE) || row.has(A_URL)
                                             ? a->unserOthers()
                                             : QHash<QString, QVariant>();
    row.set(A_ENT, plans.attaEnt);
    row.set(A_OPT, optOf(bag));
    row.set(A_CACHE, 0);
    row.set(A_DOWNLOAD, 0);
    row.set(A_SIZE, a->fileSize);
    const qint64 range = bag.value(QStringLiteral("ZRANGE")).toLongLong();
    row.set(A_RANGE, range >= 1 ? range : a->fileSize);
    row.set(A_SEQ, a->seq);
    if (row.has(A_UID))
        row.set(A_UID, zuidThrow(true));
    row.set(A_MSG, msgKey);
    if (!a->mediaId.isEmpty())
        row.set(A_ID, a->mediaId);
    if (!a->name.isEmpty())
        row.set(A_NAME, a->name);
    if (row.has(A_STATE)) {
        const QString state = bag.value(QStringLiteral("ZSTATE")).toString();
        row.set(A_STATE, state.isEmpty() ? QStringLiteral("complite") : state);
    }
    const QString url = bag.value(QStringLiteral("ZURL")).toString();
    if (!url.isEmpty())
        row.set(A_URL, url);
    row.set(A_OTHER, a->others);
    switch (m->type) {
    case MSG_TYPE_IMAGE:
        row.set(A_BUCKET, QStringLiteral("Share") + dtFromTimestamp(m->date).toString(QStringLiteral("yyyy-MM-dd")));
        break;
    case MSG_TYPE_AUDIO:
    case MSG_TYPE_VIDEO:
        row.set(A_DURATION, a->duration);
        break;
    default:
        break;
    }
    const QString type = g_iosAttachmentTypeText(m->type);
    if (!type.isEmpty())
        row.set(A_TYPE, type);
    row.insertThrow(m_db);
    const qint64 key = m_db.lastInsertId();
    if (m->type == MSG_TYPE_AUDIO) {
        // A voice message is stored under its own key (the backup copies its
        // file to VoiceMessages/<key>).
        const QString name = QString::number(key);
        statements()
            .get(m_db, MergeStatements::VoiceName,
                 QStringLiteral("update ZATTACHMENT set ZNAME=?, ZID=? where Z_PK=?"))
            .bindText(1, name)
            .bindText(2, name)
            .bindInt64(3, key)
            .execute();
    }
    return key;
}

void OldStoreMerger::setAttaAssetUrlNullThrow(qint64 attaKey)
{
    checkWritableThrow();
    if (m_db.schema().containsCol(QStringLiteral("ZATTACHMENT"), QStringLiteral("ZURL")))
        m_db.executeThrow(Sqlite3Sql("update ZATTACHMENT set ZURL=null where Z_PK=?").addInt64Param(attaKey));
}
