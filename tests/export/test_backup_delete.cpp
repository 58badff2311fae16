#include "support/ExportTestData.h"
#include "StoreDump.h"
#include "jobs/BackupViberMsgThread.h"
#include "jobs/DeleteViberMsgThread.h"
#include "export/ExportMessagesThread.h"
#include "fixtures/StoreFixture.h"
#include "shell/FileRoutines.h"
#include "stores/IOSViberDb.h"
#include "support/RecordingProgress.h"
#include "support/TestEnv.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {
const QString kStore = QStringLiteral("Documents/Contacts-tellurine.data");

// What a user sees of a data set, one sorted line per chat, message and
// call; keys are left out because a backup gives its own.
QStringList visible(const ViberData& data)
{
    QStringList lines;
    for (const _ViberChat* c : data.chats()) {
        QStringList members;
        for (const _ViberPerson* p : c->members)
            members << p->fullDisplay();
        members.sort();
        lines << QStringLiteral("chat|%1|%2|%3").arg(c->display(), members.join(u','), QString::number(c->msgs.size()));
    }
    for (const _ViberMsg* m : data.messages()) {
        const bool file = m->atta && QFileInfo(m->atta->filePath).isFile();
        const bool thumb = m->atta && QFileInfo(m->atta->thumbPath).isFile();
        lines << QStringLiteral("msg|%1|%2|%3|%4|%5|%6|%7|%8|%9")
                     .arg(m->chat ? m->chat->display() : QString(), QString::number(m->date, 'f', 3),
                          m->isFromMe() ? QStringLiteral("to") : QStringLiteral("from"),
                          m->person ? m->person->fullDisplay() : QString(), m->summary(),
                          QString::number(m->type), m->atta ? QStringLiteral("atta") : QString(),
                          file ? QStringLiteral("file") : QString(), thumb ? QStringLiteral("thumb") : QString());
    }
    lines.sort();
    return lines;
}

ViberData load(const QDir& root, const QString& dbFile, bool localDb)
{
    IOSViberDb db(root, dbFile, localDb);
    db.setMakePreviews(false);
    return db.loadDataThrow();
}

struct JobResult
{
    QStringList successes;
    QStringList errors;
};

// The indexes of a store made by a statement, with their definitions, by
// name.
QStringList indexes(const QString& path)
{
    Sqlite3DB db;
    db.openThrow(path, 1);
    Sqlite3Cursor c = db.queryThrow("select name, tbl_name, sql from sqlite_master where type='index' and sql is not null order by name");
    QStringList out;
    while (c.moveNext())
        out << QStringLiteral("%1|%2|%3").arg(c.getText(0), c.getText(1), c.getText(2));
    return out;
}

// The indexes the schema script defines, as indexes() lists them.
QStringList scriptIndexes()
{
    QFile script(QStringLiteral(":res/ios_viber_db.sql"));
    if (!script.open(QIODevice::ReadOnly))
        return {QStringLiteral("no script")};
    static const QRegularExpression create(QStringLiteral("(CREATE INDEX (\\w+) ON (\\w+) \\([^)]*\\))"));
    QStringList out;
    for (auto it = create.globalMatch(QString::fromUtf8(script.readAll())); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out << QStringLiteral("%1|%2|%3").arg(m.captured(2), m.captured(3), m.captured(1));
    }
    out.sort();
    return out;
}

JobResult backup(const QList<_ViberMsg*>& msgs, const QDir& dir, int cancelAfter = 0)
{
    RecordingProgress progress;
    progress.cancelAfterUpdates(cancelAfter);
    BackupViberMsgThread(msgs, dir, progress).run();
    return {progress.successes(), progress.errors()};
}
} // namespace

