#include "fixtures/StoreFixture.h"
#include "model/EmojiText.h"
#include "model/TinyKVSerializer.h"
#include "stores/IOSViberDb.h"
#include "stores/PreviewMaker.h"
#include "stores/StorePaths.h"
#include "support/TestEnv.h"

#include <QDirIterator>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

class TestIOSViberDb : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    SampleStore m_s;
    ViberData m_data;
    QDir m_root;

    __ViberData* d() const { return m_data.p(); }
    _ViberMsg* msg(qint64 id) const { return d()->msgs.value(id); }

    int countRows(const QString& sql)
    {
        Sqlite3DB db;
        db.openThrow(m_root.absoluteFilePath(QStringLiteral("Documents/Contacts.data")), 2);
        Sqlite3Cursor c = db.queryThrow(sql);
        return c.moveNext() ? c.getInt(0) : -1;
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(m_tmp.isValid());
        const QString container = m_tmp.filePath(QStringLiteral("container"));
        m_s = g_writeSampleContainer(container);
        m_root = QDir(container);
        IOSViberDb db(m_root, QStringLiteral("Documents/Contacts.data"), false);
        m_data = db.loadDataThrow();
        QCOMPARE(db.joinTable(), QStringLiteral("Z_4PHONENUMINDEXES"));
        QCOMPARE(db.joinChatCol(), QStringLiteral("Z_4CONVERSATIONS"));
        QCOMPARE(db.joinPersonCol(), QStringLiteral("Z_8PHONENUMINDEXES"));
    }

    void openingRemovesOrphans()
    {
        QCOMPARE(countRows(QStringLiteral("select count(*) from ZVIBERLOCATION where ZMESSAGE = 88888")), 0);
        QCOMPARE(countRows(QStringLiteral("select count(*) from ZATTACHMENT where ZMESSAGE = 77777")), 0);
        QCOMPARE(countRows(QStringLiteral("select count(*) from Z_4PHONENUMINDEXES where Z_4CONVERSATIONS = 999")), 0);
        QCOMPARE(countRows(QStringLiteral("select count(*) from Z_4PHONENUMINDEXES")), 5);
    }

    void peopleComeFromTheAddressBook()
    {
        QCOMPARE(d()->persons.size(), 5);
        const _ViberPerson* anna = d()->persons.value(m_s.anna);
        QVERIFY(anna);
        QCOMPARE(anna->number, QStringLiteral("+4915111111111"));
        QCOMPARE(anna->name, QStringLiteral("Anna Berg"));
        QCOMPARE(anna->viberIconPath, QStringLiteral("/Documents/ViberIcons/ic-anna.jpg"));
        QCOMPARE(anna->contactIconPath, QStringLiteral("/Documents/ContactIcons/11.jpg"));
        QCOMPARE(anna->picturePath, m_root.absoluteFilePath(QStringLiteral("Documents/ContactIcons/4915111111111.jpg")));
        QCOMPARE(anna->unserOthers().value(QStringLiteral("Z_OPT")).toInt(), 1);
        // Without an address-book contact the name is empty, whatever ZNAME says.
        QVERIFY(d()->persons.value(m_s.chen)->name.isEmpty());
        QCOMPARE(d()->persons.value(m_s.boris)->number, QStringLiteral("+79161234567"));
        // A number with letters stays as it is and never becomes a path.
        const _ViberPerson* odd = d()->persons.value(m_s.odd);
        QCOMPARE(odd->number, QStringLiteral("a/../../outside"));
        QVERIFY(odd->picturePath.isEmpty());
        QVERIFY(odd->viberIconPath.isEmpty());
    }

    void chatsAndMembers()
    {
        QCOMPARE(d()->chats.size(), 4); // three stored, one made for calls
        const _ViberChat* group = d()->chats.value(m_s.chatGroup);
        QCOMPARE(group->members.size(), 3);
        QCOMPARE(group->groupId, QStringLiteral("g-100"));
        QCOMPARE(group->display(), QStringLiteral("Family"));
        const _ViberChat* anna = d()->chats.value(m_s.chatAnna);
        QCOMPARE(anna->members.keys(), QList<qint64>{m_s.anna});
        QCOMPARE(anna->display(), QStringLiteral("Anna Berg"));
        const QHash<QString, QVariant> bag = anna->unserOthers();
        QCOMPARE(bag.value(QStringLiteral("Z_OPT")).toInt(), 1);
        QVERIFY(bag.contains(QStringLiteral("ZCONTEXT")));
        QVERIFY(!bag.contains(QStringLiteral("ZSMARTNOTIFICATIONSHOWN"))); // NULL is left out
    }

    void messagesFollowStateAndSystemRules()
    {
        const int stored = 15;
        QCOMPARE(d()->msgs.size(), stored + 4);
        const _ViberMsg* rec = msg(m_s.msgReceived);
        QCOMPARE(rec->state, MSG_STATE_RECEIVED);
        QCOMPARE(rec->type, int(MSG_TYPE_TEXT));
        QCOMPARE(rec->person, d()->persons.value(m_s.anna));
        QCOMPARE(rec->chat, d()->chats.value(m_s.chatAnna));
        QCOMPARE(rec->token, 7000000010LL);
        QCOMPARE(rec->seq, 10);
        QCOMPARE(rec->summary(), QStringLiteral("Hi! [EMOJI] See you\tat 5\nok?"));

        const _ViberMsg* emo = msg(m_s.msgEmoticon);
        QCOMPARE(emo->state, MSG_STATE_DELIVERED);
        QCOMPARE(emo->unserOthers().value(QStringLiteral("ZEMOTICONSRANGES")).toByteArray(),
                 viber_emoji_ranges(QStringLiteral("Sure (smiley)")));
        QVERIFY(!msg(m_s.msgReceived)->unserOthers().contains(QStringLiteral("ZRANGES")));
        QCOMPARE(msg(m_s.msgPending)->state, MSG_STATE_PENDING);

        const _ViberMsg* named = msg(m_s.msgNameChanged);
        QCOMPARE(named->type, int(MSG_TYPE_SYSTEM));
        QCOMPARE(named->systemType, int(SYS_NAME_CHANGED));
        QCOMPARE(named->summary(), QStringLiteral("Boris changed the group name to \"Family\""));
        QCOMPARE(msg(m_s.msgMemberAdded)->systemType, int(SYS_MEMBER_ADDED));
        QCOMPARE(msg(m_s.msgMemberAdded)->summary(), QStringLiteral("Chen joined"));

        const _ViberMsg* twice = msg(m_s.msgTwoLocations);
        QCOMPARE(twice->type, int(MSG_TYPE_LOCATION));
        QCOMPARE(twice->latitude(), 1.5);
        QCOMPARE(twice->address(), QStringLiteral("first"));
        int seen = 0;
        for (const _ViberMsg* m : d()->chats.value(m_s.chatAnna)->msgs)
            seen += m == twice;
        QCOMPARE(seen, 1);
    }

    void attachmentsGetTheirPaths()
    {
        auto path = [&](const char* rel) { return m_root.absoluteFilePath(QString::fromLatin1(rel)); };
        const _ViberMsg* pic = msg(m_s.msgPicture);
        QCOMPARE(pic->type, int(MSG_TYPE_IMAGE));
        QCOMPARE(pic->atta->msg, pic);
        QCOMPARE(pic->atta->fileSize, 1234);
        QCOMPARE(pic->atta->mediaId, QStringLiteral("m-pic1"));
        QCOMPARE(pic->atta->filePath, path("Documents/Attachments/pic1.jpg"));
        QCOMPARE(pic->atta->thumbPath, path("Documents/AttachmentsPreview/pic1.jpg"));
        QCOMPARE(pic->atta->unserOthers().value(QStringLiteral("ZSTATE")).toString(), QStringLiteral("downloaded"));

        // No preview on disk: one is made, 400 pixels on the longer side.
        const _ViberAtta* made = msg(m_s.msgPictureNoPreview)->atta;
        QCOMPARE(made->thumbPath, path("Documents/AttachmentsPreview/pic2.png"));
        const QImage preview(made->thumbPath);
        QCOMPARE(preview.size(), QSize(400, 100));

        const _ViberMsg* video = msg(m_s.msgVideo);
        QCOMPARE(video->type, int(MSG_TYPE_VIDEO));
        QCOMPARE(video->atta->duration, 12.5);
        QCOMPARE(video->atta->thumbPath, path("Documents/AttachmentsPreview/clip.jpg"));

        const _ViberMsg* audio = msg(m_s.msgAudio);
        QCOMPARE(audio->type, int(MSG_TYPE_AUDIO));
        QCOMPARE(audio->atta->filePath, path("Documents/VoiceMessages/voice1.m4a"));

        const _ViberMsg* sticker = msg(m_s.msgSticker);
        QCOMPARE(sticker->type, int(MSG_TYPE_STICKER));
        QCOMPARE(sticker->atta->thumbPath, path("Documents/stickers/0/100/00000075.png"));
        QVERIFY(sticker->atta->filePath.isEmpty());
        QCOMPARE(sticker->summary(), QStringLiteral("[STICKER-75]"));

        const _ViberMsg* loc = msg(m_s.msgCustomLocation);
        QCOMPARE(loc->type, int(MSG_TYPE_LOCATION));
        QCOMPARE(loc->latitude(), 48.8588);
        QCOMPARE(loc->address(), QStringLiteral("Champ de Mars, Paris"));
        QCOMPARE(loc->atta->thumbPath, path("Documents/CustomLocationImage/48.858800_2.jpg"));
        QCOMPARE(loc->summary(), QStringLiteral("Here [LOCATION]"));
    }

    void namesThatLeaveTheFolderAreNeverPaths()
    {
        const _ViberAtta* a = d()->attas.value(m_s.attaTraversal);
        QVERIFY(a);
        QCOMPARE(a->name, QStringLiteral("../../escape.jpg"));
        QVERIFY(a->filePath.isEmpty());
        QVERIFY(a->thumbPath.isEmpty());
        QCOMPARE(msg(m_s.msgTraversal)->type, int(MSG_TYPE_IMAGE));
        QVERIFY(msg(m_s.msgStickerTraversal)->atta->thumbPath.isEmpty());
        QDirIterator it(m_tmp.path(), {QStringLiteral("escape.jpg")}, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY(!it.hasNext());
    }

    void callsGoIntoChats()
    {
        QCOMPARE(d()->calls.size(), 4);
        const _ViberCall* in = d()->calls.value(m_s.callAnnaIn);
        QCOMPARE(in->type, int(CALL_INCOMING));
        QCOMPARE(in->duration, 65);
        QCOMPARE(in->person, d()->persons.value(m_s.anna));
        const _ViberMsg* inMsg = msg(-m_s.callAnnaIn);
        QCOMPARE(inMsg->type, int(MSG_TYPE_CALL));
        QCOMPARE(inMsg->call, in);
        QCOMPARE(inMsg->chat, d()->chats.value(m_s.chatAnna));
        QCOMPARE(inMsg->chat->msgs.constLast(), inMsg); // calls follow the messages
        QCOMPARE(inMsg->chat->date, in->date);          // a later call raises the chat's date

        const _ViberCall* out = d()->calls.value(m_s.callBorisOut);
        QCOMPARE(out->type, int(CALL_OUTGOING));
        QCOMPARE(d()->chats.value(m_s.chatBoris)->date, 600000100.0); // an earlier call does not

        // Dora has no chat: both her calls share one made for them.
        const _ViberMsg* m1 = msg(-m_s.callDoraMissed1);
        const _ViberMsg* m2 = msg(-m_s.callDoraMissed2);
        QCOMPARE(m1->chat, m2->chat);
        QCOMPARE(m1->chat->id, -3);
        QCOMPARE(m1->chat->name, QStringLiteral("Dora"));
        QCOMPARE(m1->chat->date, 600000800.0);
        QCOMPARE(m1->call->type, int(CALL_MISSED));
    }

    void localDatabaseKeepsItsBagVerbatim()
    {
        ContainerFixture c(m_tmp.filePath(QStringLiteral("localdb")), IOSStoreWriter::LocalDb);
        IOSStoreWriter& w = c.store();
        QCOMPARE(w.joinPersonCol(), QStringLiteral("Z_7PHONENUMINDEXES"));
        const QByteArray bag = TinyKVSerializer::ser({{QStringLiteral("ZCONTEXT"), qint64(5)}});
        Sqlite3Row p;
        p["ZCANONIZEDPHONENUM"] = QStringLiteral("123");
        p["ZNAME"] = QStringLiteral("Local Name");
        p["_other"] = bag;
        const qint64 person = w.insertThrow(QStringLiteral("ZPHONENUMBERINDEX"), p);
        const qint64 chat = w.addChat(10, {person});
        IOSStoreWriter::Message m;
        m.chat = chat;
        m.text = QStringLiteral("x");
        m.emoticonRanges = QByteArray("ignored here");
        const qint64 id = w.addMessage(m);
        w.db().executeThrow(Sqlite3Sql("update ZVIBERMESSAGE set _other = ? where Z_PK = ?").addBlobParam(bag).addInt64Param(id));
        w.addCall(person, QStringLiteral("incoming"), 3, 20);
        c.finish();

        IOSViberDb db(c.root(), c.dbFile(), true);
        const ViberData data = db.loadDataThrow();
        QCOMPARE(db.pniEnt(), 7);
        const _ViberPerson* loaded = data.p()->persons.value(person);
        QCOMPARE(loaded->name, QStringLiteral("Local Name"));
        QCOMPARE(loaded->number, QStringLiteral("+123"));
        QCOMPARE(loaded->others, bag);
        QCOMPARE(data.p()->msgs.value(id)->others, bag);
        QVERIFY(data.p()->chats.value(chat)->others.isEmpty()); // NULL _other stays empty
        QCOMPARE(data.p()->calls.size(), 1);
    }

    void freshPathIsCreatedFromTheScript()
    {
        const QDir root(m_tmp.filePath(QStringLiteral("fresh")));
        IOSViberDb db(root, QStringLiteral("Contacts-tellurine.data"), true);
        QVERIFY(QDir().mkpath(root.path()));
        // Only a writer makes one; a reader is told it is not there.
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.loadDataThrow());
        QVERIFY(!QFileInfo::exists(root.filePath(QStringLiteral("Contacts-tellurine.data"))));
        db.setCreateIfMissing(true);
        const ViberData data = db.loadDataThrow();
        QVERIFY(QFileInfo::exists(root.filePath(QStringLiteral("Contacts-tellurine.data"))));
        QVERIFY(data.p()->chats.isEmpty() && data.p()->msgs.isEmpty() && data.p()->persons.isEmpty());
        QCOMPARE(db.entities().size(), 15);
        QCOMPARE(db.entities().value(QStringLiteral("ViberMessage")), 15);
        QCOMPARE(db.joinPersonCol(), QStringLiteral("Z_7PHONENUMINDEXES"));
        QVERIFY(db.schema().containsCol(QStringLiteral("zvibermessage"), QStringLiteral("_other")));
        QCOMPARE(db.schema().table(QStringLiteral("Z_4PHONENUMINDEXES")).cols().size(), 2);
        // The same resource is reachable under both spellings.
        QVERIFY(QFile::exists(QStringLiteral(":/res/ios_viber_db.sql")));
    }

    void callsWithoutConversationsShareChatZero()
    {
        ContainerFixture c(m_tmp.filePath(QStringLiteral("callsonly")));
        const qint64 p = c.store().addPerson(QStringLiteral("555"));
        c.store().addCall(p, QStringLiteral("incoming"), 1, 10);
        c.store().addCall(p, QStringLiteral("outgoing"), 2, 20);
        c.finish();
        const ViberData data = IOSViberDb(c.root(), c.dbFile(), false).loadDataThrow();
        QCOMPARE(data.p()->chats.size(), 1);
        QCOMPARE(data.p()->chats.value(0)->msgs.size(), 2);
    }

    void madeChatKeysAvoidStoredOnes()
    {
        ContainerFixture c(m_tmp.filePath(QStringLiteral("oddkeys")));
        Sqlite3Row chat;
        chat["Z_PK"] = qint64(-2);
        chat["ZNAME"] = QStringLiteral("stored with a negative key");
        c.store().insertThrow(QStringLiteral("ZCONVERSATION"), chat);
        c.store().addChat(1, {});
        const qint64 p = c.store().addPerson(QStringLiteral("555"));
        c.store().addCall(p, QStringLiteral("missed"), 0, 10);
        c.finish();
        const ViberData data = IOSViberDb(c.root(), c.dbFile(), false).loadDataThrow();
        QCOMPARE(data.p()->chats.size(), 3);
        QCOMPARE(data.p()->chats.value(-2)->name, QStringLiteral("stored with a negative key"));
        QCOMPARE(data.p()->chats.value(-3)->members.size(), 1);
    }

    // Photos much larger than their preview are decoded at a fraction of
    // their size: the preview still has the size a whole decode scaled down
    // gives, and shows the same picture.
    void largePhotosGetPreviewsOfTheSameSize()
    {
        const QDir base(m_tmp.filePath(QStringLiteral("large-previews")));
        QVERIFY(base.mkpath(QStringLiteral(".")));
        for (const QSize size : {QSize(1600, 1200), QSize(4032, 3024), QSize(1000, 3001), QSize(900, 900),
                                 QSize(2001, 799)}) {
            QImage photo(size, QImage::Format_RGB32);
            photo.fill(Qt::blue);
            QPainter(&photo).fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
            const QString name = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
            const QString src = base.filePath(name + QStringLiteral(".jpg"));
            QVERIFY(photo.save(src, "JPEG", 90));
            const QString dst = base.filePath(QStringLiteral("previews/") + name + QStringLiteral(".jpg"));
            g_makeImagePreview(src, dst, base);
            const QImage preview(dst);
            const QSize expected = size.width() > size.height() ? photo.scaledToWidth(400).size()
                                                                : photo.scaledToHeight(400).size();
            QCOMPARE(preview.size(), expected);
            const QColor left = preview.pixelColor(preview.width() / 8, preview.height() / 2);
            const QColor right = preview.pixelColor(preview.width() * 7 / 8, preview.height() / 2);
            QVERIFY2(left.red() > 200 && left.blue() < 60, qPrintable(name));
            QVERIFY2(right.blue() > 200 && right.red() < 60, qPrintable(name));
        }
        // Not a picture, or a preview that would leave the base: nothing.
        const QString text = base.filePath(QStringLiteral("text.jpg"));
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a picture");
        f.close();
        g_makeImagePreview(text, base.filePath(QStringLiteral("previews/text.jpg")), base);
        QVERIFY(!QFileInfo::exists(base.filePath(QStringLiteral("previews/text.jpg"))));
        g_makeImagePreview(base.filePath(QStringLiteral("1600x1200.jpg")), m_tmp.filePath(QStringLiteral("outside.jpg")),
                           base);
        QVERIFY(!QFileInfo::exists(m_tmp.filePath(QStringLiteral("outside.jpg"))));
    }

    // Previews made beside a load: each one once, from the first picture that
    // names it, all written by finish(); a cancel leaves only whole ones.
    void previewsMadeAsideAreWholeAndMadeOnce()
    {
        const QDir base(m_tmp.filePath(QStringLiteral("aside")));
        QVERIFY(base.mkpath(QStringLiteral(".")));
        const auto picture = [&](const QString& name, Qt::GlobalColor colour) {
            QImage photo(QSize(1200, 900), QImage::Format_RGB32);
            photo.fill(colour);
            const QString path = base.filePath(name);
            return photo.save(path, "JPEG", 90) ? path : QString();
        };
        const QString red = picture(QStringLiteral("red.jpg"), Qt::red);
        const QString blue = picture(QStringLiteral("blue.jpg"), Qt::blue);
        QVERIFY(!red.isEmpty() && !blue.isEmpty());
        const auto dst = [&](int i) { return base.filePath(QStringLiteral("previews/%1.jpg").arg(i)); };
        {
            PreviewMaker maker(base);
            for (int i = 0; i < 24; ++i)
                maker.make(i % 2 ? blue : red, dst(i));
            maker.make(blue, dst(0)); // named again: the first picture wins
            maker.make(red, m_tmp.filePath(QStringLiteral("outside-aside.jpg")));
            maker.finish();
            for (int i = 0; i < 24; ++i) {
                const QImage preview(dst(i));
                QCOMPARE(preview.size(), QSize(400, 300));
                const QColor c = preview.pixelColor(200, 150);
                QVERIFY2(i % 2 ? c.blue() > 200 && c.red() < 60 : c.red() > 200 && c.blue() < 60, qPrintable(dst(i)));
            }
            QVERIFY(!QFileInfo::exists(m_tmp.filePath(QStringLiteral("outside-aside.jpg"))));
        }
        QVERIFY(QDir(base.filePath(QStringLiteral("previews"))).removeRecursively());
        {
            PreviewMaker maker(base);
            for (int i = 0; i < 200; ++i)
                maker.make(red, dst(i));
            maker.cancel();
        }
        int made = 0;
        for (int i = 0; i < 200; ++i) {
            if (!QFileInfo::exists(dst(i)))
                continue;
            ++made;
            QCOMPARE(QImage(dst(i)).size(), QSize(400, 300));
        }
        QVERIFY(made < 200);
    }

    void previewsCanBeRedirected()
    {
        ContainerFixture c(m_tmp.filePath(QStringLiteral("redirect")));
        const qint64 chat = c.store().addChat(1, {});
        IOSStoreWriter::Message m;
        m.chat = chat;
        const qint64 id = c.store().addMessage(m);
        c.store().addAttachment(id, QStringLiteral("picture"), QStringLiteral("p.jpg"));
        c.writeJpeg(QStringLiteral("Documents/Attachments/p.jpg"), 30, 60);
        c.finish();
        const QDir cache(m_tmp.filePath(QStringLiteral("redirect-cache")));
        IOSViberDb db(c.root(), c.dbFile(), false);
        db.setPreviewRoot(cache);
        const ViberData data = db.loadDataThrow();
        const _ViberAtta* a = data.p()->msgs.value(id)->atta;
        QCOMPARE(a->filePath, c.root().absoluteFilePath(QStringLiteral("Documents/Attachments/p.jpg")));
        QCOMPARE(a->thumbPath, cache.absoluteFilePath(QStringLiteral("Documents/AttachmentsPreview/p.jpg")));
        QCOMPARE(QImage(a->thumbPath).size(), QSize(200, 400));
        QVERIFY(!c.root().exists(QStringLiteral("Documents/AttachmentsPreview")));
    }

    void stateMappingsRoundTrip()
    {
        QCOMPARE(IOSViberDb::IOSGetViberState(QStringLiteral("Sending")), MSG_STATE_DELIVERED);
        QCOMPARE(IOSViberDb::IOSGetViberState(QStringLiteral("pendingnotsent")), MSG_STATE_PENDING);
        QCOMPARE(IOSViberDb::IOSGetViberState(QStringLiteral("sent")), MSG_STATE_UNKNOWN);
        for (ViberMsgState s : {MSG_STATE_DELIVERED, MSG_STATE_RECEIVED, MSG_STATE_SENT, MSG_STATE_PENDING})
            QCOMPARE(IOSViberDb::IOSGetViberState(IOSViberDb::IOSToViberStateString(s)), s);
        QVERIFY(IOSViberDb::IOSToViberStateString(MSG_STATE_UNKNOWN).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestIOSViberDb)
#include "test_ios_viber_db.moc"
