// Merging into a store of today's layout, checked with SQL of the test's own
// (not through the reader) on a store with the whole schema of a real one.
#include "support/SchemaText.h"
#include "fixtures/CurrentStoreFixture.h"
#include "jobs/IOSRestoreViberMsgThread.h"
#include "sqlite/Sqlite3DB.h"
#include "model/ViberTime.h"
#include "stores/CurrentStoreMerger.h"
#include "stores/IOSViberDb.h"
#include "stores/StoreMerger.h"
#include "stores/ViberContainers.h"
#include "support/FileBytes.h"
#include "support/RecordBuilder.h"
#include "support/RecordingProgress.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr double kBase = 700000000; // the sample's time base (March 2023)

// Columns a merge updates in rows the phone had: key counters and the
// summaries of chats and call lines that get new rows.
const QSet<QString> kSummaries{
    u"Z_PRIMARYKEY.Z_MAX"_qs, u"ZCONVERSATION.Z_OPT"_qs, u"ZCONVERSATION.ZDATE"_qs,
    u"ZCONVERSATION.ZLASTMESSAGETOKEN"_qs, u"ZCONVERSATION.ZMAXTOKEN"_qs, u"ZCONVERSATION.ZLASTMESSAGESENDER"_qs,
    u"ZCONVERSATION.ZLASTMESSAGETEXT"_qs, u"ZCONVERSATION.ZLASTMESSAGETYPE"_qs,
    u"ZCONVERSATION.ZLASTMESSAGEEMOTICONSRANGES"_qs, u"ZRECENTSLINE.Z_OPT"_qs, u"ZRECENTSLINE.ZCOUNT"_qs,
    u"ZRECENTSLINE.ZDATE"_qs, u"ZRECENTSLINE.ZCALLTYPE"_qs};

QVariant one(Sqlite3DB& db, const QString& sql)
{
    Sqlite3Cursor c = db.queryThrow(sql);
    return c.moveNext() && !c.isNull(0) ? QVariant(c.getText(0)) : QVariant();
}

qint64 num(Sqlite3DB& db, const QString& sql)
{
    return one(db, sql).toLongLong();
}

// Every row of every table, keyed "table|pk" (tables without Z_PK by their
// whole row), with a digest of its values; columns in skip are left out.
QHash<QString, QByteArray> rowDigests(Sqlite3DB& db, const QSet<QString>& skip = {})
{
    QHash<QString, QByteArray> rows;
    QStringList tables;
    {
        Sqlite3Cursor c = db.queryThrow("select name from sqlite_master where type='table' and name not like "
                                        "'MESSAGEINDEX%' and name not like 'sqlite_%'");
        while (c.moveNext())
            tables << c.getText(0);
    }
    for (const QString& t : std::as_const(tables)) {
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select * from %1").arg(t));
        const int pk = c.colIndex(QStringLiteral("Z_PK"));
        while (c.moveNext()) {
            QCryptographicHash h(QCryptographicHash::Sha1);
            for (int i = 0; i < c.colCount(); ++i) {
                if (skip.contains(t + u'.' + c.colName(i)))
                    continue;
                h.addData(c.colName(i).toUtf8() + '=' + (c.isNull(i) ? QByteArray("<null>") : c.getBlob(i)) + '\n');
            }
            const QByteArray digest = h.result();
            rows.insert(t + u'|' + (pk >= 0 ? c.getText(pk) : QString::fromLatin1(digest.toHex())), digest);
        }
    }
    return rows;
}

