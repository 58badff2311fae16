#include "model/ViberData.h"
#include "model/ViberRecords.h"
#include "model/ViberTime.h"
#include "support/RecordBuilder.h"
#include "support/TestEnv.h"

#include <QTest>

#include <algorithm>

namespace {
int g_destroyed = 0;

struct CountedChat : _ViberChat
{
    ~CountedChat() override { ++g_destroyed; }
};
struct CountedPerson : _ViberPerson
{
    ~CountedPerson() override { ++g_destroyed; }
};
struct CountedMsg : _ViberMsg
{
    ~CountedMsg() override { ++g_destroyed; }
};
} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void personDisplayTexts()
    {
        _ViberPerson blankName;
        blankName.name = QStringLiteral("  Anna  ");
        QCOMPARE(blankName.display(), QStringLiteral("  Anna  "));
        QCOMPARE(blankName.fullDisplay(), QStringLiteral("Anna"));

        _ViberPerson both;
        both.name = QStringLiteral("Anna");
        both.number = QStringLiteral("+4912");
        QCOMPARE(both.display(), QStringLiteral("Anna"));
        QCOMPARE(both.fullDisplay(), QStringLiteral("Anna(+4912)"));

        _ViberPerson numberOnly;
        numberOnly.number = QStringLiteral("+31");
        QCOMPARE(numberOnly.display(), QStringLiteral("+31"));
        QCOMPARE(numberOnly.fullDisplay(), QStringLiteral("+31"));
    }

    void chatDisplayOrdersMembersByNumber()
    {
        _ViberChat empty;
        QCOMPARE(empty.display(), QString());
        QCOMPARE(empty.fullDisplay(), QString());

        _ViberPerson zed, bob, noName;
        zed.id = 1, zed.number = QStringLiteral("+9"), zed.name = QStringLiteral("Zed");
        bob.id = 2, bob.number = QStringLiteral("+1"), bob.name = QStringLiteral("Bob");
        noName.id = 3, noName.number = QStringLiteral("+5");
        _ViberChat chat;
        chat.members = {{1, &zed}, {2, &bob}, {3, &noName}};
        QCOMPARE(chat.display(), QStringLiteral("Bob, +5, Zed"));
        QCOMPARE(chat.fullDisplay(), QStringLiteral("Bob(+1), +5, Zed(+9)"));

        // A subject wins in display() but never in fullDisplay(); blanks alone are no subject.
        chat.name = QStringLiteral("  Team  ");
        QCOMPARE(chat.display(), QStringLiteral("Team"));
        QCOMPARE(chat.fullDisplay(), QStringLiteral("Bob(+1), +5, Zed(+9)"));
        chat.name = QStringLiteral("   ");
        QCOMPARE(chat.display(), QStringLiteral("Bob, +5, Zed"));
    }

    void callDisplay_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("duration");
        QTest::addColumn<QString>("text");
        QTest::newRow("outgoing") << 2 << 125 << QStringLiteral("Outgoing Call (2' 5'')");
        QTest::newRow("incoming zero") << 1 << 0 << QStringLiteral("Incoming Call (0' 0'')");
        QTest::newRow("negative is unknown") << 1 << -125 << QStringLiteral("Incoming Call");
        QTest::newRow("minus one second") << 2 << -1 << QStringLiteral("Outgoing Call");
        QTest::newRow("missed") << 3 << 99 << QStringLiteral("Missed Call");
        QTest::newRow("unknown") << 7 << 10 << QStringLiteral("Unknown Call");
    }
    void callDisplay()
    {
        QFETCH(int, type);
        QFETCH(int, duration);
        QFETCH(QString, text);
        _ViberCall call;
        call.type = type;
        call.duration = duration;
        QCOMPARE(call.display(), text);
    }

    void messageSummaries()
    {
        _ViberMsg m;
        m.text = QStringLiteral("hi ") + QString::fromUtf16(u"\U0001F604") + QStringLiteral(" there");
        QCOMPARE(m.summary(), QString()); // type 0
        m.type = MSG_TYPE_TEXT;
        QCOMPARE(m.summary(), QStringLiteral("hi [EMOJI] there"));
        m.type = MSG_TYPE_LOCATION;
        QCOMPARE(m.summary(), QStringLiteral("hi [EMOJI] there [LOCATION]"));
        m.type = MSG_TYPE_STICKER;
        QCOMPARE(m.summary(), QStringLiteral("[STICKER-UNKNOWN]"));
        _ViberAtta sticker;
        sticker.mediaId = QStringLiteral("1234");
        m.atta = &sticker;
        QCOMPARE(m.summary(), QStringLiteral("[STICKER-1234]"));
        m.type = MSG_TYPE_CALL;
        QCOMPARE(m.summary(), QStringLiteral("[UNKNOWN CALL]"));
        _ViberCall call;
        call.type = CALL_MISSED;
        m.call = &call;
        QCOMPARE(m.summary(), QStringLiteral("Missed Call"));
        for (auto [type, text] : {std::pair{MSG_TYPE_IMAGE, "[IMAGE]"}, std::pair{MSG_TYPE_AUDIO, "[AUDIO]"},
                                  std::pair{MSG_TYPE_VIDEO, "[VIDEO]"}}) {
            m.type = type;
            QCOMPARE(m.summary(), QString::fromLatin1(text));
        }
    }

    // Text files keep "[EMOJI]" unless asked to write the text as it was
    // written; where emoji are drawn they stay, and emoticons become emoji.
    void summaryStyles()
    {
        _ViberMsg m;
        m.type = MSG_TYPE_TEXT;
        m.text = QString::fromUtf16(u"Ok \U0001F44D (heart) \u2600\uFE0F");
        QCOMPARE(m.summary(), QString::fromUtf16(u"Ok [EMOJI] (heart) \u2600\uFE0F"));
        QCOMPARE(m.summary(_ViberMsg::SUMMARY_AS_WRITTEN), m.text);
        QCOMPARE(m.summary(_ViberMsg::SUMMARY_READABLE), QString::fromUtf16(u"Ok \U0001F44D \u2764\uFE0F \u2600\uFE0F"));
        m.type = MSG_TYPE_LOCATION;
        QCOMPARE(m.summary(_ViberMsg::SUMMARY_AS_WRITTEN), m.text + QStringLiteral(" [LOCATION]"));
        m.type = MSG_TYPE_STICKER;
        _ViberAtta sticker;
        sticker.mediaId = QStringLiteral("1026");
        m.atta = &sticker;
        QCOMPARE(m.summary(_ViberMsg::SUMMARY_READABLE), QStringLiteral("[STICKER]"));
        QCOMPARE(m.summary(_ViberMsg::SUMMARY_AS_WRITTEN), QStringLiteral("[STICKER-1026]"));
    }

    void systemMessages()
    {
        _ViberMsg m;
        m.type = MSG_TYPE_SYSTEM;
        m.systemType = SYS_MEMBER_ADDED;
        m.text = QStringLiteral("Carl");
        m.state = MSG_STATE_SENT;
        QCOMPARE(m.summary(), QStringLiteral("Carl joined"));
        QVERIFY(!m.isFromMe());

        m.systemType = SYS_NAME_CHANGED;
        m.text = QStringLiteral("Hikers");
        QCOMPARE(m.systemMsgDisplay(), QStringLiteral("You changed the group name to \"Hikers\""));
        _ViberPerson p;
        p.number = QStringLiteral("+44");
        m.person = &p;
        QCOMPARE(m.systemMsgDisplay(), QStringLiteral("+44 changed the group name to \"Hikers\""));
        QVERIFY(!m.isFromMe());

        m.systemType = SYS_NONE;
        QCOMPARE(m.systemMsgDisplay(), QString());
    }

    void fromMeFollowsState()
    {
        _ViberMsg m;
        for (ViberMsgState s : {MSG_STATE_SENT, MSG_STATE_DELIVERED, MSG_STATE_PENDING, MSG_STATE_UNKNOWN}) {
            m.state = s;
            QVERIFY(m.isFromMe());
        }
        m.state = MSG_STATE_RECEIVED;
        QVERIFY(!m.isFromMe());
    }

    void sortPredicatesAreStrict()
    {
        _ViberMsg a, b, c;
        a.date = 10, b.date = 20, c.date = 20;
        QVERIFY(compareViberMsgAsc(&a, &b) && !compareViberMsgAsc(&b, &a));
        QVERIFY(compareViberMsgDesc(&b, &a) && !compareViberMsgDesc(&a, &b));
        QVERIFY(!compareViberMsgDesc(&b, &c) && !compareViberMsgDesc(&c, &b));
        QVERIFY(!compareViberMsgAsc(&b, &c) && !compareViberMsgAsc(&c, &b));

        _ViberChat old, recent;
        old.date = 1, recent.date = 2;
        QList<_ViberChat*> chats{&old, &recent};
        std::sort(chats.begin(), chats.end(), compareViberChatDesc);
        QCOMPARE(chats.first(), &recent); // most recent first

        _ViberCall c1, c2;
        c1.date = 5, c2.date = 6;
        QVERIFY(compareViberCallDesc(&c2, &c1) && !compareViberCallDesc(&c1, &c1));

        _ViberPerson upper, lower;
        upper.number = QStringLiteral("B"), lower.number = QStringLiteral("a");
        QVERIFY(compareViberPersonAsc(&upper, &lower)); // code units, case-sensitive
    }

    void timeConversions()
    {
        QCOMPARE(unixepochMsecFromDt21(0.0), qint64(978307200) * 1000);
        QCOMPARE(unixepochMsecFromDt21(1.9999), qint64(978307201999));
        QCOMPARE(unixepochMsecFromDt21(-978307200.5), qint64(-500));
        QCOMPARE(unixepochMsecFromDt21(1e300), std::numeric_limits<qint64>::max());
        QCOMPARE(unixepochMsecFromDt21(std::nan("")), qint64(0));
        QCOMPARE(dt21FromUnixepochSecs(978307200), 0.0);
        QCOMPARE(dt21FromUnixepochSecs(0), -978307200.0);
        // No 32-bit wrap for early times.
        QCOMPARE(dt21FromUnixepochSecs(std::numeric_limits<int>::min()), -2147483648.0 - 978307200.0);

        const QDateTime epoch = dtFromTimestamp(0.0).toUTC();
        QCOMPARE(epoch, QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC));
        QCOMPARE(dtFromTimestamp(59.9).toUTC(), QDateTime(QDate(2001, 1, 1), QTime(0, 0, 59), Qt::UTC));
        QCOMPARE(dtFromTimestamp(-1.5).toUTC(), QDateTime(QDate(2000, 12, 31), QTime(23, 59, 59), Qt::UTC));
    }

    void timesOutsideTheRangeAreHeldAtItsEnds()
    {
        const QDateTime low = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
        const QDateTime high = QDateTime::fromSecsSinceEpoch(4294967295LL, Qt::UTC);
        QCOMPARE(dtFromTimestamp(-2e9).toUTC(), low);
        QCOMPARE(dtFromTimestamp(-978307200.0).toUTC(), low);
        QCOMPARE(dtFromTimestamp(4e9).toUTC(), high);
        QCOMPARE(dtFromTimestamp(4294967295.0 - 978307200.0).toUTC(), high);
        QCOMPARE(dtFromTimestamp(std::nan("")).toUTC(), low);
        QCOMPARE(dtFromTimestamp(-std::numeric_limits<double>::infinity()).toUTC(), low);
    }

    void plainNumbers()
    {
        QCOMPARE(viberPlainNumber(QStringLiteral("+49 (170) 123-45")), QStringLiteral("4917012345"));
        QCOMPARE(viberPlainNumber(QStringLiteral("abc-123")), QStringLiteral("abc-123"));
        QCOMPARE(viberPlainNumber(QStringLiteral("+٣٤")), QString()); // Arabic-Indic digits are not 0-9
        QCOMPARE(viberPlainNumber(QString()), QString());
    }

    void assetIdsFromUrls_data()
    {
        QTest::addColumn<QVariant>("url");
        QTest::addColumn<QString>("uid");
        QTest::newRow("plain") << QVariant(QStringLiteral("assets-library://asset/asset.JPG?id=ab12-cd&ext=JPG"))
                               << QStringLiteral("AB12-CD");
        QTest::newRow("case-insensitive scheme")
            << QVariant(QStringLiteral("ASSETS-LIBRARY://ASSET/asset.mov?id=x9")) << QStringLiteral("X9");
        QTest::newRow("slash in name") << QVariant(QStringLiteral("assets-library://asset/a/b.JPG?id=1"))
                                       << QString();
        QTest::newRow("other scheme") << QVariant(QStringLiteral("file:///x?id=1")) << QString();
        QTest::newRow("missing") << QVariant() << QString();
    }
    void assetIdsFromUrls()
    {
        QFETCH(QVariant, url);
        QFETCH(QString, uid);
        _ViberAtta a;
        QCOMPARE(a.iosAssetUID(), QString()); // no property bag at all
        QHash<QString, QVariant> others{{QStringLiteral("Z_OPT"), 2}};
        if (url.isValid())
            others.insert(QStringLiteral("ZURL"), url);
        a.serOthers(others);
        QCOMPARE(a.iosAssetUID(), uid);
    }

    void webPaths()
    {
        _ViberAtta a;
        a.mediaId = QStringLiteral("1234");
        QVERIFY(a.stickerHttpUrl().endsWith(QStringLiteral("/stickers/60/1200/00001234.png")));
        a.mediaId = QStringLiteral("123456789");
        QVERIFY(a.stickerHttpUrl().endsWith(QStringLiteral("/stickers/60/123456700/123456789.png")));
        a.mediaId = QStringLiteral("x");
        QVERIFY(a.stickerHttpUrl().endsWith(QStringLiteral("/stickers/60/0/0000000x.png")));

        _ViberMsg m;
        m.setLocation(52.5, -0.1234567, QString());
        const QString url = m.locationHttpPath();
        QVERIFY(url.startsWith(QStringLiteral("http://")));
        QVERIFY(url.contains(QStringLiteral("/maps/api/staticmap?zoom=16&size=600x389&scale=<scale>&maptype=roadmap"
                                            "&sensor=true&center=52.500000,-0.123457")));

        // A copy's place is its own: setting it leaves the original as it was.
        _ViberMsg copy = m;
        copy.setLocation(1, 2, QStringLiteral("there"));
        QCOMPARE(m.latitude(), 52.5);
        QCOMPARE(m.address(), QString());
        QCOMPARE(copy.longitude(), 2.0);
        QCOMPARE(copy.address(), QStringLiteral("there"));
        copy.setLocation(0, 0, QString());
        QCOMPARE(copy.latitude(), 0.0);
        QCOMPARE(m.longitude(), -0.1234567);
    }

    void dataSetDeletesEachRecordOnce()
    {
        g_destroyed = 0;
        {
            RecordBuilder b;
            auto* person = b.person<CountedPerson>();
            auto* chat = b.chat<CountedChat>(QString(), QString(), {person});
            for (int i = 1; i <= 3; ++i)
                b.msg<CountedMsg>(chat, MSG_TYPE_TEXT, i, QString(), MSG_STATE_RECEIVED, person);
            ViberData copy = b.data;
            QCOMPARE(copy.messages().size(), 3);
            QCOMPARE(copy.chats().size(), 1);
            { ViberData drop = copy; }
            QCOMPARE(g_destroyed, 0); // copies share the set
        }
        QCOMPARE(g_destroyed, 5);
    }

    // Records from the set's arena and from new live side by side: each is
    // destroyed once, when its chat is dropped or with the set, and lets go
    // of its strings (the arena itself only hands back memory).
    void arenaRecordsAreDestroyedLikeOthers()
    {
        g_destroyed = 0;
        const QString text = QStringLiteral("shared text %1").arg(42);
        {
            ViberData data;
            __ViberData* d = data.p();
            d->arena.reserve(3 * 1024 * 1024); // one block large enough for huge pages
            auto* kept = new CountedChat;
            kept->id = 1;
            d->chats.insert(1, kept);
            auto* gone = d->arena.make<CountedChat>();
            gone->id = 2;
            d->chats.insert(2, gone);
            for (int i = 1; i <= 20000; ++i) {
                _ViberMsg* m = i % 3 ? static_cast<_ViberMsg*>(d->arena.make<CountedMsg>()) : new CountedMsg;
                QCOMPARE(quintptr(m) % alignof(CountedMsg), quintptr(0));
                m->id = i;
                m->chat = i % 2 ? static_cast<_ViberChat*>(kept) : gone;
                m->text = text;
                m->chat->msgs << m;
                d->msgs.insert(i, m);
            }
            QVERIFY(d->arena.owns(d->msgs.value(1)));
            QVERIFY(!d->arena.owns(d->msgs.value(3)));
            QVERIFY(!d->arena.owns(kept));
            QCOMPARE(d->msgs.value(20000)->id, 20000); // records stay apart across blocks
            data.keepOnlyChats({1});
            QCOMPARE(g_destroyed, 10001); // the dropped chat and its 10 000 messages
            QCOMPARE(d->msgs.size(), 10000);
            QVERIFY(!text.isDetached());
        }
        QCOMPARE(g_destroyed, 20002);
        QVERIFY(text.isDetached()); // no record holds the text any more
    }

    // Keeping some chats removes the others with everything only they used,
    // each record once, and keeps what a kept chat still points at.
    void keepingChatsDropsOnlyWhatNothingKeptUses()
    {
        g_destroyed = 0;
        {
            RecordBuilder b;
            __ViberData* d = b.data.p();
            auto* shared = b.person<CountedPerson>();
            auto* onlyGone = b.person<CountedPerson>();
            auto* caller = b.person<CountedPerson>();
            auto* kept = b.chat<CountedChat>(QString(), QString(), {shared});
            auto* gone = b.chat<CountedChat>(QString(), QString(), {shared, onlyGone});
            _ViberMsg* keptMsg = b.msg<CountedMsg>(kept, MSG_TYPE_TEXT, 0, QString(), MSG_STATE_RECEIVED, shared);
            _ViberMsg* goneMsg = b.msg<CountedMsg>(gone, MSG_TYPE_TEXT, 0, QString(), MSG_STATE_RECEIVED, onlyGone);
            // One attachment shared by a kept and a dropped message (a crafted
            // store), and a call of each chat.
            _ViberAtta* atta = b.atta(goneMsg);
            keptMsg->atta = atta;
            _ViberCall* keptCall = b.call(keptMsg, CALL_INCOMING, 0, caller);
            b.call(goneMsg);

            b.data.keepOnlyChats({kept->id, 999});
            QCOMPARE(g_destroyed, 3); // the dropped chat, its message, the person only it had
            QCOMPARE(d->chats.keys(), QList<qint64>{kept->id});
            QCOMPARE(d->msgs.keys(), QList<qint64>{keptMsg->id});
            QList<qint64> persons = d->persons.keys();
            std::sort(persons.begin(), persons.end());
            QCOMPARE(persons, QList<qint64>({shared->id, caller->id}));
            QCOMPARE(d->attas.values(), QList<_ViberAtta*>{atta});
            QCOMPARE(atta->msg, keptMsg); // no longer the deleted message
            QCOMPARE(d->calls.values(), QList<_ViberCall*>{keptCall});
        }
        QCOMPARE(g_destroyed, 7);
    }
};

QTEST_APPLESS_MAIN(TestRecords)
#include "test_records.moc"