class TestBackupDelete : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QDir m_source;
    SampleStore m_s;
    ViberData m_data;
    int m_dbCount = 0;

    QDir newDbDir() { return QDir(m_tmp.filePath(QStringLiteral("db%1").arg(++m_dbCount))); }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(m_tmp.isValid());
        const QString container = m_tmp.filePath(QStringLiteral("container"));
        m_s = g_writeSampleContainer(container);
        m_source = QDir(container);
        IOSViberDb db(m_source, QStringLiteral("Documents/Contacts.data"), false);
        db.setPreviewRoot(QDir(m_tmp.filePath(QStringLiteral("previews"))));
        m_data = db.loadDataThrow();
    }

    void roundTripShowsTheSameHistory()
    {
        const QDir dir = newDbDir();
        const JobResult r = backup(m_data.messages(), dir);
        QCOMPARE(r.errors, QStringList());
        QCOMPARE(r.successes, QStringList{QStringLiteral("Successfully backed up 19 messages.")});

        const ViberData copy = load(dir, kStore, true);
        QCOMPARE(visible(copy), visible(m_data));
        QCOMPARE(copy.p()->calls.size(), m_data.p()->calls.size());
        // Member pictures are not in the sample; the media folders the reader
        // looks in hold the copies.
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("Documents/Attachments/pic1.jpg"))).isFile());
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("Documents/BigAttachmentsPreview/clip.jpg"))).isFile() ||
                QFileInfo(dir.filePath(QStringLiteral("Documents/AttachmentsPreview/clip.jpg"))).isFile());

        // Backing up the local database into another one keeps it too.
        const QDir second = newDbDir();
        QCOMPARE(backup(copy.messages(), second).errors, QStringList());
        QCOMPARE(visible(load(second, kStore, true)), visible(m_data));
    }

    void secondBackupAddsNothingAndCountsEverything()
    {
        const QDir dir = newDbDir();
        QCOMPARE(backup(m_data.messages(), dir).errors, QStringList());
        const QString path = dir.filePath(kStore);
        const QString before = g_dumpStore(path);
        const JobResult again = backup(m_data.messages(), dir);
        QCOMPARE(again.successes, QStringList{QStringLiteral("Successfully backed up 19 messages.")});
        QCOMPARE(g_dumpStore(path), before);
    }

    // Entries without a token are told apart by content, chats without a
    // group id by their members: nothing real is folded together, and a
    // repeated backup adds nothing.
    void tokenlessEntriesAndGrouplessChatsAreMatchedByContent()
    {
        ExportTestData t;
        _ViberPerson* anna = t.person(QStringLiteral("Anna"), QStringLiteral("+4911"));
        _ViberPerson* bob = t.person(QStringLiteral("Bob"), QStringLiteral("+4922"));
        _ViberChat* pair = t.chat(QString(), QString(), {anna, bob});
        _ViberChat* trio = t.chat(QString(), QString(), {anna, bob, t.person(QStringLiteral("Cy"), QStringLiteral("+4933"))});
        _ViberChat* single = t.chat(QString(), QString(), {anna});
        const double d = ExportTestData::kDay;
        t.msg(pair, MSG_TYPE_TEXT, d, QStringLiteral("first"), MSG_STATE_SENT);
        t.msg(pair, MSG_TYPE_TEXT, d + 20, QStringLiteral("second, same minute"), MSG_STATE_RECEIVED, bob);
        t.msg(trio, MSG_TYPE_TEXT, d + 5, QStringLiteral("first"), MSG_STATE_SENT); // same text, other chat
        t.msg(single, MSG_TYPE_TEXT, d + 10, QStringLiteral("to Anna alone"), MSG_STATE_SENT);
        t.call(t.msg(single, MSG_TYPE_CALL, d, QString(), MSG_STATE_RECEIVED, anna), CALL_MISSED, 0, anna);
        t.call(t.msg(single, MSG_TYPE_CALL, d + 3600, QString(), MSG_STATE_RECEIVED, anna), CALL_MISSED, 0, anna);
        t.call(t.msg(single, MSG_TYPE_CALL, d + 7200, QString(), MSG_STATE_SENT), CALL_OUTGOING, 30, anna);
        t.call(t.msg(single, MSG_TYPE_CALL, d + 7230, QString(), MSG_STATE_SENT), CALL_OUTGOING, 90, anna);
        QList<_ViberMsg*> msgs = t.data.messages();
        std::sort(msgs.begin(), msgs.end(), compareMessageChatDateAsc);

        const QDir dir = newDbDir();
        QCOMPARE(backup(msgs, dir).errors, QStringList());
        const ViberData copy = load(dir, kStore, true);
        QCOMPARE(copy.p()->chats.size(), 3);
        QCOMPARE(copy.p()->calls.size(), 4);
        QStringList texts;
        for (const _ViberMsg* m : copy.messages()) {
            if (m->type == MSG_TYPE_TEXT)
                texts << m->chat->fullDisplay() + u':' + m->text;
        }
        texts.sort();
        QCOMPARE(texts, QStringList({QStringLiteral("Anna(+4911), Bob(+4922), Cy(+4933):first"),
                                     QStringLiteral("Anna(+4911), Bob(+4922):first"),
                                     QStringLiteral("Anna(+4911), Bob(+4922):second, same minute"),
                                     QStringLiteral("Anna(+4911):to Anna alone")}));

        const QString before = g_dumpStore(dir.filePath(kStore));
        QCOMPARE(backup(msgs, dir).errors, QStringList());
        QCOMPARE(g_dumpStore(dir.filePath(kStore)), before);
    }

    // A repeat within one backup is stored once: the same token within a
    // minute of the whole second is the same message, further apart it is
    // another one. Into an empty store these are found among the rows the
    // backup has added; a second run, which asks the store, agrees.
    void repeatsWithinOneBackupAreStoredOnce()
    {
        ExportTestData t;
        _ViberChat* chat = t.chat(QString(), QString(), {t.person(QStringLiteral("Anna"), QStringLiteral("+4911"))});
        const auto add = [&](double second, qint64 token, const char* text) {
            t.msg(chat, MSG_TYPE_TEXT, ExportTestData::kDay + second, QString::fromLatin1(text))->token = token;
        };
        add(0.25, 7, "one");
        add(59.75, 7, "one again");
        add(61.25, 7, "two");
        add(100, 7, "two again");
        add(125, 7, "three");
        add(0.25, 8, "other token");

        const QDir dir = newDbDir();
        const JobResult r = backup(t.data.messages(), dir);
        QCOMPARE(r.errors, QStringList());
        QCOMPARE(r.successes, QStringList{QStringLiteral("Successfully backed up 6 messages.")});
        QStringList texts;
        const ViberData copy = load(dir, kStore, true);
        for (const _ViberMsg* m : copy.messages())
            texts << m->text;
        texts.sort();
        QCOMPARE(texts, QStringList({QStringLiteral("one"), QStringLiteral("other token"), QStringLiteral("three"),
                                     QStringLiteral("two")}));

        const QString before = g_dumpStore(dir.filePath(kStore));
        QCOMPARE(backup(t.data.messages(), dir).errors, QStringList());
        QCOMPARE(g_dumpStore(dir.filePath(kStore)), before);
    }

    // Files named by row key that an earlier deletion or a rolled-back backup
    // left behind never stand in for a new message's voice recording.
    void aStaleVoiceFileIsReplacedForANewRow()
    {
        ExportTestData t;
        QVERIFY(QDir().mkpath(m_tmp.filePath(QStringLiteral("voice-media"))));
        t.fill(m_tmp.filePath(QStringLiteral("voice-media")));
        const QDir dir = newDbDir();
        QVERIFY(dir.mkpath(QStringLiteral("Documents/VoiceMessages")));
        for (int key = 1; key <= 64; ++key)
            QVERIFY(g_writeFile(dir.filePath(QStringLiteral("Documents/VoiceMessages/%1").arg(key)), "stale"));
        QList<_ViberMsg*> msgs = t.data.messages();
        std::sort(msgs.begin(), msgs.end(), compareMessageChatDateAsc);
        QCOMPARE(backup(msgs, dir).errors, QStringList());

        int voices = 0;
        const ViberData copy = load(dir, kStore, true); // the records live as long as their set
        for (const _ViberMsg* m : copy.messages()) {
            if (m->type != MSG_TYPE_AUDIO || !m->atta)
                continue;
            ++voices;
            QCOMPARE(g_readFile(dir.filePath(QStringLiteral("Documents/VoiceMessages/%1").arg(m->atta->id))),
                     QByteArray("voice-bytes"));
        }
        QCOMPARE(voices, 1);
    }

    // Into an empty store the date and link indexes of the messages are
    // made after the rows: every one of them is there at the end, defined as
    // in a store nothing was written into, and a cancelled run keeps them.
    void everyIndexOutlivesTheBackup()
    {
        const QDir empty = newDbDir();
        QCOMPARE(backup({}, empty).errors, QStringList());
        const QStringList schema = indexes(empty.filePath(kStore));
        QCOMPARE(schema, scriptIndexes());

        const QDir filled = newDbDir();
        QCOMPARE(backup(m_data.messages(), filled).errors, QStringList());
        QCOMPARE(indexes(filled.filePath(kStore)), schema);
        // A second run into the filled store keeps its indexes as they are.
        QCOMPARE(backup(m_data.messages(), filled).errors, QStringList());
        QCOMPARE(indexes(filled.filePath(kStore)), schema);

        const QString before = g_dumpStore(empty.filePath(kStore));
        const JobResult cancelled = backup(m_data.messages(), empty, 12);
        QCOMPARE(cancelled.successes, QStringList());
        QCOMPARE(indexes(empty.filePath(kStore)), schema);
        QCOMPARE(g_dumpStore(empty.filePath(kStore)), before);

        // The indexes answer: a date range finds the same rows with and
        // without them.
        Sqlite3DB db;
        db.openThrow(filled.filePath(kStore), 1);
        const auto count = [&db](const char* sql) {
            Sqlite3Cursor c = db.queryThrow(sql);
            return c.moveNext() ? c.getInt64(0) : -1;
        };
        const qint64 all = count("select count(*) from ZVIBERMESSAGE where ZDATE > 0");
        QVERIFY(all > 0);
        QCOMPARE(count("select count(*) from ZVIBERMESSAGE indexed by ZVIBERMESSAGE_ZDATE_INDEX where ZDATE > 0"), all);
        QCOMPARE(count("select count(*) from ZVIBERMESSAGE where ZATTACHMENT is not null"),
                 count("select count(*) from ZVIBERMESSAGE indexed by ZVIBERMESSAGE_ZATTACHMENT_INDEX "
                       "where ZATTACHMENT > 0"));
    }

    void cancelledBackupLeavesTheStoreAsItWas()
    {
        const QDir dir = newDbDir();
        // A first run with part of the history, then a cancelled full run.
        QList<_ViberMsg*> part = m_data.messages();
        g_sortByChatAndTime(part);
        part = part.mid(0, 6);
        QCOMPARE(backup(part, dir).errors, QStringList());
        const QString before = g_dumpStore(dir.filePath(kStore));
        const JobResult r = backup(m_data.messages(), dir, 12);
        QCOMPARE(r.successes, QStringList());
        QCOMPARE(r.errors, QStringList());
        QCOMPARE(g_dumpStore(dir.filePath(kStore)), before);
    }

    void failureIsReportedAndNothingCommitted()
    {
        // The database folder is a file: the store cannot be made.
        const QString blocker = m_tmp.filePath(QStringLiteral("not-a-folder"));
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const JobResult r = backup(m_data.messages(), QDir(blocker));
        QCOMPARE(r.successes, QStringList());
        QCOMPARE(r.errors.size(), 1);
        QVERIFY(!r.errors.constFirst().isEmpty());
    }

    void aFullDiskFailsTheBackupAndCommitsNothing()
    {
        const QDir dir = newDbDir();
        g_failNthWriteForTest(1); // the first attachment copy
        const JobResult r = backup(m_data.messages(), dir);
        g_failNthWriteForTest(0);
        QCOMPARE(r.successes, QStringList());
        QCOMPARE(r.errors.size(), 1);
        QVERIFY2(r.errors.first().contains(QLatin1String("No space left on device")), qPrintable(r.errors.first()));
        // It was a new name: no database is left under it.
        QVERIFY(!QFileInfo::exists(dir.absolutePath()));
    }

    void aFailedBackupIntoANewNameLeavesNoDatabase()
    {
        // Cancelled halfway into a new name: nothing under the name (an
        // empty store used to stay, and later read as a valid database).
        const QDir dir = newDbDir();
        const JobResult r = backup(m_data.messages(), dir, 12);
        QCOMPARE(r.successes, QStringList());
        QVERIFY(!QFileInfo::exists(dir.absolutePath()));
        QCOMPARE(QDir(m_tmp.path()).entryList({QStringLiteral(".deleting-*")}, QDir::AllEntries | QDir::Hidden),
                 QStringList());
        // Into a folder that was there (without a store): the folder stays,
        // the store made in it goes.
        const QDir existing = newDbDir();
        QVERIFY(QDir().mkpath(existing.filePath(QStringLiteral("Documents"))));
        QVERIFY(g_writeFile(existing.filePath(QStringLiteral("keep.txt")), "mine"));
        QCOMPARE(backup(m_data.messages(), existing, 12).successes, QStringList());
        QVERIFY(!QFileInfo::exists(existing.filePath(kStore)));
        QCOMPARE(g_readFile(existing.filePath(QStringLiteral("keep.txt"))), QByteArray("mine"));
    }

    void aMessageAsLargeAsTheReaderTakesIsStored()
    {
        // 60 MB of text (readers take values up to 64 MiB): the row is
        // larger than one value may be, and used to fail the whole backup
        // with "string or blob too big", naming no message.
        _ViberMsg* m = nullptr;
        for (_ViberMsg* candidate : m_data.messages()) {
            if (candidate->type == MSG_TYPE_TEXT && candidate->chat && !candidate->text.isEmpty())
                m = candidate;
        }
        QVERIFY(m);
        const QString saved = m->text;
        m->text = QString(60 * 1000 * 1000, u'x');
        const QDir dir = newDbDir();
        const JobResult r = backup({m}, dir);
        m->text = saved;
        QCOMPARE(r.errors, QStringList());
        const ViberData back = load(dir, kStore, true);
        QCOMPARE(back.messages().size(), 1);
        QCOMPARE(back.messages().constFirst()->text.size(), 60 * 1000 * 1000);
    }

    void anUnreadableAttachmentIsCounted()
    {
        const QString unreadable = ExportTestData::unreadableFile();
        if (unreadable.isEmpty())
            QSKIP("no unreadable regular file here");
        _ViberAtta* a = m_data.p()->msgs.value(m_s.msgPicture)->atta;
        const QString kept = a->filePath;
        a->filePath = unreadable;
        const QDir dir = newDbDir();
        const JobResult r = backup(m_data.messages(), dir);
        a->filePath = kept;
        QCOMPARE(r.errors, QStringList());
        QCOMPARE(r.successes, QStringList{QStringLiteral("Successfully backed up 19 messages.\n1 attachment file could "
                                                         "not be read and was not copied; the log names it.")});
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("Documents/Attachments/pic1.jpg"))));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("Documents/Attachments/pic2.png"))).isFile());
    }

    void linksInsideTheDatabaseFolderAreNotFollowed()
    {
        QTemporaryDir outside;
        for (const char* link : {"Documents/Attachments", "Documents"}) {
            const QDir dir = newDbDir();
            QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("Documents"))));
            const QString at = dir.filePath(QLatin1String(link));
            QVERIFY(QDir(at).removeRecursively());
            QVERIFY(QFile::link(outside.path(), at));
            const JobResult r = backup(m_data.messages(), dir);
            QCOMPARE(r.successes, QStringList());
            QCOMPARE(r.errors.size(), 1);
            QVERIFY2(r.errors.first().contains(QLatin1String("link")), qPrintable(r.errors.first()));
            QCOMPARE(QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        }
    }

    void emptyListStillMakesTheStore()
    {
        const QDir dir = newDbDir();
        QCOMPARE(backup({}, dir).successes, QStringList{QStringLiteral("Successfully backed up 0 messages.")});
        QVERIFY(load(dir, kStore, true).messages().isEmpty());
    }

    void hostileNamesNeverLeaveTheDatabaseFolder()
    {
        QTemporaryDir outer;
        const QDir dir(outer.filePath(QStringLiteral("db")));
        const QString picture = m_source.absoluteFilePath(QStringLiteral("Documents/Attachments/pic1.jpg"));
        RecordBuilder b;
        _ViberPerson* p = b.person(QString(), QStringLiteral("a/../../../pwned"));
        p->picturePath = picture;
        _ViberChat* chat = b.chat(QString(), QString(), {p});
        auto add = [&](qint64 n, int type, const QString& name, const QString& mediaId) {
            _ViberMsg* m = b.msg(chat, type, 600000000 + n * 100, QString(), MSG_STATE_DELIVERED);
            m->token = n;
            _ViberAtta* a = b.atta(m, picture, picture);
            a->name = name;
            a->mediaId = mediaId;
        };
        add(1, MSG_TYPE_IMAGE, QStringLiteral("../../pwned.jpg"), QString());
        add(2, MSG_TYPE_VIDEO, QStringLiteral("../../pwned.mp4"), QString());
        add(3, MSG_TYPE_STICKER, QString(), QStringLiteral("../../../../pwned"));
        QCOMPARE(backup(b.data.messages(), dir).errors, QStringList());

        QStringList outside;
        QDirIterator it(outer.path(), QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString f = it.next();
            if (!f.startsWith(dir.absolutePath() + u'/') || f.contains(QLatin1String("pwned")))
                outside << f;
        }
        QCOMPARE(outside, QStringList());
        QCOMPARE(load(dir, kStore, true).messages().size(), 3);
    }

    void memberPictureReplacesOnlyAnOlderOne()
    {
        const QDir dir = newDbDir();
        RecordBuilder b;
        _ViberPerson* p = b.person(QString(), QStringLiteral("+4912345"));
        p->picturePath = m_tmp.filePath(QStringLiteral("face.jpg"));
        b.msg(b.chat(QString(), QString(), {p}), MSG_TYPE_TEXT, 600000000, QStringLiteral("hi"), MSG_STATE_SENT);
        const ViberData& data = b.data;

        auto write = [](const QString& path, const QByteArray& bytes, const QDateTime& time) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            f.flush();
            QVERIFY(f.setFileTime(time, QFileDevice::FileModificationTime));
        };
        auto target = [&] {
            QFile f(dir.filePath(QStringLiteral("Documents/ContactIcons/4912345.jpg")));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QDateTime t0 = QDateTime::currentDateTimeUtc().addDays(-2);
        write(p->picturePath, "first", t0);
        backup(data.messages(), dir);
        QCOMPARE(target(), QByteArray("first"));

        write(p->picturePath, "newer", t0.addDays(1));
        backup(data.messages(), dir);
        QCOMPARE(target(), QByteArray("newer"));

        write(p->picturePath, "older", t0);
        backup(data.messages(), dir);
        QCOMPARE(target(), QByteArray("newer"));
    }

    void orderKeepsChatsTogetherWithChatlessMessagesMixedIn()
    {
        _ViberChat a, b;
        a.id = 5;
        b.id = 2;
        QList<_ViberMsg> store(60);
        QList<_ViberMsg*> msgs;
        for (int i = 0; i < store.size(); ++i) {
            store[i].id = 1000 - i; // key order against list order
            store[i].date = double((i * 37) % 11);
            store[i].chat = i % 3 == 0 ? nullptr : (i % 3 == 1 ? &a : &b);
            msgs << &store[i];
        }
        g_sortByChatAndTime(msgs);
        QVERIFY(std::is_sorted(msgs.begin(), msgs.end(), compareMessageChatDateAsc));
        // Chatless first, then chat 2, then chat 5, each oldest first, and
        // messages of one time in key order.
        QCOMPARE(msgs.at(0)->chat, nullptr);
        QCOMPARE(msgs.at(20)->chat, &b);
        QCOMPARE(msgs.at(40)->chat, &a);
        int ties = 0;
        for (qsizetype i = 1; i < msgs.size(); ++i) {
            if (msgs[i]->chat == msgs[i - 1]->chat && msgs[i]->date == msgs[i - 1]->date) {
                ++ties;
                QVERIFY(msgs[i - 1]->id < msgs[i]->id);
            }
        }
        QVERIFY(ties > 0);
        for (const _ViberMsg* m : msgs)
            QVERIFY(!compareMessageChatDateAsc(m, m));
    }

    void deleteRemovesMessagesEmptyChatsAndCalls()
    {
        const QDir dir = newDbDir();
        QCOMPARE(backup(m_data.messages(), dir).errors, QStringList());
        IOSViberDb db(dir, kStore, true);
        db.setMakePreviews(false);
        ViberData data = db.loadDataThrow();
        const _ViberChat* group = nullptr;
        for (const _ViberChat* c : data.chats()) {
            if (c->groupId == QLatin1String("g-100"))
                group = c;
        }
        QVERIFY(group);
        // Every message of the group plus every call.
        QList<_ViberMsg*> doomed = group->msgs;
        int calls = 0;
        for (_ViberMsg* m : data.messages()) {
            if (m->type == MSG_TYPE_CALL) {
                doomed << m;
                ++calls;
            }
        }
        QCOMPARE(calls, 4);
        RecordingProgress progress;
        DeleteViberMsgThread(db, doomed, progress).run();
        QCOMPARE(progress.errors(), QStringList());
        QCOMPARE(progress.successes(), QStringList{QStringLiteral("Successfully deleted %1 messages.").arg(doomed.size())});

        const ViberData after = load(dir, kStore, true);
        QVERIFY(after.p()->calls.isEmpty());
        QCOMPARE(after.messages().size(), data.messages().size() - doomed.size());
        for (const _ViberChat* c : after.chats())
            QVERIFY(c->groupId != QLatin1String("g-100"));
        QCOMPARE(g_countRows(dir.filePath(kStore), QStringLiteral("ZRECENT")), 0);
        // Attachment and location rows of deleted messages go with them.
        QCOMPARE(g_countRows(dir.filePath(kStore), QStringLiteral("ZATTACHMENT")), qint64(after.p()->attas.size()));
    }

    void cancelledDeleteLeavesTheStoreAsItWas()
    {
        const QDir dir = newDbDir();
        QCOMPARE(backup(m_data.messages(), dir).errors, QStringList());
        const QString before = g_dumpStore(dir.filePath(kStore));
        IOSViberDb db(dir, kStore, true);
        db.setMakePreviews(false);
        ViberData data = db.loadDataThrow();
        RecordingProgress progress;
        progress.cancelAfterUpdates(8);
        DeleteViberMsgThread(db, data.messages(), progress).run();
        QCOMPARE(progress.successes(), QStringList());
        QCOMPARE(progress.errors(), QStringList());
        QCOMPARE(g_dumpStore(dir.filePath(kStore)), before);
    }
};

QTEST_GUILESS_MAIN(TestBackupDelete)
#include "test_backup_delete.moc"