// Links that point nowhere, per kind; a merge may add none.
QMap<QString, qint64> danglingLinks(Sqlite3DB& db)
{
    const QList<std::pair<const char*, const char*>> checks{
        {"message chat", "select count(*) from ZVIBERMESSAGE m where m.ZCONVERSATION not in (select Z_PK from ZCONVERSATION)"},
        {"message sender", "select count(*) from ZVIBERMESSAGE m where m.ZPHONENUMINDEX is not null and m.ZPHONENUMINDEX "
                           "not in (select Z_PK from ZMEMBER)"},
        {"message attachment", "select count(*) from ZVIBERMESSAGE m where m.ZATTACHMENT is not null and m.ZATTACHMENT "
                               "not in (select Z_PK from ZATTACHMENT)"},
        {"message location", "select count(*) from ZVIBERMESSAGE m where m.ZLOCATION is not null and m.ZLOCATION not in "
                             "(select Z_PK from ZVIBERLOCATION)"},
        {"location message", "select count(*) from ZVIBERLOCATION l where l.ZMESSAGE is not null and l.ZMESSAGE not in "
                             "(select Z_PK from ZVIBERMESSAGE)"},
        {"number member", "select count(*) from ZPHONENUMBER n where n.ZMEMBER not in (select Z_PK from ZMEMBER)"},
        {"chat partner", "select count(*) from ZCONVERSATION c where c.ZINTERLOCUTOR is not null and c.ZINTERLOCUTOR not "
                         "in (select Z_PK from ZMEMBER)"},
        {"join chat", "select count(*) from Z_5PHONENUMINDEXES j where j.Z_5CONVERSATIONS not in (select Z_PK from "
                      "ZCONVERSATION)"},
        {"join member", "select count(*) from Z_5PHONENUMINDEXES j where j.Z_10PHONENUMINDEXES not in (select Z_PK from "
                        "ZMEMBER)"},
        {"attachment join", "select count(*) from Z_4MESSAGES j where j.Z_4ATTACHMENTS not in (select Z_PK from "
                            "ZATTACHMENT) or j.Z_21MESSAGES not in (select Z_PK from ZVIBERMESSAGE)"},
        {"call line", "select count(*) from ZRECENT r where r.ZRECENTSLINE not in (select Z_PK from ZRECENTSLINE)"},
        {"call message", "select count(*) from ZRECENT r where r.ZCALLLOGMESSAGE is not null and r.ZCALLLOGMESSAGE not in "
                         "(select Z_PK from ZVIBERMESSAGE)"},
        {"line member", "select count(*) from ZRECENTSLINE l where l.ZPHONENUMINDEX is not null and l.ZPHONENUMINDEX not "
                        "in (select Z_PK from ZMEMBER)"},
        {"last sender", "select count(*) from ZCONVERSATION c where c.ZLASTMESSAGESENDER is not null and "
                        "c.ZLASTMESSAGESENDER not in (select Z_PK from ZMEMBER)"}};
    QMap<QString, qint64> counts;
    for (const auto& [name, sql] : checks)
        counts.insert(QString::fromLatin1(name), num(db, QString::fromLatin1(sql)));
    return counts;
}

struct Phone
{
    QTemporaryDir dir;
    CurrentStoreSample sample;
    ViberContainers containers;

    explicit Phone(const QSet<QString>& omit = {})
    {
        CurrentStoreOptions o;
        o.fullSchema = true;
        o.omit = omit;
        sample = CurrentStoreFixture(dir.path(), o).fillSample();
        containers = g_findViberContainers(dir.path());
    }
    explicit Phone(const CurrentStoreOptions& o)
    {
        sample = CurrentStoreFixture(dir.path(), o).fillSample();
        containers = g_findViberContainers(dir.path());
    }
};

// What the merge job reports.
struct Outcome
{
    QStringList errors;
    int added = 0, addedCalls = 0;
    QStringList files; // paths the files went to inside their domain
};

Outcome merge(const ViberContainers& target, const QList<_ViberMsg*>& msgs)
{
    RecordingProgress p;
    IOSRestoreViberMsgThread job(IOSDevice(), target, msgs, p);
    job.setDirect(false);
    job.start();
    job.wait();
    Outcome o;
    o.errors = p.errors();
    if (p.successes().size() != 1 && o.errors.isEmpty())
        o.errors << QStringLiteral("no success reported");
    o.added = job.addedMsgCount();
    o.addedCalls = job.addedCallCount();
    for (const auto& item : job.items())
        o.files << item.domain + u':' + item.path;
    return o;
}

QList<_ViberMsg*> ordered(const ViberData& data)
{
    QList<_ViberMsg*> l = data.p()->msgs.values();
    std::sort(l.begin(), l.end(), [](const _ViberMsg* a, const _ViberMsg* b) { return a->id < b->id; });
    return l;
}
} // namespace

