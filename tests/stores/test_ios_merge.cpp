#include "fixtures/StoreFixture.h"
#include "sqlite/Sqlite3Row.h"
#include "model/ViberData.h"
#include "stores/IOSViberDb.h"
#include "stores/OldStoreMerger.h"
#include "support/RecordBuilder.h"
#include "support/TestEnv.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
// The merge tells records apart by token and content: each message here has
// a token and a text of its own, each attachment a name, each call a token.
_ViberMsg* tokenMsg(RecordBuilder& r, _ViberChat* chat, double date, qint64 token, int type = MSG_TYPE_TEXT,
                    ViberMsgState state = MSG_STATE_SENT, _ViberPerson* person = nullptr)
{
    _ViberMsg* m = r.msg(chat, type, date, QString(), state, person);
    m->token = token;
    m->text = QStringLiteral("text %1").arg(m->id);
    return m;
}

_ViberAtta* namedAtta(RecordBuilder& r, _ViberMsg* m, const QString& name)
{
    _ViberAtta* a = r.atta(m, QString(), QString(), 4.5);
    a->name = name;
    a->mediaId = QStringLiteral("media");
    return a;
}

_ViberCall* historyCall(RecordBuilder& r, _ViberPerson* p, qint64 token, int type, double date)
{
    _ViberCall* c = r.call(nullptr, type, 30, p);
    c->token = token;
    c->date = date;
    return c;
}

const double kT0 = 600000000;
} // namespace

