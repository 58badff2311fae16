#include "fixtures/DesktopFixture.h"
#include "model/ViberTime.h"
#include "stores/PCViberDb.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <QTest>

class TestPCViberDb : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    DesktopSample m_s;
    ViberData m_data;
    const int t = 1600000000;

    __ViberData* d() const { return m_data.p(); }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(m_tmp.isValid());
        DesktopFixture f(m_tmp.filePath(QStringLiteral("viber.db")));
        m_s = g_fillDesktopSample(f);
        f.finish();
        m_data = PCViberDb(m_tmp.filePath(QStringLiteral("viber.db"))).loadDataThrow();
    }

    void chatsAndPeople()
    {
        QCOMPARE(d()->persons.size(), 3);
        const _ViberPerson* anna = d()->persons.value(m_s.anna);
        QCOMPARE(anna->number, QStringLiteral("+4915111111111"));
        QCOMPARE(anna->name, QStringLiteral("Anna Berg"));
        QCOMPARE(anna->picturePath, QStringLiteral("/home/me/.ViberPC/avatars/anna.jpg"));

        QCOMPARE(d()->chats.size(), 2);
        const _ViberChat* one = d()->chats.value(m_s.chatAnna);
        QCOMPARE(one->members.keys(), QList<qint64>{m_s.anna});
        QVERIFY(one->name.isEmpty() && one->groupId.isEmpty());
        QCOMPARE(one->date, dt21FromUnixepochSecs(t + 500)); // calls and messages do not raise it
        const _ViberChat* group = d()->chats.value(m_s.chatGroup);
        QCOMPARE(group->name, QStringLiteral("Climbing"));
        QCOMPARE(group->groupId, QStringLiteral("grp-token-1"));
        QCOMPARE(group->members.size(), 3);
    }

    void messagesOfEveryKind()
    {
        QCOMPARE(d()->msgs.size(), m_s.messages + m_s.calls);
        QCOMPARE(d()->attas.size(), m_s.attachments);
        auto msg = [&](qint64 id) { return d()->msgs.value(id); };

        QCOMPARE(msg(1)->text, QString::fromUtf8("Hallo \xF0\x9F\x98\x80")); // the repeated event key did not replace it
        QCOMPARE(msg(1)->state, MSG_STATE_RECEIVED);
        QCOMPARE(msg(1)->person, d()->persons.value(m_s.anna));
        QCOMPARE(msg(1)->date, dt21FromUnixepochSecs(t + 1));
        QCOMPARE(msg(1)->stateDate, msg(1)->date);
        QCOMPARE(msg(2)->type, int(MSG_TYPE_TEXT)); // text bit wins over image bit
        QCOMPARE(msg(2)->state, MSG_STATE_DELIVERED);
        QVERIFY(!msg(2)->person); // own messages name no sender

        const _ViberMsg* image = msg(3);
        QCOMPARE(image->type, int(MSG_TYPE_IMAGE));
        QCOMPARE(image->text, QStringLiteral("a photo"));
        QCOMPARE(image->atta->name, QString::number(unixepochMsecFromDt21(image->date)) + QStringLiteral(".JPG"));
        QCOMPARE(image->atta->filePath, QStringLiteral("/home/me/Documents/ViberDownloads/photo.JPG"));
        QCOMPARE(image->atta->thumbPath, QStringLiteral("/thumbs/p.jpg"));
        QCOMPARE(image->atta->msg, image);

        const _ViberMsg* audio = msg(4);
        QCOMPARE(audio->type, int(MSG_TYPE_AUDIO));
        QCOMPARE(audio->atta->duration, 2.0);
        QCOMPARE(audio->atta->mediaId, QStringLiteral("ptt-1.m4a"));
        QCOMPARE(audio->atta->filePath, QDir::home().absoluteFilePath(QStringLiteral("Documents/ViberDownloads/PTT/ptt-1.m4a")));
        QVERIFY(msg(10)->atta->filePath.isEmpty()); // an id that leaves the folder

        QCOMPARE(msg(5)->type, int(MSG_TYPE_VIDEO));
        QCOMPARE(msg(5)->atta->duration, 12.0);
        QCOMPARE(msg(5)->atta->name, QStringLiteral("105.mp4"));

        QCOMPARE(msg(6)->type, int(MSG_TYPE_LOCATION));
        QCOMPARE(msg(6)->latitude(), 48.858844);
        QCOMPARE(msg(6)->longitude(), 229.4351);
        QCOMPARE(msg(9)->latitude(), 45.0);
        QCOMPARE(msg(9)->longitude(), 7.0);

        QCOMPARE(msg(7)->type, int(MSG_TYPE_STICKER));
        QCOMPARE(msg(7)->atta->mediaId, QStringLiteral("1234"));
        QCOMPARE(msg(7)->atta->name, QStringLiteral("107"));

        QCOMPARE(msg(8)->person, d()->persons.value(m_s.boris));
        QVERIFY(!msg(11) && !msg(12));
    }

    void callsByDirectionAndDuration()
    {
        QCOMPARE(d()->calls.size(), m_s.calls);
        QCOMPARE(d()->calls.value(20)->type, int(CALL_MISSED));
        QCOMPARE(d()->calls.value(21)->type, int(CALL_OUTGOING));
        QCOMPARE(d()->calls.value(22)->type, int(CALL_INCOMING));
        QCOMPARE(d()->calls.value(22)->duration, 95);
        const _ViberMsg* m = d()->msgs.value(22);
        QCOMPARE(m->type, int(MSG_TYPE_CALL));
        QCOMPARE(m->call, d()->calls.value(22));
        QVERIFY(!m->person);
        QCOMPARE(m->call->person, d()->persons.value(m_s.anna));
        QCOMPARE(m->chat->msgs.constLast(), m);
    }

    void coordinatesAssumeFixedIntegerDigits()
    {
        QCOMPARE(g_desktopCoordinate(48858844, 2), 48.858844);
        QCOMPARE(g_desktopCoordinate(2294351, 3), 229.4351);
        QCOMPARE(g_desktopCoordinate(45, 2), 45.0);
        QCOMPARE(g_desktopCoordinate(-5, 2), 0.0);
    }

    void repeatedChatRowsReplaceWithoutLeaking()
    {
        const QString path = m_tmp.filePath(QStringLiteral("dup.db"));
        {
            DesktopFixture f(path);
            f.addNumber(QStringLiteral("+1"), QStringLiteral("First"));
            f.addNumber(QStringLiteral("+1"), QStringLiteral("Second"));
            f.addChat(5, QStringLiteral("+1"), 100);
            f.finish();
        }
        const ViberData data = PCViberDb(path).loadDataThrow();
        QCOMPARE(data.p()->chats.size(), 1);
        QCOMPARE(data.p()->chats.value(5)->members.size(), 1);
        QCOMPARE(data.p()->persons.size(), 2);
    }

    void aMissingRequiredColumnIsNamed_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        const QList<QPair<const char*, const char*>> required = {
            {"ChatInfo", "ChatId"},      {"ChatInfo", "Token"},    {"OriginNumberInfo", "Number"},
            {"ChatRelation", "ChatId"},  {"ChatRelation", "Number"}, {"Events", "EventId"},
            {"Events", "ChatId"},        {"Events", "TimeStamp"},  {"Events", "Direction"},
            {"Events", "Number"},        {"Messages", "EventId"},  {"Messages", "Type"},
            {"Messages", "Body"},        {"Calls", "EventId"}};
        for (const auto& [table, column] : required)
            QTest::addRow("%s.%s", table, column) << QString::fromLatin1(table) << QString::fromLatin1(column);
    }

    void aMissingRequiredColumnIsNamed()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        const QString path = m_tmp.filePath(QStringLiteral("no-%1-%2.db").arg(table, column));
        {
            DesktopFixture f(path);
            g_fillDesktopSample(f);
            f.db().executeThrow(QStringLiteral("alter table %1 rename column %2 to gone").arg(table, column));
            f.finish();
        }
        try {
            PCViberDb(path).loadDataThrow();
            QFAIL("the store loaded");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("the table %1 has no column %2, which is needed to read it").arg(table, column));
        }
    }

    void missingOptionalColumnsKeepTheirDefaults()
    {
        const QString path = m_tmp.filePath(QStringLiteral("optional.db"));
        {
            DesktopFixture f(path);
            g_fillDesktopSample(f);
            for (const char* sql : {"alter table OriginNumberInfo rename column AvatarPath to gone",
                                    "alter table Messages rename column Duration to gone"})
                f.db().executeThrow(sql);
            f.finish();
        }
        const ViberData data = PCViberDb(path).loadDataThrow();
        QCOMPARE(data.p()->msgs.size(), m_s.messages + m_s.calls);
        QVERIFY(data.p()->persons.value(m_s.anna)->picturePath.isEmpty());
    }

    void onlyFilesOfTheUsersOwnFoldersAreKept()
    {
        // HOME is the test's own folder; each path names a file that exists.
        const QDir home = QDir::home();
        QTemporaryDir outside;
        auto make = [&](const QString& path) {
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
            QVERIFY(g_writeFile(path, "x"));
        };
        const QString photo = home.filePath(QStringLiteral("Documents/ViberDownloads/photo.jpg"));
        const QString avatar = home.filePath(QStringLiteral(".ViberPC/avatars/anna.jpg"));
        const QString key = home.filePath(QStringLiteral(".ssh/id_rsa"));
        const QString dotFile = home.filePath(QStringLiteral("Documents/.secret.jpg"));
        const QString elsewhere = outside.filePath(QStringLiteral("shadow"));
        const QString linkToKey = home.filePath(QStringLiteral("Documents/ViberDownloads/innocent.jpg"));
        for (const QString& f : {photo, avatar, key, dotFile, elsewhere})
            make(f);
        QFile::remove(linkToKey);
        QVERIFY(QFile::link(key, linkToKey));

        const QString path = m_tmp.filePath(QStringLiteral("paths.db"));
        {
            DesktopFixture f(path);
            f.addNumber(QStringLiteral("+1"), QStringLiteral("A"), avatar);
            f.addNumber(QStringLiteral("+2"), QStringLiteral("B"), key);
            f.addChat(1, QStringLiteral("+1"), t);
            int id = 0;
            for (const QString& p : {photo, key, dotFile, elsewhere, linkToKey, home.path()}) {
                DesktopFixture::Event e;
                e.eventId = ++id;
                e.chatId = 1;
                e.number = QStringLiteral("+1");
                e.unixTime = t + id;
                e.token = id;
                f.addMessage(e, 0x80, QString(), p, p);
            }
            f.finish();
        }
        const ViberData data = PCViberDb(path).loadDataThrow();
        QStringList kept;
        for (qint64 id = 1; id <= 6; ++id) {
            const _ViberAtta* a = data.p()->msgs.value(id)->atta;
            QCOMPARE(a->filePath, a->thumbPath);
            kept << a->filePath;
        }
        QCOMPARE(kept, (QStringList{photo, QString(), QString(), QString(), QString(), QString()}));
        QStringList pictures;
        for (const _ViberPerson* p : data.p()->persons)
            pictures << p->picturePath;
        pictures.sort();
        QCOMPARE(pictures, (QStringList{QString(), avatar}));
    }

    void storesWithoutTheTablesFail()
    {
        const QString path = m_tmp.filePath(QStringLiteral("other.db"));
        {
            Sqlite3DB db;
            db.openThrow(path, 6);
            db.executeThrow("create table Something (x)");
        }
        PCViberDb db(path);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.loadDataThrow());
        PCViberDb missing(m_tmp.filePath(QStringLiteral("nothing-here.db")));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, missing.loadDataThrow());
        QVERIFY(!QFileInfo::exists(m_tmp.filePath(QStringLiteral("nothing-here.db"))));
    }
};

QTEST_GUILESS_MAIN(TestPCViberDb)
#include "test_pc_viber_db.moc"