class TestCurrentStoreMerge : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;

    // A history from another source: the phone's own Anna and group "Team",
    // and people, chats, media and calls the phone does not have.
    struct Source
    {
        RecordBuilder b;
        _ViberMsg *dupOfPhone = nullptr, *annaNew = nullptr, *tokenless = nullptr, *picture = nullptr,
                  *voice = nullptr, *video = nullptr, *sticker = nullptr, *place = nullptr, *teamNew = nullptr,
                  *hikersText = nullptr, *hikersOwn = nullptr, *renamed = nullptr, *hiddenNumber = nullptr;
        _ViberCall *audioIn = nullptr, *videoOut = nullptr, *missedNoToken = nullptr;
    };

    std::unique_ptr<Source> source()
    {
        auto s = std::make_unique<Source>();
        RecordBuilder& b = s->b;
        auto file = [this](const QString& name, const QByteArray& bytes) {
            const QString path = m_files.filePath(name);
            g_writeFile(path, bytes);
            return path;
        };
        _ViberPerson* anna = b.person(QStringLiteral("Anna Source"), QStringLiteral("+4911111"));
        _ViberPerson* boris = b.person(QStringLiteral("Boris"), QStringLiteral("+4922222"));
        _ViberPerson* tomas = b.person(QStringLiteral("Tomas Berg"), QStringLiteral("+15550101"));
        _ViberPerson* ines = b.person(QStringLiteral("Ines Duarte"), QStringLiteral("+15550102"));
        _ViberPerson* ghost = b.person(QStringLiteral("Ghost"), QStringLiteral("ghost-member-id"));
        _ViberChat* withAnna = b.chat({}, {}, {anna});
        _ViberChat* team = b.chat(QStringLiteral("Team"), QStringLiteral("777"), {anna, boris});
        _ViberChat* hikers = b.chat(QStringLiteral("Hiking Club ⛰"), QStringLiteral("424242"), {tomas, ines, ghost});
        _ViberChat* withTomas = b.chat({}, {}, {tomas});

        // The phone's own first message from Anna, as another source has it.
        s->dupOfPhone = b.msg(withAnna, MSG_TYPE_TEXT, kBase + 60, QStringLiteral("Hello from Anna"), MSG_STATE_RECEIVED, anna);
        s->dupOfPhone->token = 5000000 + 100;
        s->annaNew = b.msg(withAnna, MSG_TYPE_TEXT, kBase + 3600, QStringLiteral("zebracrossing tonight?"),
                           MSG_STATE_RECEIVED, anna);
        s->annaNew->token = CurrentStoreMerger::tokenForTime(kBase + 3600, 7);
        s->tokenless = b.msg(withAnna, MSG_TYPE_TEXT, kBase + 3700, QStringLiteral("no token here"), MSG_STATE_DELIVERED);
        s->picture = b.msg(withAnna, MSG_TYPE_IMAGE, kBase + 3800, {}, MSG_STATE_SENT);
        s->picture->token = 880001;
        _ViberAtta* pic = b.atta(s->picture, file(QStringLiteral("p.jpg"), "jpeg"), file(QStringLiteral("p-thumb.jpg"), "thumb"));
        pic->name = QStringLiteral("p.jpg");
        pic->fileSize = 4;
        s->voice = b.msg(withAnna, MSG_TYPE_AUDIO, kBase + 3900, {}, MSG_STATE_RECEIVED, anna);
        s->voice->token = 880002;
        b.atta(s->voice, file(QStringLiteral("v.m4a"), "voice"), {}, 4.5)->name = QStringLiteral("v.m4a");
        s->video = b.msg(withAnna, MSG_TYPE_VIDEO, kBase + 4000, {}, MSG_STATE_SENT);
        s->video->token = 880003;
        b.atta(s->video, file(QStringLiteral("clip.mp4"), "mp4"), {}, 9)->name = QStringLiteral("clip.mp4");
        s->sticker = b.msg(withAnna, MSG_TYPE_STICKER, kBase + 4100, {}, MSG_STATE_SENT);
        s->sticker->token = 880004;
        b.atta(s->sticker)->mediaId = QStringLiteral("1234");
        s->place = b.msg(withAnna, MSG_TYPE_LOCATION, kBase + 4200, {}, MSG_STATE_RECEIVED, anna);
        s->place->token = 880005;
        s->place->setLocation(38.7223, -9.1393, QStringLiteral("Lisboa"));

        s->teamNew = b.msg(team, MSG_TYPE_TEXT, kBase + 5000, QStringLiteral("team update"), MSG_STATE_RECEIVED, boris);
        s->teamNew->token = 880006;
        s->hikersText = b.msg(hikers, MSG_TYPE_TEXT, kBase + 6000, QStringLiteral("summit at dawn"), MSG_STATE_RECEIVED, tomas);
        s->hikersText->token = 880007;
        s->hikersOwn = b.msg(hikers, MSG_TYPE_TEXT, kBase + 6100, QStringLiteral("count me in"), MSG_STATE_DELIVERED);
        s->hikersOwn->token = 880008;
        s->renamed = b.msg(hikers, MSG_TYPE_SYSTEM, kBase + 6200, QStringLiteral("Hiking Club ⛰"), MSG_STATE_RECEIVED, ines);
        s->renamed->systemType = SYS_NAME_CHANGED;
        s->renamed->token = 880009;
        s->hiddenNumber = b.msg(hikers, MSG_TYPE_TEXT, kBase + 6300, QStringLiteral("boo"), MSG_STATE_RECEIVED, ghost);
        s->hiddenNumber->token = 880010;

        _ViberMsg* c1 = b.msg(withTomas, MSG_TYPE_CALL, kBase + 7000);
        s->audioIn = b.call(c1, CALL_INCOMING, 61, tomas);
        s->audioIn->token = 990001;
        _ViberMsg* c2 = b.msg(withTomas, MSG_TYPE_CALL, kBase + 7100);
        s->videoOut = b.call(c2, CALL_OUTGOING, 125, tomas);
        s->videoOut->video = true;
        s->videoOut->token = 990002;
        _ViberMsg* c3 = b.msg(withAnna, MSG_TYPE_CALL, kBase + 7200);
        s->missedNoToken = b.call(c3, CALL_MISSED, 0, anna);
        return s;
    }