class TestIOSMerge : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    int m_stores = 0;
    std::unique_ptr<IOSViberDb> m_db;
    std::unique_ptr<OldStoreMerger> m_merger; // of m_db, one per store as a backup batch has

    // A fresh empty iPhone-layout store, with extra columns added first.
    IOSViberDb& freshStore(const QStringList& alter = {})
    {
        ContainerFixture c(m_tmp.filePath(QStringLiteral("store%1").arg(++m_stores)));
        for (const QString& sql : alter)
            c.store().db().executeThrow(sql);
        c.finish();
        m_db = std::make_unique<IOSViberDb>(c.root(), QStringLiteral("Documents/Contacts.data"), false);
        m_db->openCheckThrow();
        m_merger = std::make_unique<OldStoreMerger>(*m_db);
        return *m_db;
    }

    qint64 value(const QString& sql)
    {
        Sqlite3Cursor c = m_db->queryThrow(sql);
        return c.moveNext() ? c.getInt64(0) : -1;
    }
    QString text(const QString& sql)
    {
        Sqlite3Cursor c = m_db->queryThrow(sql);
        return c.moveNext() ? c.getText(0) : QStringLiteral("<none>");
    }

    // The look-ups of a merge that would read their whole table.
    static QStringList scans(Sqlite3DB& db, const QString& joinTable, const QString& chatCol, const QString& personCol)
    {
        const QStringList lookUps = {
            QStringLiteral("select Z_PK from ZPHONENUMBERINDEX where ZCANONIZEDPHONENUM='1'"),
            QStringLiteral("select Z_PK from ZCONVERSATION where ZGROUPID='g'"),
            QStringLiteral("select c.Z_PK from ZCONVERSATION as c inner join %1 as j on j.%2=c.Z_PK inner join "
                           "ZPHONENUMBERINDEX as p on j.%3=p.Z_PK where p.ZCANONIZEDPHONENUM='1' and "
                           "(c.ZGROUPID is null or c.ZGROUPID='') limit 1")
                .arg(joinTable, chatCol, personCol),
            QStringLiteral("select l.Z_PK from ZRECENTSLINE as l inner join ZPHONENUMBERINDEX as p on "
                           "l.ZPHONENUMINDEX=p.Z_PK and p.ZCANONIZEDPHONENUM='1' order by l.ZDATE desc limit 1"),
            QStringLiteral("select Z_PK from ZRECENT where ZCALLTOKEN=1 and ZCALLTYPE='missed'"),
            QStringLiteral("select Z_PK from ZVIBERMESSAGE where ZTOKEN=1 and ZDATE between 1 and 2"),
            QStringLiteral("select Z_PK from ZATTACHMENT where ZMESSAGE=1"),
        };
        QStringList found;
        for (const QString& sql : lookUps) {
            Sqlite3Cursor c = db.queryThrow(QStringLiteral("explain query plan ") + sql);
            while (c.moveNext()) {
                const QString step = c.getText(QStringLiteral("detail"));
                if (step.startsWith(QLatin1String("SCAN")))
                    found << step;
            }
        }
        return found;
    }
    static int indexCount(Sqlite3DB& db)
    {
        Sqlite3Cursor c = db.queryThrow("select count(*) from sqlite_master where type='index'");
        return c.moveNext() ? c.getInt(0) : -1;
    }

    qint64 write(const _ViberMsg* m, qint64 chatKey, qint64* attaOut = nullptr, qint64* locOut = nullptr)
    {
        qint64 atta = 0, loc = 0;
        const qint64 key = m_merger->insertMsgThrow(chatKey, m, atta, loc);
        if (attaOut)
            *attaOut = atta;
        if (locOut)
            *locOut = loc;
        return key;
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(m_tmp.isValid());
    }

    void messagesMatchByTokenWithinAMinute()
    {
        freshStore();
        RecordBuilder r;
        _ViberChat* chat = r.chat(QString(), QString(), {r.person(QString(), QStringLiteral("+491"))});
        const qint64 chatKey = m_merger->insertChatThrow(chat);
        const _ViberMsg* m = tokenMsg(r, chat, kT0 + 0.75, 42);
        long long atta = -7;
        QCOMPARE(m_merger->findMsgThrow(42, kT0, atta), 0);
        QCOMPARE(atta, -7LL); // left alone when nothing is found
        const qint64 key = write(m, chatKey);
        QVERIFY(key > 0);
        QCOMPARE(m_merger->findMsgThrow(42, kT0 + 60, atta), key);
        QCOMPARE(atta, 0LL);
        QCOMPARE(m_merger->findMsgThrow(42, kT0 - 59.5, atta), 0); // whole seconds: 59 s before the minute
        QCOMPARE(m_merger->findMsgThrow(42, kT0 - 59, atta), key);
        QCOMPARE(m_merger->findMsgThrow(42, kT0 + 61, atta), 0);
        QCOMPARE(m_merger->findMsgThrow(43, kT0, atta), 0);
        // A message at the same token 61 s later is a message of its own.
        QVERIFY(write(tokenMsg(r, chat, kT0 + 61.75, 42), chatKey) > key);
        QCOMPARE(value(QStringLiteral("select count(*) from ZVIBERMESSAGE")), 2);
    }

    void refusedMessagesWriteNothing()
    {
        freshStore();
        RecordBuilder r;
        _ViberPerson* bob = r.person(QString(), QStringLiteral("+492"));
        _ViberChat* group = r.chat(QStringLiteral("Club"), QStringLiteral("g1"), {bob});
        const qint64 chatKey = m_merger->insertChatThrow(group);
        QCOMPARE(write(tokenMsg(r, group, kT0, 1, MSG_TYPE_TEXT, MSG_STATE_RECEIVED), chatKey), 0);
        QCOMPARE(write(tokenMsg(r, group, kT0, 2, MSG_TYPE_TEXT, MSG_STATE_UNKNOWN, bob), chatKey), 0);
        QCOMPARE(value(QStringLiteral("select count(*) from ZPHONENUMBERINDEX")), 0);
        _ViberMsg* sys = tokenMsg(r, group, kT0, 3, MSG_TYPE_SYSTEM, MSG_STATE_RECEIVED);
        sys->systemType = SYS_NAME_CHANGED;
        const qint64 key = write(sys, chatKey);
        QVERIFY(key > 0);
        QCOMPARE(text(QStringLiteral("select ZSYSTEMTYPE from ZVIBERMESSAGE where Z_PK=%1").arg(key)),
                 QStringLiteral("systemNameChanged"));
        // A received group message with its sender is written and linked.
        const qint64 fromBob = write(tokenMsg(r, group, kT0, 4, MSG_TYPE_TEXT, MSG_STATE_RECEIVED, bob), chatKey);
        QCOMPARE(value(QStringLiteral("select ZPHONENUMINDEX from ZVIBERMESSAGE where Z_PK=%1").arg(fromBob)),
                 m_merger->findPersonThrow(bob));
        QCOMPARE(text(QStringLiteral("select ZCANONIZEDPHONENUM from ZPHONENUMBERINDEX")), QStringLiteral("492"));
    }

    void attachmentsLocationsAndTheirLinks()
    {
        freshStore();
        RecordBuilder r;
        _ViberChat* chat = r.chat(QString(), QString(), {r.person(QString(), QStringLiteral("+493"))});
        const qint64 chatKey = m_merger->insertChatThrow(chat);

        _ViberMsg* voice = tokenMsg(r, chat, kT0, 1, MSG_TYPE_AUDIO);
        namedAtta(r, voice, QStringLiteral("ptt.m4a"));
        qint64 atta = 0;
        const qint64 voiceKey = write(voice, chatKey, &atta);
        QVERIFY(atta > 0);
        QCOMPARE(text(QStringLiteral("select ZNAME || '|' || ZID || '|' || ZTYPE || '|' || ZDURATION from ZATTACHMENT "
                                     "where Z_PK=%1")
                          .arg(atta)),
                 QStringLiteral("%1|%1|audio|4.5").arg(atta));
        QCOMPARE(value(QStringLiteral("select ZATTACHMENT from ZVIBERMESSAGE where Z_PK=%1").arg(voiceKey)), atta);
        long long found = 0;
        QCOMPARE(m_merger->findMsgThrow(1, kT0, found), voiceKey);
        QCOMPARE(found, atta);

        // 2014-05-17 10:00 UTC (tests run in UTC).
        const double may17 = double(QDateTime(QDate(2014, 5, 17), QTime(10, 0), Qt::UTC).toSecsSinceEpoch()) -
                             978307200.0;
        _ViberMsg* pic = tokenMsg(r, chat, may17, 2, MSG_TYPE_IMAGE);
        namedAtta(r, pic, QStringLiteral("p.jpg"));
        write(pic, chatKey, &atta);
        QCOMPARE(text(QStringLiteral("select ZBUCKET || '|' || ZTYPE || '|' || ZSTATE from ZATTACHMENT where Z_PK=%1")
                          .arg(atta)),
                 QStringLiteral("Share2014-05-17|picture|complite"));

        _ViberMsg* placeWithMap = tokenMsg(r, chat, kT0, 3, MSG_TYPE_LOCATION);
        placeWithMap->setLocation(48.85, 2.29, QString());
        namedAtta(r, placeWithMap, QString());
        long long loc = 0;
        const qint64 k1 = write(placeWithMap, chatKey, &atta, &loc);
        QVERIFY(atta > 0 && loc > 0);
        QCOMPARE(text(QStringLiteral("select ZLOCATION || '|' || ZATTACHMENT || '|' || ZSYSTEMTYPE from ZVIBERMESSAGE "
                                     "where Z_PK=%1")
                          .arg(k1)),
                 QStringLiteral("%1|%2|customLocation").arg(loc).arg(atta));

        _ViberMsg* place = tokenMsg(r, chat, kT0, 4, MSG_TYPE_LOCATION);
        place->setLocation(1.5, 2.5, QString());
        const qint64 k2 = write(place, chatKey, &atta, &loc);
        QCOMPARE(atta, 0LL);
        QCOMPARE(value(QStringLiteral("select ZLOCATION from ZVIBERMESSAGE where Z_PK=%1").arg(k2)), loc);
        QCOMPARE(value(QStringLiteral("select ZATTACHMENT is null from ZVIBERMESSAGE where Z_PK=%1").arg(k2)), 1);
    }

    void chatsAreFoundByGroupOrSingleMember()
    {
        freshStore();
        RecordBuilder r;
        _ViberPerson* ann = r.person(QStringLiteral("Ann"), QStringLiteral("+49 (151) 1"));
        _ViberPerson* bob = r.person(QString(), QStringLiteral("+492"));
        _ViberChat* single = r.chat(QString(), QString(), {ann});
        _ViberChat* group = r.chat(QStringLiteral("Club"), QStringLiteral("g7"), {ann, bob});
        _ViberChat* noGroupTwo = r.chat(QString(), QString(), {ann, bob});
        QCOMPARE(m_merger->findChatSlowThrow(single), 0);
        // The group's one-to-one twin must not be taken for the single chat.
        const qint64 groupKey = m_merger->insertChatThrow(group);
        m_merger->saveChatMembersThrow(groupKey, group->members.values());
        QCOMPARE(m_merger->findChatSlowThrow(single), 0);
        QCOMPARE(m_merger->findChatSlowThrow(group), groupKey);
        QCOMPARE(m_merger->findChatSlowThrow(noGroupTwo), 0);

        const qint64 singleKey = m_merger->insertChatThrow(single);
        m_merger->saveChatMembersThrow(singleKey, single->members.values());
        m_merger->saveChatMembersThrow(singleKey, single->members.values());
        QCOMPARE(m_merger->findChatSlowThrow(single), singleKey);
        // The same number spelled differently is the same person.
        RecordBuilder other;
        QCOMPARE(m_merger->findChatSlowThrow(other.chat(QString(), QString(), {other.person(QString(), QStringLiteral("491511"))})),
                 singleKey);
        QCOMPARE(value(QStringLiteral("select count(*) from ZPHONENUMBERINDEX")), 2);
        QCOMPARE(value(QStringLiteral("select count(*) from Z_4PHONENUMINDEXES")), 3);
        QCOMPARE(text(QStringLiteral("select ZGROUPID || '|' || ZNAME || '|' || Z_ENT || '|' || Z_OPT from "
                                     "ZCONVERSATION where Z_PK=%1")
                          .arg(groupKey)),
                 QStringLiteral("g7|Club|4|2"));
        QCOMPARE(text(QStringLiteral("select ZPHONENUM from ZPHONENUMBERINDEX where ZCANONIZEDPHONENUM='491511'")),
                 QStringLiteral("+49 (151) 1"));
    }

    // A chat without a group id is found from any of its members' side:
    // exactly the same numbers, whichever member comes first, never a chat
    // with one more or one fewer.
    void grouplessChatsAreFoundByTheirWholeMembership()
    {
        freshStore();
        RecordBuilder r;
        _ViberPerson* ann = r.person(QString(), QStringLiteral("+491"));
        _ViberPerson* bob = r.person(QString(), QStringLiteral("+492"));
        _ViberPerson* cy = r.person(QString(), QStringLiteral("+493"));
        QList<qint64> keys;
        for (const QList<_ViberPerson*>& members : {QList<_ViberPerson*>{ann, bob, cy}, {ann, bob}, {bob}}) {
            _ViberChat* c = r.chat(QString(), QString(), members);
            keys << m_merger->insertChatThrow(c);
            m_merger->saveChatMembersThrow(keys.last(), c->members.values());
        }
        // Another source numbers its people the other way round.
        RecordBuilder other;
        _ViberPerson* cy2 = other.person(QString(), QStringLiteral("+493"));
        _ViberPerson* bob2 = other.person(QString(), QStringLiteral("+492"));
        _ViberPerson* ann2 = other.person(QString(), QStringLiteral("+491"));
        QCOMPARE(m_merger->findChatSlowThrow(other.chat(QString(), QString(), {bob2, ann2})), keys.at(1));
        QCOMPARE(m_merger->findChatSlowThrow(other.chat(QString(), QString(), {cy2, bob2, ann2})), keys.at(0));
        QCOMPARE(m_merger->findChatSlowThrow(other.chat(QString(), QString(), {bob2})), keys.at(2));
        QCOMPARE(m_merger->findChatSlowThrow(other.chat(QString(), QString(), {ann2})), 0);
        QCOMPARE(m_merger->findChatSlowThrow(other.chat(QString(), QString(), {cy2, bob2})), 0);
        QCOMPARE(m_merger->findChatSlowThrow(other.chat(QString(), QString(), {cy2, ann2})), 0);
    }

    // The statements a batch keeps belong to the connection they were made
    // on: after the store is opened again they are made again.
    void aBatchGoesOnAfterTheStoreIsReopened()
    {
        IOSViberDb& db = freshStore();
        RecordBuilder r;
        _ViberPerson* ann = r.person(QString(), QStringLiteral("+491"));
        _ViberChat* chat = r.chat(QString(), QString(), {ann});
        const qint64 chatKey = m_merger->insertChatThrow(chat);
        QVERIFY(write(tokenMsg(r, chat, kT0, 1), chatKey) > 0);
        qint64 atta = 0;
        QVERIFY(m_merger->findMsgThrow(1, kT0, atta) > 0);
        db.close();
        db.openCheckThrow();
        const qint64 second = write(tokenMsg(r, chat, kT0 + 100, 2), chatKey);
        QVERIFY(second > 0);
        QCOMPARE(m_merger->findMsgThrow(2, kT0 + 100, atta), second);
        QCOMPARE(m_merger->saveCallThrow(historyCall(r, ann, 5, CALL_MISSED, kT0)),
                 m_merger->saveCallThrow(historyCall(r, ann, 5, CALL_MISSED, kT0)));
        db.close();
        db.openCheckThrow();
        QCOMPARE(value(QStringLiteral("select count(*) from ZVIBERMESSAGE")), 2);
        QCOMPARE(value(QStringLiteral("select count(*) from ZRECENT")), 1);
    }

    void callsAreStoredOnceWithTheirLine()
    {
        IOSViberDb& db = freshStore();
        RecordBuilder r;
        _ViberPerson* ann = r.person(QString(), QStringLiteral("+491"));
        const qint64 first = m_merger->saveCallThrow(historyCall(r, ann, 9, CALL_OUTGOING, kT0));
        QVERIFY(first > 0);
        QCOMPARE(m_merger->saveCallThrow(historyCall(r, ann, 9, CALL_OUTGOING, kT0)), first);
        const qint64 missed = m_merger->saveCallThrow(historyCall(r, ann, 9, CALL_MISSED, kT0 + 100));
        QVERIFY(missed != first);
        QCOMPARE(m_merger->saveCallThrow(historyCall(r, nullptr, 10, CALL_MISSED, kT0)), 0);
        QCOMPARE(value(QStringLiteral("select count(*) from ZRECENT")), 2);
        QCOMPARE(value(QStringLiteral("select count(distinct ZRECENTSLINE) from ZRECENT")), 1);
        m_merger->updateCallRecentLinesStatThrow();
        QCOMPARE(text(QStringLiteral("select ZCOUNT || '|' || ZCALLTYPE || '|' || ZDATE from ZRECENTSLINE")),
                 QStringLiteral("2|missed|%1").arg(kT0 + 100, 0, 'f', 0));
        QCOMPARE(text(QStringLiteral("select ZCALLTYPE from ZRECENT where Z_PK=%1").arg(first)),
                 QStringLiteral("outgoing_viber"));

        // A number with several lines already: every call of the batch goes
        // to its latest one.
        const qint64 bobKey = m_merger->insertPersonThrow(r.person(QString(), QStringLiteral("+492")));
        for (const char* date : {"100", "300", "200"})
            db.executeThrow(Sqlite3Sql("insert into ZRECENTSLINE (ZPHONENUMINDEX, ZDATE) values (?, ?)")
                                .addInt64Param(bobKey)
                                .addTextParam(QString::fromLatin1(date)));
        const qint64 latest = value(QStringLiteral("select Z_PK from ZRECENTSLINE where ZDATE=300"));
        _ViberPerson* bob = r.person(QString(), QStringLiteral("+492"));
        for (qint64 token : {20, 21, 22})
            m_merger->saveCallThrow(historyCall(r, bob, token, CALL_INCOMING, kT0));
        QCOMPARE(value(QStringLiteral("select count(*) from ZRECENT where ZRECENTSLINE=%1").arg(latest)), 3);
        QCOMPARE(value(QStringLiteral("select count(*) from ZRECENTSLINE")), 4);
    }

    void zuidsContinueAfterTheLargestOfTheStore()
    {
        freshStore({QStringLiteral("alter table ZCONVERSATION add column ZUID INTEGER"),
                                     QStringLiteral("alter table ZVIBERMESSAGE add column ZUID INTEGER"),
                                     QStringLiteral("insert into ZCONVERSATION (ZUID) values (500)"),
                                     QStringLiteral("insert into ZVIBERMESSAGE (ZUID) values (17)")});
        RecordBuilder r;
        _ViberChat* chat = r.chat(QString(), QString(), {r.person(QString(), QStringLiteral("+491"))});
        const qint64 chatKey = m_merger->insertChatThrow(chat);
        QCOMPARE(value(QStringLiteral("select ZUID from ZCONVERSATION where Z_PK=%1").arg(chatKey)), 501);
        const qint64 msgKey = write(tokenMsg(r, chat, kT0, 1), chatKey);
        QCOMPARE(value(QStringLiteral("select ZUID from ZVIBERMESSAGE where Z_PK=%1").arg(msgKey)), 502);
        QCOMPARE(m_merger->zuidThrow(false), 502);
    }

    void endOfBatchStatistics()
    {
        freshStore({QStringLiteral("alter table ZCONVERSATION add column ZLASTMESSAGETEXT VARCHAR"),
                                     QStringLiteral("alter table ZCONVERSATION add column ZLASTMESSAGETYPE VARCHAR"),
                                     QStringLiteral("alter table ZCONVERSATION add column ZLASTMESSAGESENDER INTEGER")});
        RecordBuilder r;
        _ViberPerson* ann = r.person(QString(), QStringLiteral("+491"));
        _ViberChat* chat = r.chat(QString(), QString(), {ann});
        _ViberChat* empty = r.chat(QString(), QString(), {r.person(QString(), QStringLiteral("+499"))});
        const qint64 chatKey = m_merger->insertChatThrow(chat);
        const qint64 emptyKey = m_merger->insertChatThrow(empty);
        write(tokenMsg(r, chat, kT0 + 10, 1, MSG_TYPE_TEXT, MSG_STATE_RECEIVED, ann), chatKey);
        _ViberMsg* pic = tokenMsg(r, chat, kT0 + 20, 2);
        namedAtta(r, pic, QStringLiteral("x.jpg"));
        pic->type = MSG_TYPE_IMAGE;
        write(pic, chatKey);
        write(tokenMsg(r, chat, kT0 + 5, 3), chatKey);
        m_merger->updateChatStatThrow();
        QCOMPARE(text(QStringLiteral("select ZDATE || '|' || ZLASTMESSAGETYPE || '|' || ZLASTMESSAGETEXT || '|' || "
                                     "ifnull(ZLASTMESSAGESENDER, 'null') from ZCONVERSATION where Z_PK=%1")
                          .arg(chatKey)),
                 QStringLiteral("%1|picture|%2|null").arg(kT0 + 20, 0, 'f', 0).arg(pic->text));
        QCOMPARE(text(QStringLiteral("select ZDATE || '|' || ZLASTMESSAGETYPE from ZCONVERSATION where Z_PK=%1")
                          .arg(emptyKey)),
                 QStringLiteral("0|"));
        m_merger->updatePrimaryKeyStatThrow();
        QCOMPARE(value(QStringLiteral("select Z_MAX from Z_PRIMARYKEY where Z_NAME='ViberMessage'")),
                 value(QStringLiteral("select max(Z_PK) from ZVIBERMESSAGE")));
        QCOMPARE(value(QStringLiteral("select Z_MAX from Z_PRIMARYKEY where Z_NAME='Conversation'")), emptyKey);
    }

    void newPeopleReachAPhonesStoreWithTheirNames()
    {
        // A phone's store names a number through its address-book contact
        // (ZABCONTACT), else through ZNAME; a read of the store after the
        // merge shows the names either way.
        for (const bool addressBook : {true, false}) {
            IOSViberDb& db = freshStore(addressBook ? QStringList() : QStringList{u"drop table ZABCONTACT"_qs});
            RecordBuilder r;
            _ViberPerson* ann = r.person(u"Ann Lee"_qs, u"+491"_qs);
            _ViberPerson* bare = r.person(QString(), u"+492"_qs);
            _ViberChat* chat = r.chat(QString(), QString(), {ann});
            const qint64 chatKey = m_merger->insertChatThrow(chat);
            m_merger->saveChatMembersThrow(chatKey, {ann, bare});
            // Someone the phone knows already keeps the phone's name.
            _ViberPerson* again = r.person(u"Somebody else"_qs, u"+491"_qs);
            m_merger->saveChatMembersThrow(chatKey, {again});
            m_merger->updatePrimaryKeyStatThrow();
            if (addressBook) {
                QCOMPARE(value(u"select count(*) from ZABCONTACT"_qs), 1);
                QCOMPARE(value(u"select Z_MAX from Z_PRIMARYKEY where Z_NAME='ABContact'"_qs),
                         value(u"select Z_PK from ZABCONTACT"_qs));
                QCOMPARE(value(u"select ZCONTACT from ZPHONENUMBERINDEX where ZCANONIZEDPHONENUM='492'"_qs), 0);
            }
            IOSViberDb reread(db.root(), u"Documents/Contacts.data"_qs, false);
            ViberData data;
            reread.chatsThrow(data);
            QHash<QString, QString> names;
            for (const _ViberPerson* p : data.p()->persons)
                names.insert(p->number, p->name);
            QCOMPARE(names.value(u"+491"_qs), u"Ann Lee"_qs);
            QCOMPARE(names.value(u"+492"_qs), QString());
            QCOMPARE(names.size(), 2);
        }
        // An empty table keeps its key counter.
        freshStore({u"update Z_PRIMARYKEY set Z_MAX=7 where Z_NAME='ViberLocation'"_qs});
        m_merger->updatePrimaryKeyStatThrow();
        QCOMPARE(value(u"select Z_MAX from Z_PRIMARYKEY where Z_NAME='ViberLocation'"_qs), 7);
    }

    void everyLookUpOfAMergeHasAnIndex()
    {
        // A phone's store gets the indexes when something is merged into
        // it, not when it is only read.
        IOSViberDb& db = freshStore({QStringLiteral("drop index if exists ZVIBERMESSAGE_ZTOKEN_INDEX"),
                                     QStringLiteral("drop index if exists ZATTACHMENT_ZMESSAGE_INDEX")});
        const int before = indexCount(db);
        db.loadDataThrow();
        QCOMPARE(indexCount(db), before);
        qint64 atta = 0;
        m_merger->findMsgThrow(1, kT0, atta);
        QCOMPARE(scans(db, db.joinTable(), db.joinChatCol(), db.joinPersonCol()), QStringList());
        // The indexes it had already are not made twice.
        const int merged = indexCount(db);
        db.close();
        db.openCheckThrow();
        m_merger->findMsgThrow(1, kT0, atta);
        QCOMPARE(indexCount(db), merged);

        // A local database: a new one has them from its schema script, one
        // made by an older version gets them when it is opened.
        const QDir dir(m_tmp.filePath(QStringLiteral("local")));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("Documents"))));
        const QString file = QStringLiteral("Documents/Contacts-tellurine.data");
        {
            IOSViberDb local(dir, file, true);
            local.setCreateIfMissing(true);
            local.openCheckThrow();
            QCOMPARE(scans(local, local.joinTable(), local.joinChatCol(), local.joinPersonCol()), QStringList());
            Sqlite3Cursor c = local.queryThrow("select name from sqlite_master where type='index' and tbl_name in "
                                               "('ZRECENT', 'ZCONVERSATION', 'Z_4PHONENUMINDEXES') and sql is not null");
            QStringList old;
            while (c.moveNext())
                old << c.getText(0);
            for (const QString& name : std::as_const(old))
                local.executeThrow(QStringLiteral("drop index ") + g_sqlQuoteIdent(name));
            local.executeThrow("insert into ZRECENT (ZCALLTOKEN, ZCALLTYPE) values (1, 'missed')");
        }
        {
            Sqlite3DB plain;
            plain.openThrow(dir.absoluteFilePath(file), 2);
            QVERIFY(!scans(plain, QStringLiteral("Z_4PHONENUMINDEXES"), QStringLiteral("Z_4CONVERSATIONS"),
                           QStringLiteral("Z_7PHONENUMINDEXES"))
                         .isEmpty());
        }
        IOSViberDb old(dir, file, true);
        old.openCheckThrow();
        QCOMPARE(scans(old, old.joinTable(), old.joinChatCol(), old.joinPersonCol()), QStringList());
        Sqlite3Cursor rows = old.queryThrow("select ZCALLTOKEN || ZCALLTYPE from ZRECENT");
        QVERIFY(rows.moveNext());
        QCOMPARE(rows.getText(0), QStringLiteral("1missed"));
    }
};

QTEST_GUILESS_MAIN(TestIOSMerge)
#include "test_ios_merge.moc"
