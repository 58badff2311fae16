#include "jobs/BackupViberMsgThread.h"
#include "shell/Failure.h"

#include "export/ExportMessagesThread.h"
#include "export/ExportOutput.h"
#include "shell/FileRoutines.h"
#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "stores/IOSViberDb.h"
#include "stores/OldStoreMerger.h"
#include "stores/LocalDbSchema.h"
#include "stores/StorePaths.h"
#include "sqlite/Sqlite3DB.h"
#include "model/ViberTime.h"

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QMultiHash>
#include <QSet>

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {
// Page cache of one backup: enough for the index pages a million messages
// touch at random; measured, a larger one only costs memory and time.
constexpr int kBackupCacheKiB = 64 * 1024;

// Message indexes the backup into an empty store does not read. They are
// dropped for the inserts and made again once at the end: one sorted build
// costs a fraction of keeping each of them up to date row by row, the date
// and token ones receiving their entries all over the tree as chats
// alternate. The chat index stays: messages without a token are matched by
// content within their chat.
const char* const kDeferredIndexes[] = {
    "ZVIBERMESSAGE_ZDATE_INDEX",     "ZVIBERMESSAGE_ZSTATEDATE_INDEX",     "ZVIBERMESSAGE_ZATTACHMENT_INDEX",
    "ZVIBERMESSAGE_ZLOCATION_INDEX", "ZVIBERMESSAGE_ZPHONENUMINDEX_INDEX", "ZVIBERMESSAGE_ZTOKEN_INDEX",
};

bool messageTableEmptyThrow(Sqlite3DB& db)
{
    Sqlite3Cursor any = db.queryThrow(QStringLiteral("select 1 from ZVIBERMESSAGE limit 1"));
    return !any.moveNext();
}

// Drops the deferred indexes the store has, inside the caller's
// transaction, and returns the statements that make them again.
QStringList dropDeferredIndexesThrow(Sqlite3DB& db)
{
    QStringList remake;
    for (const char* name : kDeferredIndexes) {
        QString sql;
        {
            Sqlite3Cursor c = db.queryThrow(
                Sqlite3Sql("select sql from sqlite_master where type='index' and tbl_name='ZVIBERMESSAGE' and name=?")
                    .addParam(QString::fromLatin1(name)));
            if (!c.moveNext() || c.isNull(0))
                continue;
            sql = c.getText(0);
        }
        db.executeThrow(QStringLiteral("DROP INDEX %1").arg(QLatin1String(name)));
        remake << sql;
    }
    return remake;
}

// The messages with a token this backup added. Into a store that was empty
// a repeat can only be one of them, so it is found here by the store's own
// rule (the same token within a minute of the whole second, the oldest row
// first) without a query, and without the token index. Only tokens that more
// than one of the messages carries can repeat; the others, nearly all, are
// neither looked up nor kept.
class AddedByToken
{
public:
    explicit AddedByToken(const QList<_ViberMsg*>& msgs)
    {
        std::vector<qint64> tokens;
        tokens.reserve(size_t(msgs.size()));
        for (const _ViberMsg* m : msgs) {
            if (m->token != 0)
                tokens.push_back(m->token);
        }
        std::sort(tokens.begin(), tokens.end());
        for (size_t i = 1; i < tokens.size(); ++i) {
            if (tokens[i] == tokens[i - 1])
                m_repeated.insert(tokens[i]);
        }
    }

    qint64 find(qint64 token, double date, qint64& attaKey) const
    {
        attaKey = 0;
        if (!m_repeated.contains(token))
            return 0;
        const double s = double(g_wholeSeconds(date));
        qint64 key = 0;
        const auto [from, to] = m_rows.equal_range(token);
        for (auto it = from; it != to; ++it) {
            if (it->date >= s - 60 && it->date <= s + 60 && (key == 0 || it->key < key)) {
                key = it->key;
                attaKey = it->attaKey;
            }
        }
        return key;
    }

    void add(qint64 token, double date, qint64 key, qint64 attaKey)
    {
        if (m_repeated.contains(token))
            m_rows.insert(token, {date, key, attaKey});
    }

private:
    struct Row
    {
        double date;
        qint64 key;
        qint64 attaKey;
    };
    QSet<qint64> m_repeated;
    QMultiHash<qint64, Row> m_rows;
};
} // namespace

QStringList BackupViberMsgThread::deferredIndexNames()
{
    QStringList names;
    for (const char* name : kDeferredIndexes)
        names << QString::fromLatin1(name);
    return names;
}

BackupViberMsgThread::BackupViberMsgThread(const QList<_ViberMsg*>& msgs, QDir dbDir, JobProgress& progress,
                                           QObject* parent)
    : QThread(parent), m_msgs(msgs), m_dbDir(std::move(dbDir)), m_progress(progress)
{
    // The messages of one chat together (chats by key, messages without a
    // chat first), oldest first within a chat.
    g_sortByChatAndTime(m_msgs);
}