private slots:
    void tokensCarryTheirTime()
    {
        // A token made for a time decodes to that time within a millisecond,
        // and low bits never reach into the time.
        for (double t : {0.0, kBase, kBase + 0.123, 1.0e9}) {
            const qint64 token = CurrentStoreMerger::tokenForTime(t, 0xFFFFFFFF);
            QVERIFY(token > 0);
            QVERIFY(qAbs(CurrentStoreMerger::tokenTimeMs(token) - unixepochMsecFromDt21(t)) <= 1);
            QCOMPARE(CurrentStoreMerger::tokenForTime(t, 0) >> 22, token >> 22);
        }
        // Times before the token epoch are held at its start, not wrapped.
        QVERIFY(CurrentStoreMerger::tokenForTime(-1.0e9, 5) >= 0);
    }

    void mergeWritesRowsTheAppAccepts()
    {
        Phone phone;
        const QString store = phone.containers.storeFile;
        QHash<QString, QByteArray> before, unchanged;
        QString schemaBefore;
        QMap<QString, qint64> danglingBefore;
        qint64 maxMsgBefore = 0;
        {
            Sqlite3DB db;
            db.openThrow(store, 1);
            before = rowDigests(db);
            unchanged = rowDigests(db, kSummaries);
            schemaBefore = g_schemaText(db);
            danglingBefore = danglingLinks(db);
            maxMsgBefore = num(db, QStringLiteral("select max(Z_PK) from ZVIBERMESSAGE"));
        }
        auto s = source();
        const Outcome o = merge(phone.containers, ordered(s->b.data));
        QVERIFY2(o.errors.isEmpty(), qPrintable(o.errors.join(u'\n')));
        QCOMPARE(o.added, 13 - 1); // all but the phone's own message
        QCOMPARE(o.addedCalls, 3);
        // The store goes back into the app group; attachment files into the app.
        QVERIFY(o.files.contains(u"AppDomainGroup-group.viber.share.container:com.viber/database/Contacts.data"_qs));
        QVERIFY(o.files.contains(u"AppDomainGroup-group.viber.share.container:com.viber/database/Contacts.data-wal"_qs));
        QVERIFY(o.files.contains(u"AppDomain-com.viber:Documents/Attachments/p.jpg"_qs));
        QVERIFY(o.files.contains(u"AppDomain-com.viber:Documents/Attachments/clip.mp4"_qs));

        Sqlite3DB db;
        db.openThrow(store, 2); // the index's own check is written as an insert
        QCOMPARE(one(db, QStringLiteral("PRAGMA integrity_check")).toString(), u"ok"_qs);
        db.executeThrow("insert into MESSAGEINDEX(MESSAGEINDEX) values('integrity-check')");
        QCOMPARE(g_schemaText(db), schemaBefore);
        QCOMPARE(danglingLinks(db), danglingBefore);
        // Nothing is left in a log beside the store.
        QCOMPARE(QFileInfo(store + u"-wal"_qs).size(), 0);

        // Every row the phone had is still there, unchanged but for the
        // summaries of chats and call lines that got new rows.
        const QHash<QString, QByteArray> after = rowDigests(db, kSummaries);
        for (auto it = unchanged.cbegin(); it != unchanged.cend(); ++it)
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));
        QVERIFY(after.size() > unchanged.size());

        // New rows: their entity, version 1, keys Core Data knows of.
        const QList<std::tuple<const char*, const char*, int>> entities{
            {"ZVIBERMESSAGE", "ViberMessage", 21}, {"ZCONVERSATION", "Conversation", 5}, {"ZMEMBER", "Member", 10},
            {"ZPHONENUMBER", "PhoneNumber", 11}, {"ZATTACHMENT", "Attachment", 4}, {"ZVIBERLOCATION", "ViberLocation", 20},
            {"ZRECENT", "Recent", 13}, {"ZRECENTSLINE", "RecentsLine", 14}};
        for (const auto& [table, entity, ent] : entities) {
            const QString t = QString::fromLatin1(table);
            QVERIFY2(num(db, u"select max(Z_PK) from %1"_qs.arg(t)) <=
                         num(db, u"select Z_MAX from Z_PRIMARYKEY where Z_NAME='%1'"_qs.arg(QString::fromLatin1(entity))),
                     table);
            QStringList newKeys;
            Sqlite3Cursor c = db.queryThrow(u"select Z_PK, Z_ENT, Z_OPT from %1"_qs.arg(t));
            while (c.moveNext()) {
                if (before.contains(t + u'|' + c.getText(0)))
                    continue;
                newKeys << c.getText(0);
                QVERIFY2(c.getInt(1) == ent && c.getInt(2) == 1, qPrintable(t + u' ' + c.getText(0)));
            }
            QVERIFY2(!newKeys.isEmpty(), table);
        }
        // The message's conversation entity is its chat's.
        QCOMPARE(num(db, u"select count(*) from ZVIBERMESSAGE m join ZCONVERSATION c on c.Z_PK=m.ZCONVERSATION where "
                         "m.Z_PK>%1 and m.Z5_CONVERSATION is not c.Z_ENT"_qs.arg(maxMsgBefore)),
                 0);
        // Each new message has a token, and made ones carry the message's time.
        QCOMPARE(num(db, u"select count(*) from ZVIBERMESSAGE where Z_PK>%1 and coalesce(ZTOKEN,0)=0"_qs.arg(maxMsgBefore)), 0);
        {
            Sqlite3Cursor c = db.queryThrow(u"select ZTOKEN, ZDATE from ZVIBERMESSAGE where ZTEXT='no token here'"_qs);
            QVERIFY(c.moveNext());
            QVERIFY(qAbs(CurrentStoreMerger::tokenTimeMs(c.getInt64(0)) - unixepochMsecFromDt21(c.getDouble(1))) <= 1);
        }
        // Chats that got messages sum up their newest one.
        {
            Sqlite3Cursor c = db.queryThrow(
                "select c.Z_PK, c.ZDATE, c.ZLASTMESSAGETOKEN, c.ZMAXTOKEN, (select m.ZDATE from ZVIBERMESSAGE m where "
                "m.ZCONVERSATION=c.Z_PK and coalesce(m.ZBEINGDELETED,0)=0 order by m.ZDATE desc limit 1), (select "
                "m.ZTOKEN from ZVIBERMESSAGE m where m.ZCONVERSATION=c.Z_PK and coalesce(m.ZBEINGDELETED,0)=0 order by "
                "m.ZDATE desc limit 1), (select max(m.ZTOKEN) from ZVIBERMESSAGE m where m.ZCONVERSATION=c.Z_PK) from "
                "ZCONVERSATION c where c.Z_PK in (select ZCONVERSATION from ZVIBERMESSAGE where Z_PK>" +
                QString::number(maxMsgBefore) + u")"_qs);
            int chats = 0;
            while (c.moveNext()) {
                ++chats;
                QCOMPARE(c.getDouble(1), c.getDouble(4));
                QCOMPARE(c.getInt64(2), c.getInt64(5));
                QCOMPARE(c.getInt64(3), c.getInt64(6));
            }
            QCOMPARE(chats, 4); // Anna, Team, the hikers and Tomas
        }
        // The phone's search finds the new texts; names arrive with people.
        QCOMPARE(num(db, u"select count(*) from MESSAGEINDEX where MESSAGEINDEX match 'zebracrossing'"_qs), 1);
        QCOMPARE(num(db, u"select count(*) from MESSAGEINDEX where MESSAGEINDEX match 'summit'"_qs), 1);
        QCOMPARE(one(db, u"select m.ZDISPLAYFULLNAME from ZMEMBER m join ZPHONENUMBER n on n.ZMEMBER=m.Z_PK where "
                         "n.ZCANONIZEDPHONENUM='15550101'"_qs).toString(),
                 u"Tomas Berg"_qs);
        QCOMPARE(one(db, u"select ZPHONE from ZPHONENUMBER where ZCANONIZEDPHONENUM='15550102'"_qs).toString(), u"+15550102"_qs);
        QCOMPARE(num(db, u"select count(*) from ZMEMBER where ZMEMBERID='ghost-member-id'"_qs), 1);
        // Anna and Team are the phone's own: no second member, no second chat.
        QCOMPARE(num(db, u"select count(*) from ZPHONENUMBER where ZCANONIZEDPHONENUM='4911111'"_qs), 1);
        QCOMPARE(num(db, u"select count(*) from ZCONVERSATION where ZGROUPID='777'"_qs), 1);
        QCOMPARE(num(db, u"select count(*) from ZCONVERSATION where ZGROUPID='424242' and ZNAME='Hiking Club ⛰'"_qs), 1);
        QCOMPARE(num(db, u"select count(*) from Z_5PHONENUMINDEXES where Z_5CONVERSATIONS=(select Z_PK from "
                         "ZCONVERSATION where ZGROUPID='424242')"_qs),
                 3);
        QCOMPARE(num(db, u"select count(*) from ZCONVERSATION c join ZPHONENUMBER n on n.ZMEMBER=c.ZINTERLOCUTOR where "
                         "n.ZCANONIZEDPHONENUM='15550101' and c.ZGROUPID is null"_qs),
                 1);
        // Attachments are linked both ways; voice files go under their key.
        QCOMPARE(num(db, u"select count(*) from ZVIBERMESSAGE m join Z_4MESSAGES j on j.Z_21MESSAGES=m.Z_PK and "
                         "j.Z_4ATTACHMENTS=m.ZATTACHMENT where m.Z_PK>%1"_qs.arg(maxMsgBefore)),
                 4);
        const QString voiceKey = one(db, u"select a.Z_PK from ZATTACHMENT a where a.ZTYPE='audio' and a.ZNAME=a.Z_PK"_qs).toString();
        QVERIFY(!voiceKey.isEmpty());
        QVERIFY(o.files.contains(u"AppDomain-com.viber:Documents/VoiceMessages/"_qs + voiceKey));
        // Calls: a line per person with its count, and an entry in the chat.
        QCOMPARE(num(db, u"select ZCOUNT from ZRECENTSLINE l join ZPHONENUMBER n on n.ZMEMBER=l.ZPHONENUMINDEX where "
                         "n.ZCANONIZEDPHONENUM='15550101'"_qs),
                 2);
        QCOMPARE(num(db, u"select count(*) from ZRECENT r join ZVIBERMESSAGE m on m.Z_PK=r.ZCALLLOGMESSAGE where "
                         "r.ZCALLTOKEN=990002 and m.ZCALLTYPE='outgoing_viber_with_video'"_qs),
                 1);
    }

    void mergedStoreReadsBackWhole()
    {
        Phone phone;
        ViberData phoneBefore;
        {
            IOSViberDb db(phone.containers.appRoot, phone.containers.storeFile, false);
            db.setMakePreviews(false);
            phoneBefore = db.loadDataThrow();
        }
        auto s = source();
        QVERIFY(merge(phone.containers, ordered(s->b.data)).errors.isEmpty());
        IOSViberDb db(phone.containers.appRoot, phone.containers.storeFile, false);
        db.setMakePreviews(false);
        const ViberData after = db.loadDataThrow();

        auto key = [](const _ViberMsg* m) {
            return QStringLiteral("%1|%2|%3|%4|%5|%6")
                .arg(qint64(m->date))
                .arg(m->text)
                .arg(m->type)
                .arg(m->state)
                .arg(m->chat ? m->chat->fullDisplay() : QString())
                .arg(m->person ? viberPlainNumber(m->person->number) : QString());
        };
        QSet<QString> got;
        for (const _ViberMsg* m : after.p()->msgs)
            got.insert(key(m));
        for (const _ViberMsg* m : phoneBefore.p()->msgs)
            QVERIFY2(got.contains(key(m)), qPrintable(key(m)));
        QCOMPARE(after.p()->msgs.size(), phoneBefore.p()->msgs.size() + 12 + 3);

        // What each new message reads back as.
        QHash<qint64, const _ViberMsg*> byToken;
        for (const _ViberMsg* m : after.p()->msgs)
            byToken.insert(m->token, m);
        const _ViberMsg* place = byToken.value(s->place->token);
        QVERIFY(place);
        QCOMPARE(place->type, MSG_TYPE_LOCATION);
        QCOMPARE(place->address(), u"Lisboa"_qs);
        QCOMPARE(byToken.value(s->picture->token)->type, MSG_TYPE_IMAGE);
        QCOMPARE(byToken.value(s->picture->token)->atta->name, u"p.jpg"_qs);
        QCOMPARE(byToken.value(s->voice->token)->type, MSG_TYPE_AUDIO);
        QCOMPARE(byToken.value(s->voice->token)->atta->duration, 4.5);
        QCOMPARE(byToken.value(s->video->token)->type, MSG_TYPE_VIDEO);
        QCOMPARE(byToken.value(s->sticker->token)->atta->mediaId, u"1234"_qs);
        QCOMPARE(byToken.value(s->renamed->token)->systemType, int(SYS_NAME_CHANGED));
        QCOMPARE(byToken.value(s->hiddenNumber->token)->person->number, u"ghost-member-id"_qs);
        const _ViberMsg* hikers = byToken.value(s->hikersText->token);
        QCOMPARE(hikers->chat->name, u"Hiking Club ⛰"_qs);
        QCOMPARE(hikers->person->name, u"Tomas Berg"_qs);
        QCOMPARE(hikers->chat->members.size(), 3);
        QCOMPARE(byToken.value(s->hikersOwn->token)->state, MSG_STATE_DELIVERED);
        QCOMPARE(byToken.value(s->teamNew->token)->chat->groupId, u"777"_qs);

        int videoCalls = 0, tomasCalls = 0;
        for (const _ViberCall* c : after.p()->calls) {
            videoCalls += c->video && c->token == s->videoOut->token && c->type == CALL_OUTGOING && c->duration == 125;
            tomasCalls += c->person && c->person->name == u"Tomas Berg"_qs;
        }
        QCOMPARE(videoCalls, 1);
        QCOMPARE(tomasCalls, 2);
    }

    void secondMergeAddsNothing()
    {
        Phone phone;
        auto s = source();
        QVERIFY(merge(phone.containers, ordered(s->b.data)).errors.isEmpty());
        QHash<QString, QByteArray> once;
        {
            Sqlite3DB db;
            db.openThrow(phone.containers.storeFile, 1);
            once = rowDigests(db);
        }
        // The same history again, and again from a source whose copies of
        // the messages have lost their tokens but not their content.
        const Outcome again = merge(phone.containers, ordered(s->b.data));
        QVERIFY2(again.errors.isEmpty(), qPrintable(again.errors.join(u'\n')));
        QCOMPARE(again.added, 0);
        QCOMPARE(again.addedCalls, 0);
        for (_ViberMsg* m : s->b.data.p()->msgs)
            if (m->type != MSG_TYPE_AUDIO) // a voice file takes its row's key as its name
                m->token = 0;
        for (_ViberCall* c : s->b.data.p()->calls)
            c->token = 0;
        const Outcome tokenless = merge(phone.containers, ordered(s->b.data));
        QVERIFY2(tokenless.errors.isEmpty(), qPrintable(tokenless.errors.join(u'\n')));
        QCOMPARE(tokenless.added, 0);
        QCOMPARE(tokenless.addedCalls, 0);
        Sqlite3DB db;
        db.openThrow(phone.containers.storeFile, 1);
        const QHash<QString, QByteArray> now = rowDigests(db);
        for (auto it = once.cbegin(); it != once.cend(); ++it)
            QVERIFY2(now.value(it.key()) == it.value(), qPrintable(it.key()));
        QCOMPARE(now.size(), once.size());
    }

    void theLogOfTheStoreGoesIntoTheMergedStore()
    {
        // The phone's newest message is only in Contacts.data-wal: the merged
        // store holds it in the file itself, with an empty log beside it.
        CurrentStoreOptions o;
        o.fullSchema = true;
        o.newestInWal = true;
        Phone phone(o);
        QVERIFY(QFileInfo(phone.containers.storeFile + u"-wal"_qs).size() > 0);
        auto s = source();
        const Outcome out = merge(phone.containers, ordered(s->b.data));
        QVERIFY2(out.errors.isEmpty(), qPrintable(out.errors.join(u'\n')));
        QCOMPARE(QFileInfo(phone.containers.storeFile + u"-wal"_qs).size(), 0);
        QTemporaryDir alone;
        const QString copy = alone.filePath(u"Contacts.data"_qs);
        QVERIFY(QFile::copy(phone.containers.storeFile, copy));
        Sqlite3DB db;
        db.openThrow(copy, 1);
        QCOMPARE(num(db, u"select count(*) from ZVIBERMESSAGE where ZTEXT='Newest from Anna'"_qs), 1);
        QCOMPARE(num(db, u"select count(*) from ZVIBERMESSAGE where ZTEXT='summit at dawn'"_qs), 1);
    }

    void entityNumbersComeFromTheStore()
    {
        // Another app version numbers its entities differently, and the
        // names of its join tables and columns follow.
        CurrentStoreOptions o;
        o.attachmentEnt = 3;
        o.conversationEnt = 4;
        o.memberEnt = 9;
        o.phoneNumberEnt = 8;
        o.recentEnt = 12;
        o.recentsLineEnt = 13;
        o.locationEnt = 19;
        o.messageEnt = 20;
        Phone phone(o);
        qint64 lastMsg = 0;
        {
            Sqlite3DB db;
            db.openThrow(phone.containers.storeFile, 1);
            lastMsg = num(db, u"select max(Z_PK) from ZVIBERMESSAGE"_qs);
        }
        auto s = source();
        const Outcome out = merge(phone.containers, ordered(s->b.data));
        QVERIFY2(out.errors.isEmpty(), qPrintable(out.errors.join(u'\n')));
        QCOMPARE(out.added, 12);
        Sqlite3DB db;
        db.openThrow(phone.containers.storeFile, 1);
        const QString newRows = u"from ZVIBERMESSAGE where Z_PK>%1"_qs.arg(lastMsg);
        QCOMPARE(num(db, u"select count(*) "_qs + newRows + u" and (Z_ENT is not 20 or Z4_CONVERSATION is not 4)"_qs), 0);
        QCOMPARE(num(db, u"select count(*) from ZMEMBER where ZMEMBERID='ghost-member-id' and Z_ENT=9"_qs), 1);
        QCOMPARE(num(db, u"select count(*) from ZPHONENUMBER where ZCANONIZEDPHONENUM='15550101' and Z_ENT=8"_qs), 1);
        QCOMPARE(num(db, u"select count(*) from Z_4PHONENUMINDEXES where Z_4CONVERSATIONS=(select Z_PK from "
                         "ZCONVERSATION where ZGROUPID='424242')"_qs),
                 3);
        QCOMPARE(num(db, u"select count(*) from Z_3MESSAGES where Z_20MESSAGES>%1"_qs.arg(lastMsg)), 4);
        QCOMPARE(num(db, u"select count(*) from ZRECENT where Z_ENT=12 and ZCALLTOKEN=990001"_qs), 1);
        QCOMPARE(num(db, u"select Z_MAX from Z_PRIMARYKEY where Z_ENT=20"_qs), num(db, u"select max(Z_PK) from ZVIBERMESSAGE"_qs));
    }

    // The check before a store goes back must see a damaged tree: two rows
    // of a page swapped, so that their keys run backwards.
    void theCheckAfterTheMergeFindsADamagedTree()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"damaged.sqlite"_qs);
        qint64 root = 0, page = 0;
        {
            Sqlite3DB db;
            db.openThrow(path, 6);
            db.executeThrow("create table t (id integer primary key, x text)");
            db.executeThrow("create index t_x on t (x)");
            db.executeThrow("insert into t (id, x) values (1, 'a'), (2, 'b'), (3, 'c')");
            g_requireIntegrityThrow(db);
            root = num(db, u"select rootpage from sqlite_master where name='t'"_qs);
            page = num(db, u"PRAGMA page_size"_qs);
            db.close();
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        // A table leaf's header is 8 bytes; its cell pointers follow.
        const qint64 cells = (root - 1) * page + 8;
        QVERIFY(f.seek(cells));
        const QByteArray two = f.read(4);
        QVERIFY(f.seek(cells));
        f.write(two.mid(2, 2) + two.left(2));
        f.close();

        Sqlite3DB db;
        db.openThrow(path, 2);
        try {
            g_requireIntegrityThrow(db);
            QFAIL("a damaged store passed the check");
        } catch (const std::exception& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(u"failed its integrity check"_qs), e.what());
        }
    }

    void storeLackingWhatTheMergeWritesIsRefusedUnchanged_data()
    {
        QTest::addColumn<QString>("omit");
        QTest::newRow("token column") << u"ZVIBERMESSAGE.ZTOKEN"_qs;
        QTest::newRow("phone numbers") << u"ZPHONENUMBER"_qs;
        QTest::newRow("members join") << u"Z_5PHONENUMINDEXES"_qs;
        QTest::newRow("call lines") << u"ZRECENTSLINE"_qs;
    }

    void storeLackingWhatTheMergeWritesIsRefusedUnchanged()
    {
        QFETCH(QString, omit);
        Phone phone({omit});
        const QByteArray before = g_fileDigest(phone.containers.storeFile);
        auto s = source();
        const Outcome o = merge(phone.containers, ordered(s->b.data));
        QCOMPARE(o.errors.size(), 1);
        const QString missing = omit.section(u'.', -1);
        QVERIFY2(o.errors.constFirst().contains(missing), qPrintable(o.errors.constFirst()));
        QCOMPARE(g_fileDigest(phone.containers.storeFile), before);
        QVERIFY(o.files.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCurrentStoreMerge)
#include "test_current_store_merge.moc"
