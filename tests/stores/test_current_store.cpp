#include "fixtures/CurrentStoreFixture.h"
#include "fixtures/StoreFixture.h"
#include "sqlite/Sqlite3DB.h"
#include "stores/IOSViberDb.h"
#include "stores/OldStoreMerger.h"
#include "support/TestEnv.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {
ViberData load(const CurrentStoreSample& s)
{
    IOSViberDb db(QDir(s.appDir), s.storePath, false);
    return db.loadDataThrow();
}

QStringList memberNames(const _ViberChat* chat)
{
    QStringList names;
    for (const _ViberPerson* p : chat->members)
        names << p->name;
    names.sort();
    return names;
}

const _ViberChat* chatOfCall(const ViberData& data, qint64 call)
{
    const _ViberMsg* m = data.p()->msgs.value(-call);
    return m ? m->chat : nullptr;
}
} // namespace

class TestCurrentStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void readsPeopleChatsAndOwner()
    {
        QTemporaryDir tmp;
        const CurrentStoreSample s = CurrentStoreFixture(tmp.path()).fillSample();
        const ViberData data = load(s);
        const __ViberData* d = data.p();
        QCOMPARE(d->chats.size(), s.chats);
        QCOMPARE(d->persons.size(), s.persons);
        QCOMPARE(d->msgs.size(), s.messages);
        QCOMPARE(d->attas.size(), s.attachments);
        QCOMPARE(d->calls.size(), s.calls);

        // The address book wins; otherwise full name, name, short name.
        QCOMPARE(d->persons.value(s.anna)->name, QStringLiteral("Anna Book"));
        QCOMPARE(d->persons.value(s.anna)->number, QStringLiteral("+4911111"));
        QCOMPARE(d->persons.value(s.boris)->name, QStringLiteral("Boris"));
        QCOMPARE(d->persons.value(s.boris)->number, QStringLiteral("+4922222")); // from ZPHONE alone
        QCOMPARE(d->persons.value(s.chen)->name, QStringLiteral("Chen"));
        QCOMPARE(d->persons.value(s.dora)->name, QStringLiteral("Dora"));
        QVERIFY(QFileInfo(d->persons.value(s.boris)->picturePath).isFile());

        QVERIFY(!d->chats.contains(s.chatDeleted));
        QCOMPARE(d->chats.value(s.chatAnna)->groupId, QString()); // a group id of 0 is none
        QCOMPARE(d->chats.value(s.chatGroup)->groupId, QStringLiteral("777"));
        QCOMPARE(memberNames(d->chats.value(s.chatGroup)),
                 (QStringList{QStringLiteral("Anna Book"), QStringLiteral("Boris"), QStringLiteral("Chen"),
                              QStringLiteral("Eve"), QStringLiteral("Finn")}));
        // Without a phone number the Viber id tells people apart.
        QCOMPARE(d->persons.value(s.eve)->number, QStringLiteral("eve-id"));
        QCOMPARE(memberNames(d->chats.value(s.chatBoris)), QStringList{QStringLiteral("Boris")});

        QCOMPARE(d->ownerName, QStringLiteral("Olga Owner"));
        QCOMPARE(d->ownerNumber, QStringLiteral("+4900000"));
    }

    void readsMessagesAttachmentsAndLocations()
    {
        QTemporaryDir tmp;
        const CurrentStoreSample s = CurrentStoreFixture(tmp.path()).fillSample();
        const ViberData data = load(s);
        const __ViberData* d = data.p();
        auto msg = [&](qint64 id) { return d->msgs.value(id); };

        QCOMPARE(msg(s.msgAnnaText)->person, d->persons.value(s.anna));
        QVERIFY(!msg(s.msgAnnaText)->isFromMe());
        QVERIFY(!msg(s.msgOwnText)->person);
        QVERIFY(msg(s.msgOwnText)->isFromMe());
        QVERIFY(!msg(s.msgDeleted));
        QVERIFY(!msg(s.msgInDeletedChat));
        QVERIFY(!msg(s.msgCallEntry)); // stands in the chat as its call
        QVERIFY(msg(s.msgNewest));
        QCOMPARE(msg(s.msgNewState)->state, MSG_STATE_RECEIVED);
        QVERIFY(!msg(s.msgNoState));

        // Dangling sender, attachment and location: the message stays, plain.
        const _ViberMsg* dangling = msg(s.msgDangling);
        QVERIFY(dangling);
        QVERIFY(!dangling->person && !dangling->atta);
        QCOMPARE(dangling->type, int(MSG_TYPE_TEXT));
        QCOMPARE(dangling->summary(), QStringLiteral("dangling links"));

        struct Expect
        {
            qint64 msg;
            int type;
            const char* summary;
            bool file;
            bool thumb;
        };
        const Expect kinds[] = {{s.msgPicture, MSG_TYPE_IMAGE, "[IMAGE]", true, true},
                                {s.msgVideo, MSG_TYPE_VIDEO, "[VIDEO]", true, true},
                                {s.msgAudio, MSG_TYPE_AUDIO, "[AUDIO]", true, false},
                                {s.msgSticker, MSG_TYPE_STICKER, "[STICKER-1234]", false, true},
                                {s.msgLocationByMessage, MSG_TYPE_LOCATION, " [LOCATION]", false, true},
                                {s.msgPictureByJoin, MSG_TYPE_IMAGE, "[IMAGE]", true, true}};
        for (const Expect& e : kinds) {
            const _ViberMsg* m = msg(e.msg);
            QVERIFY2(m && m->atta, qPrintable(QString::number(e.msg)));
            QCOMPARE(m->type, e.type);
            QCOMPARE(m->summary(), QString::fromLatin1(e.summary));
            QCOMPARE(m->atta->msg, m);
            if (e.file)
                QVERIFY2(QFileInfo(m->atta->filePath).isFile(), qPrintable(m->atta->filePath));
            if (e.thumb)
                QVERIFY2(QFileInfo(m->atta->thumbPath).isFile(), qPrintable(m->atta->thumbPath));
        }
        QCOMPARE(msg(s.msgAudio)->atta->duration, 3.0);

        // A location reached from the message, and one reached from the location row.
        QCOMPARE(msg(s.msgLocationByMessage)->latitude(), 48.8588);
        QCOMPARE(msg(s.msgLocationByMessage)->address(), QStringLiteral("Paris"));
        QCOMPARE(msg(s.msgLocationByLocation)->type, int(MSG_TYPE_LOCATION));
        QCOMPARE(msg(s.msgLocationByLocation)->longitude(), 13.405);
        QCOMPARE(msg(s.msgLocationByLocation)->address(), QStringLiteral("Berlin"));

        QCOMPARE(msg(s.msgNameChanged)->summary(), QStringLiteral("Boris changed the group name to \"Team\""));
        QCOMPARE(msg(s.msgMemberAdded)->summary(), QStringLiteral("Chen joined"));
        QCOMPARE(msg(s.msgGroupText)->person, d->persons.value(s.chen));
    }

    void readsCallsWithVideoKinds()
    {
        QTemporaryDir tmp;
        const CurrentStoreSample s = CurrentStoreFixture(tmp.path()).fillSample();
        const ViberData data = load(s);
        const __ViberData* d = data.p();
        auto call = [&](qint64 id) { return d->calls.value(id); };

        QCOMPARE(call(s.callAnnaIn)->display(), QStringLiteral("Incoming Call (1' 5'')"));
        QCOMPARE(call(s.callBorisVideoOut)->type, int(CALL_OUTGOING));
        QVERIFY(call(s.callBorisVideoOut)->video);
        QCOMPARE(call(s.callBorisVideoOut)->display(), QStringLiteral("Outgoing Video Call (2' 5'')"));
        QCOMPARE(call(s.callDoraVideoMissed)->display(), QStringLiteral("Missed Video Call"));
        QCOMPARE(call(s.callBorisVideoIn)->display(), QStringLiteral("Incoming Video Call (0' 30'')"));
        QCOMPARE(call(s.callStrangerMissed)->display(), QStringLiteral("Missed Call"));

        // With a call message the call joins that message's chat; without
        // one (or with one that is gone) the person's one-to-one chat, made
        // when there is none.
        QCOMPARE(chatOfCall(data, s.callAnnaIn)->id, s.chatAnna);
        QCOMPARE(chatOfCall(data, s.callBorisVideoOut)->id, s.chatBoris);
        QCOMPARE(chatOfCall(data, s.callBorisVideoIn)->id, s.chatBoris);
        const _ViberChat* doraChat = chatOfCall(data, s.callDoraVideoMissed);
        QVERIFY(doraChat->id <= 0);
        QCOMPARE(memberNames(doraChat), QStringList{QStringLiteral("Dora")});
        QCOMPARE(call(s.callDoraVideoMissed)->person, d->persons.value(s.dora));
        // A line that names only a number still gives a person.
        QCOMPARE(call(s.callStrangerMissed)->person->number, QStringLiteral("+4955555"));
        QCOMPARE(call(s.callBorisVideoOut)->person, d->persons.value(s.boris));
    }

    void entityNumbersComeFromTheStore()
    {
        QTemporaryDir tmp;
        CurrentStoreOptions o;
        o.conversationEnt = 7;
        o.memberEnt = 12;
        o.attachmentEnt = 3;
        o.messageEnt = 19;
        const CurrentStoreSample s = CurrentStoreFixture(tmp.path(), o).fillSample();
        const ViberData data = load(s);
        QCOMPARE(data.p()->chats.value(s.chatGroup)->members.size(), 5);
        QVERIFY(data.p()->msgs.value(s.msgPictureByJoin)->atta);
    }

    void toleratesMissingColumnsAndTables()
    {
        QTemporaryDir tmp;
        CurrentStoreOptions o;
        o.omit = {QStringLiteral("Z_5PHONENUMINDEXES"),    QStringLiteral("Z_4MESSAGES"),
                  QStringLiteral("ZABCONTACTNUMBER"),      QStringLiteral("ZCONVERSATION.ZINTERLOCUTOR"),
                  QStringLiteral("ZCONVERSATION.ZBEINGDELETED"), QStringLiteral("ZVIBERMESSAGE.ZBEINGDELETED"),
                  QStringLiteral("ZVIBERMESSAGE.ZLOCATION"), QStringLiteral("ZVIBERMESSAGE.ZSTATE"),
                  QStringLiteral("ZMEMBER.ZDISPLAYFULLNAME"), QStringLiteral("ZATTACHMENT.ZNAME"),
                  QStringLiteral("ZRECENT.ZCALLLOGMESSAGE"), QStringLiteral("ZRECENTSLINE.ZPHONENUMBER"),
                  QStringLiteral("ZPHONENUMBER.ZPHONE")};
        const CurrentStoreSample s = CurrentStoreFixture(tmp.path(), o).fillSample();
        const ViberData data = load(s);
        const __ViberData* d = data.p();

        // Members are the people who wrote in a chat (Eve and Finn had only
        // the full name that is missing now).
        QCOMPARE(memberNames(d->chats.value(s.chatGroup)),
                 (QStringList{QString(), QString(), QStringLiteral("Boris"), QStringLiteral("Chen")}));
        QCOMPARE(d->persons.value(s.anna)->name, QStringLiteral("anna"));
        QCOMPARE(d->persons.value(s.boris)->number, QStringLiteral("mid2")); // its only number was ZPHONE
        // Without states the sender tells who wrote.
        QCOMPARE(d->msgs.value(s.msgAnnaText)->state, MSG_STATE_RECEIVED);
        QCOMPARE(d->msgs.value(s.msgOwnText)->state, MSG_STATE_SENT);
        // Without the deletion marks those rows are ordinary ones.
        QVERIFY(d->chats.contains(s.chatDeleted));
        QVERIFY(d->msgs.contains(s.msgDeleted));
        // The file name stands in for the missing name.
        QVERIFY(QFileInfo(d->msgs.value(s.msgPicture)->atta->filePath).isFile());
        // Only the location row's own link is left.
        QCOMPARE(d->msgs.value(s.msgLocationByLocation)->address(), QStringLiteral("Berlin"));
        QCOMPARE(d->msgs.value(s.msgLocationByMessage)->address(), QString());
        QVERIFY(!d->msgs.value(s.msgPictureByJoin)->atta);
        // Calls without a call message go to the person's chat.
        QCOMPARE(chatOfCall(data, s.callBorisVideoOut)->id, s.chatBoris);
        QCOMPARE(d->calls.size(), s.calls - 1); // the number-only line names nobody now
    }

    void namesFromTheStoreStayInTheirFolders()
    {
        QTemporaryDir tmp;
        const CurrentStoreSample s = CurrentStoreFixture(tmp.path()).fillSample();
        {
            Sqlite3DB db;
            db.openThrow(s.storePath, 2);
            db.executeThrow("update ZMEMBER set ZICONID='../../../evil' where Z_PK=2");
            db.executeThrow("update ZATTACHMENT set ZNAME='../../secret.jpg' where Z_PK=200");
            db.executeThrow("drop table ZVIBERLOCATION");
        }
        const ViberData data = load(s);
        const __ViberData* d = data.p();
        QVERIFY(!d->persons.value(s.boris)->picturePath.contains(QStringLiteral("evil")));
        QVERIFY(d->persons.value(s.boris)->viberIconPath.isEmpty());
        const _ViberAtta* a = d->msgs.value(s.msgPicture)->atta;
        QVERIFY(a->filePath.isEmpty() && a->thumbPath.isEmpty());
        // Without the location table the messages are still there, without places.
        QCOMPARE(d->msgs.value(s.msgLocationByLocation)->type, int(MSG_TYPE_TEXT));
        QCOMPARE(d->msgs.size(), s.messages);
    }

    void readsTheWriteAheadLog()
    {
        QTemporaryDir tmp;
        CurrentStoreOptions o;
        o.newestInWal = true;
        const CurrentStoreSample s = CurrentStoreFixture(tmp.path(), o).fillSample();
        QVERIFY(QFileInfo(s.storePath + QStringLiteral("-wal")).size() > 0);
        QCOMPARE(load(s).p()->msgs.value(s.msgNewest)->text, QStringLiteral("Newest from Anna"));
    }

    void oldLayoutMergeNeverWritesTheCurrentLayout()
    {
        // Today's layout has a merger of its own: the old one's inserts name
        // tables that store lacks and must stop before they change anything.
        QTemporaryDir tmp;
        const CurrentStoreSample s = CurrentStoreFixture(tmp.path()).fillSample();
        const QByteArray before = g_fileDigest(s.storePath);
        {
            IOSViberDb db(QDir(s.appDir), s.storePath, false);
            OldStoreMerger merger(db);
            QVERIFY_THROWS_EXCEPTION(std::logic_error, merger.prepareThrow());
            QVERIFY(db.isCurrentLayout());
            _ViberChat chat;
            chat.groupId = QStringLiteral("1");
            QVERIFY_THROWS_EXCEPTION(std::logic_error, merger.insertChatThrow(&chat));
            QVERIFY_THROWS_EXCEPTION(std::logic_error, merger.updateChatStatThrow());
        }
        QCOMPARE(g_fileDigest(s.storePath), before);

        // The old layout stays writable.
        ContainerFixture old(tmp.filePath(QStringLiteral("old")));
        old.finish();
        IOSViberDb oldDb(old.root(), old.dbFile(), false);
        OldStoreMerger(oldDb).prepareThrow();
        QVERIFY(!oldDb.isCurrentLayout());
    }
};

QTEST_GUILESS_MAIN(TestCurrentStore)
#include "test_current_store.moc"