void BackupViberMsgThread::run()
{
    runJobProtocol(m_progress, [this] {
        // A backup into a new name that fails (or is cancelled) leaves no
        // database under that name: an empty one would read as valid later.
        const QFileInfo folder(m_dbDir.absolutePath());
        const bool folderIsNew = !folder.exists() && !folder.isSymLink();
        const bool isNew = folderIsNew || (folder.isDir() && !folder.isSymLink()
                                           && !QFileInfo::exists(m_dbDir.filePath(QLatin1String(kLocalDbStoreFile))));
        try {
            return backupAll();
        } catch (...) {
            if (isNew)
                removeNewDatabase(folderIsNew);
            throw;
        }
    });
}

void BackupViberMsgThread::removeNewDatabase(bool folderIsNew)
{
    // Unless another backup into the same new name has filled it meanwhile.
    const auto empty = [](Sqlite3DB& db) {
        try {
            for (const char* table : {"ZVIBERMESSAGE", "ZCONVERSATION", "ZRECENT"}) {
                Sqlite3Cursor c = db.queryThrow(QStringLiteral("select 1 from %1 limit 1").arg(QLatin1String(table)));
                if (c.moveNext())
                    return false;
            }
        } catch (const std::runtime_error&) {
            // Tables missing: a creation cut short.
        }
        return true;
    };
    try {
        if (folderIsNew) {
            g_removeLocalDbThrow(m_dbDir.absolutePath(), empty);
            return;
        }
        // A folder that was there before (without a store) stays; only the
        // store made in it goes.
        const QString store = m_dbDir.filePath(QLatin1String(kLocalDbStoreFile));
        bool remove = true;
        {
            Sqlite3DB db;
            db.openThrow(store, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW);
            db.executeThrow("BEGIN IMMEDIATE");
            remove = empty(db);
            if (remove)
                g_removeSqliteFiles(store);
            db.rollbackTran();
        }
    } catch (const std::exception& e) {
        qWarning("The new local database %s could not be removed after the failed backup: %s",
                 qUtf8Printable(m_dbDir.absolutePath()), e.what());
    }
}

QString BackupViberMsgThread::backupAll()
{
    m_progress.invokeUpdateProgress(ids("IDS_BACKING_UP_VIBER_MESSAGES"), 0, QString());
    const qint64 total = m_msgs.size();
    if (QFileInfo(m_dbDir.absolutePath()).isSymLink() || !m_dbDir.mkpath(QStringLiteral(".")))
        g_raise(QStringLiteral("Cannot create the folder %1 (or it is a link).").arg(m_dbDir.absolutePath()));
    makeFolderThrow(QStringLiteral("Documents"));
    IOSViberDb db(m_dbDir, QLatin1String(kLocalDbStoreFile), true);
    db.setCreateIfMissing(true);
    db.openCheckThrow();
    // Values as large as the readers accept (kSqliteMaxValueBytes each) make
    // rows larger than that: the writer takes rows up to SQLite's own limit.
    sqlite3_limit(db.handle(), SQLITE_LIMIT_LENGTH, std::numeric_limits<int>::max());
    // Messages go in chat by chat, so their date and token index entries
    // land all over those indexes; with SQLite's small default cache every
    // insert would write out and read back index pages, which grows faster
    // than the batch. The cache is only taken as pages are used.
    db.executeThrow(QStringLiteral("PRAGMA cache_size=%1").arg(-kBackupCacheKiB));
    db.executeThrow("BEGIN IMMEDIATE"); // waits for another writer rather than failing halfway
    try {
        const bool intoEmpty = messageTableEmptyThrow(db);
        // Before the token index goes: the merger would make one of its own.
        db.ensureLookupIndexesThrow();
        const QStringList deferredIndexes = intoEmpty ? dropDeferredIndexesThrow(db) : QStringList();
        AddedByToken added(intoEmpty ? m_msgs : QList<_ViberMsg*>());
        OldStoreMerger merger(db);
        PercentReporter reporter(m_progress);
        const _ViberChat* prevChat = nullptr;
        qint64 chatKey = 0;
        qint64 count = 0;
        for (const _ViberMsg* m : std::as_const(m_msgs)) {
            m_progress.throwIfClosed();
            ++count;
            reporter.report(count, total, QStringLiteral("Messages: %1/%2"));
            if (!m->chat)
                continue;
            if (m->chat != prevChat) {
                prevChat = m->chat;
                chatKey = merger.findChatSlowThrow(m->chat);
                if (chatKey == 0)
                    chatKey = merger.insertChatThrow(m->chat);
                merger.saveChatMembersThrow(chatKey, m->chat->members.values());
                copyMemberPictures(m->chat);
            }
            qint64 attaKey = 0, locKey = 0;
            if (m->type == MSG_TYPE_CALL) {
                if (m->call)
                    merger.saveCallThrow(m->call);
                continue;
            }
            const bool inMemory = intoEmpty && m->token != 0;
            const bool inserted = (inMemory ? added.find(m->token, m->date, attaKey)
                                            : merger.findMsgThrow(*m, chatKey, attaKey)) == 0;
            if (inserted) {
                try {
                    const qint64 key = merger.insertMsgThrow(chatKey, m, attaKey, locKey);
                    if (inMemory && key > 0)
                        added.add(m->token, m->date, key, attaKey);
                } catch (const std::runtime_error& e) {
                    // SQLite's text ("string or blob too big") names no message.
                    g_raise(QStringLiteral("Cannot store the message of %1 at %2 (key %3): %4")
                                .arg(m->chat->display(), dtFromTimestamp(m->date).toString(Qt::ISODate))
                                .arg(m->id)
                                .arg(QString::fromUtf8(e.what())));
                }
            }
            if (m->atta)
                copyAttachmentFiles(m, attaKey, inserted);
        }
        for (const QString& sql : deferredIndexes)
            db.executeThrow(sql);
        merger.updateCallRecentLinesStatThrow();
        db.executeThrow("update ZCONVERSATION set ZDATE=(select max(ZDATE) from ZVIBERMESSAGE as m where "
                        "m.ZCONVERSATION=ZCONVERSATION.Z_PK)");
        db.executeThrow("COMMIT");
        return ids("IDS_SUC_BACKUP_%1_MESSAGES", count) + g_failedCopiesNote(m_failedCopies);
    } catch (...) {
        db.rollbackTran();
        throw;
    }
}

void BackupViberMsgThread::makeFolderThrow(const QString& folder)
{
    if (!g_makeFoldersNoLinks(m_dbDir.absolutePath(), folder))
        g_raise(QStringLiteral("Cannot create the folder %1 (or it is a link).").arg(m_dbDir.filePath(folder)));
}

bool BackupViberMsgThread::copyChecked(const QString& src, const QString& target)
{
    return g_copyFileOrCountThrow(src, target, m_failedCopies);
}

void BackupViberMsgThread::copyNew(const QString& src, const QString& folder, const QString& name, bool replace)
{
    if (src.isEmpty() || !g_isPlainFileName(name) || !QFileInfo(src).isFile())
        return;
    const QString target = m_dbDir.filePath(folder + QLatin1Char('/') + name);
    const QFileInfo t(target);
    if (replace && (t.exists() || t.isSymLink()))
        QFile::remove(target); // a link itself, never what it points to
    else if (t.exists() || t.isSymLink())
        return;
    makeFolderThrow(folder);
    copyChecked(src, target);
}

void BackupViberMsgThread::copyMemberPictures(const _ViberChat* chat)
{
    const QString folder = QStringLiteral("Documents/ContactIcons");
    for (const _ViberPerson* p : chat->members) {
        if (!p || p->picturePath.isEmpty())
            continue;
        const QFileInfo src(p->picturePath);
        const QString name = viberPlainNumber(p->number) + QStringLiteral(".jpg");
        if (!src.isFile() || !g_isPlainFileName(name))
            continue;
        makeFolderThrow(folder); // before anything below it is looked at or removed
        const QString target = m_dbDir.filePath(folder + QLatin1Char('/') + name);
        const QFileInfo t(target);
        if (t.isSymLink())
            continue;
        if (t.exists()) {
            // A newer picture of the same number replaces an older one.
            if (!(t.lastModified() < src.lastModified()) || src.canonicalFilePath() == t.canonicalFilePath())
                continue;
            QFile::remove(target);
        }
        if (!copyChecked(src.filePath(), target))
            continue;
        // The copy carries the source's time, so only a picture changed
        // since replaces it next time.
        QFile copy(target);
        if (copy.open(QIODevice::ReadWrite))
            copy.setFileTime(src.lastModified(), QFileDevice::FileModificationTime);
    }
}

void BackupViberMsgThread::copyAttachmentFiles(const _ViberMsg* m, qint64 attaKey, bool inserted)
{
    const _ViberAtta* a = m->atta;
    switch (m->type) {
    case MSG_TYPE_IMAGE:
        copyNew(a->filePath, QStringLiteral("Documents/Attachments"), a->name);
        copyNew(a->thumbPath, QStringLiteral("Documents/AttachmentsPreview"), a->name);
        break;
    case MSG_TYPE_LOCATION:
        copyNew(a->thumbPath, QStringLiteral("Documents/CustomLocationImage"),
                g_iosCustomLocationImageName(m->latitude(), m->longitude()));
        break;
    case MSG_TYPE_AUDIO:
        // Voice files are named by row key, and keys of deleted or rolled-back
        // rows come back: a file left under a new row's key belongs to
        // another message.
        if (attaKey > 0)
            copyNew(a->filePath, QStringLiteral("Documents/VoiceMessages"), QString::number(attaKey), inserted);
        break;
    case MSG_TYPE_STICKER:
        if (g_isPlainFileName(a->mediaId)) {
            const QFileInfo rel(g_iosStickerPreviewPath(a->mediaId));
            copyNew(a->thumbPath, rel.path(), rel.fileName());
        }
        break;
    case MSG_TYPE_VIDEO:
        copyNew(a->filePath, QStringLiteral("Documents/Attachments"), a->name);
        if (g_isPlainFileName(a->name))
            copyNew(a->thumbPath, QStringLiteral("Documents/BigAttachmentsPreview"),
                    a->name.section(QLatin1Char('.'), 0, 0) + QStringLiteral(".jpg"));
        break;
    default:
        break;
    }
}
