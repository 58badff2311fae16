#include "stores/IOSViberDb.h"
#include "shell/Failure.h"

#include "stores/CurrentStoreLayout.h"
#include "stores/CurrentStoreReader.h"
#include "stores/LocalDbSchema.h"
#include "stores/SourceFileGuard.h"
#include "stores/StoreBag.h"
#include "stores/StorePaths.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <stdexcept>

namespace {
// Columns without which records would load wrongly or not at all (the
// cursor reads a missing column as 0); every other column is optional.
void requireReadableLayoutThrow(const DbSchema& m_schema, const QString& m_joinTable, const QStringList& joinCols)
{
    const auto need = [&](const char* table, std::initializer_list<const char*> cols) {
        QStringList names;
        for (const char* c : cols)
            names << QString::fromLatin1(c);
        m_schema.requireColumnsThrow(QString::fromLatin1(table), names);
    };
    need("ZCONVERSATION", {"Z_PK"});
    m_schema.requireColumnsThrow(m_joinTable, joinCols);
    need("ZPHONENUMBERINDEX", {"Z_PK", "ZCANONIZEDPHONENUM"});
    need("ZVIBERMESSAGE", {"Z_PK", "ZCONVERSATION", "ZSTATE", "ZDATE", "ZTEXT"});
    need("ZVIBERLOCATION", {"ZMESSAGE"});
    need("ZATTACHMENT", {"Z_PK", "ZMESSAGE", "ZTYPE", "ZNAME"});
    need("ZRECENT", {"Z_PK", "ZRECENTSLINE", "ZCALLTYPE", "ZDATE"});
    need("ZRECENTSLINE", {"Z_PK", "ZPHONENUMINDEX"});
    if (m_schema.containsTable(QStringLiteral("ZABCONTACT"))) {
        need("ZABCONTACT", {"Z_PK", "ZMAINNAME"});
        need("ZPHONENUMBERINDEX", {"ZCONTACT"});
    }
}
} // namespace

IOSViberDb::IOSViberDb(const QDir& root_, const QString& dbFile_, bool localDb_)
    : m_root(root_), m_dbFile(dbFile_), m_localDb(localDb_)
{
}

IOSViberDb::~IOSViberDb() = default;

void IOSViberDb::setPreviewRoot(const QDir& dir)
{
    m_previewRoot = dir;
    m_hasPreviewRoot = true;
}

ViberMsgState IOSViberDb::IOSGetViberState(const QString& state)
{
    return stateFromUtf8(state.toUtf8());
}

ViberMsgState IOSViberDb::stateFromUtf8(QByteArrayView state)
{
    auto is = [&](const char* word) { return g_utf8EqualsNoCase(state, word); };
    if (is("delivered") || is("sending"))
        return MSG_STATE_DELIVERED;
    if (is("received"))
        return MSG_STATE_RECEIVED;
    if (is("send"))
        return MSG_STATE_SENT;
    if (is("pendingNotSent") || is("pending"))
        return MSG_STATE_PENDING;
    return MSG_STATE_UNKNOWN;
}

QString IOSViberDb::IOSToViberStateString(ViberMsgState state)
{
    switch (state) {
    case MSG_STATE_DELIVERED:
        return QStringLiteral("delivered");
    case MSG_STATE_RECEIVED:
        return QStringLiteral("received");
    case MSG_STATE_SENT:
        return QStringLiteral("send");
    case MSG_STATE_PENDING:
        return QStringLiteral("pendingNotSent");
    default:
        return QString();
    }
}

void IOSViberDb::createFromScriptThrow(const QString& path)
{
    openThrow(path, 6);
    QFile script(QStringLiteral(":res/ios_viber_db.sql"));
    if (!script.open(QIODevice::ReadOnly))
        throw std::runtime_error(script.errorString().toStdString());
    QByteArray text = script.readAll();
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    QString err;
    if (exec(QString::fromUtf8(text), err) != SQLITE_OK)
        throw std::runtime_error(err.toStdString());
}

void IOSViberDb::openCheckThrow()
{
    if (isOpen())
        return;
    try {
        const QString path = m_root.absoluteFilePath(m_dbFile);
        if (m_localDb) {
            // Our own store: never written through a link, and made (or
            // remade after a cut-short creation) in one transaction; made
            // only by a writer that asks for it (a reader racing a deletion
            // must not leave an empty database behind).
            const auto gone = [&] {
                return QStringLiteral("The local database \"%1\" no longer exists (%2): it was deleted or moved.")
                    .arg(m_root.dirName(), path);
            };
            if (!m_createIfMissing && !QFileInfo(path).isFile())
                g_raise(gone());
            try {
                openThrow(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW
                                    | (m_createIfMissing ? SQLITE_OPEN_CREATE : 0));
            } catch (const std::runtime_error&) {
                if (!m_createIfMissing && !QFileInfo(path).isFile())
                    g_raise(gone());
                throw;
            }
            g_ensureLocalDbSchemaThrow(*this, m_root.dirName());
        } else if (QFileInfo::exists(path)) {
            openThrow(path, 2);
        } else {
            createFromScriptThrow(path);
        }
        m_schema.loadDbThrow(*this);
        m_entities.clear();
        Sqlite3Cursor c = queryThrow("select * from Z_PRIMARYKEY");
        const int nameCol = c.colIndex(QStringLiteral("Z_NAME"));
        const int entCol = c.colIndex(QStringLiteral("Z_ENT"));
        while (c.moveNext())
            m_entities.insert(c.getText(nameCol), c.getInt(entCol));
        m_convEnt = m_entities.value(QStringLiteral("Conversation"));
        m_pniEnt = m_entities.value(QStringLiteral("PhoneNumberIndex"));
        m_joinTable = QStringLiteral("Z_%1PHONENUMINDEXES").arg(m_convEnt);
        m_joinChatCol = QStringLiteral("Z_%1CONVERSATIONS").arg(m_convEnt);
        m_joinPersonCol = QStringLiteral("Z_%1PHONENUMINDEXES").arg(m_pniEnt);
        m_currentLayout = m_schema.containsTable(QLatin1String(CurrentStore::kMemberTable))
                          && !m_schema.containsTable(QLatin1String(CurrentStore::kOldPersonTable));
        // The current layout is only read, never cleaned up, and its own
        // reader checks its columns: its links may dangle and it skips them.
        if (!m_currentLayout) {
            requireReadableLayoutThrow(m_schema, m_joinTable, {m_joinChatCol, m_joinPersonCol});
            removeOrphansThrow();
        }
        m_lookupIndexed = false;
        m_madeIndexes.clear();
        if (m_localDb)
            ensureLookupIndexesThrow();
    } catch (...) {
        // A half-prepared store must not pass for an open one next time.
        close();
        throw;
    }
}

void IOSViberDb::removeOrphansThrow()
{
    executeThrow(QStringLiteral("DELETE FROM %1 WHERE (SELECT 1 from ZCONVERSATION WHERE %1.%2=ZCONVERSATION.Z_PK "
                                "LIMIT 1) IS NULL")
                     .arg(m_joinTable, m_joinChatCol));
    executeThrow("DELETE FROM ZVIBERLOCATION WHERE (SELECT 1 from ZVIBERMESSAGE WHERE "
                 "ZVIBERLOCATION.ZMESSAGE=ZVIBERMESSAGE.Z_PK LIMIT 1) IS NULL");
    executeThrow("DELETE FROM ZATTACHMENT WHERE (SELECT 1 from ZVIBERMESSAGE WHERE "
                 "ZATTACHMENT.ZMESSAGE=ZVIBERMESSAGE.Z_PK LIMIT 1) IS NULL");
}

QString IOSViberDb::personSelect(const QString& head) const
{
    const bool ab = m_schema.containsTable(QStringLiteral("ZABCONTACT"));
    QString sql = head;
    if (ab)
        sql += QStringLiteral(", c.ZMAINNAME as person_name, c.ZRECORDID");
    return sql;
}

void IOSViberDb::fillViberPerson(_ViberPerson* p, Sqlite3Cursor& row)
{
    const bool ab = m_schema.containsTable(QStringLiteral("ZABCONTACT"));
    p->id = row.getInt64("Z_PK");
    StoreBag bag(row, {{"Z_OPT", StoreBag::Int}});
    p->name = row.getText(ab ? "person_name" : "ZNAME");
    p->number = row.getText("ZCANONIZEDPHONENUM");
    if (g_isAsciiDigits(p->number))
        p->number.prepend(QLatin1Char('+'));
    p->others = bag.bag(row);
    const QString iconFile = row.getText("ZICONID") + QStringLiteral(".jpg");
    if (g_isPlainFileName(iconFile))
        p->viberIconPath = QStringLiteral("/Documents/ViberIcons/") + iconFile;
    p->contactIconPath = QStringLiteral("/Documents/ContactIcons/%1.jpg").arg(row.getInt64("ZRECORDID"));
    const QString pictureFile = viberPlainNumber(p->number) + QStringLiteral(".jpg");
    if (g_isPlainFileName(pictureFile))
        p->picturePath = m_root.absoluteFilePath(QStringLiteral("Documents/ContactIcons/") + pictureFile);
}

void IOSViberDb::chatsThrow(ViberData& data)
{
    openCheckThrow();
    if (m_currentLayout) {
        CurrentStoreReader(*this).chatsThrow(data);
        return;
    }
    __ViberData* d = data.p();
    {
        Sqlite3Cursor c = queryThrow("select * from ZCONVERSATION");
        const int pk = c.colIndex(QStringLiteral("Z_PK"));
        StoreBag bag(c, {{"Z_OPT", StoreBag::Int},
                         {"ZCONTEXT", StoreBag::Int64},
                         {"ZSMARTNOTIFICATIONSHOWN", StoreBag::IntUnlessNull},
                         {"ZSMARTSTATE", StoreBag::Int}});
        while (c.moveNext()) {
            const qint64 id = c.getInt64(pk);
            if (d->chats.contains(id))
                continue;
            auto* chat = new _ViberChat;
            chat->id = id;
            d->chats.insert(id, chat);
            chat->date = c.getDouble("ZDATE");
            chat->groupId = c.getText("ZGROUPID");
            chat->name = c.getText("ZNAME");
            chat->others = bag.bag(c);
        }
    }
    const bool ab = m_schema.containsTable(QStringLiteral("ZABCONTACT"));
    const QString abJoin = ab ? QStringLiteral(" left join ZABCONTACT as c on p.ZCONTACT=c.Z_PK") : QString();
    {
        const QString sql = personSelect(QStringLiteral("select j.%1 as chat_id, p.*").arg(m_joinChatCol))
                            + QStringLiteral(" from %1 as j inner join ZPHONENUMBERINDEX as p on j.%2=p.Z_PK")
                                  .arg(m_joinTable, m_joinPersonCol)
                            + abJoin;
        Sqlite3Cursor c = queryThrow(sql);
        while (c.moveNext()) {
            const qint64 id = c.getInt64("Z_PK");
            _ViberPerson* person = d->persons.value(id);
            if (!person) {
                person = new _ViberPerson;
                d->persons.insert(id, person);
                fillViberPerson(person, c);
            }
            if (_ViberChat* chat = d->chats.value(c.getInt64("chat_id")))
                chat->members.insert(person->id, person);
        }
    }
    {
        Sqlite3Cursor c = queryThrow(personSelect(QStringLiteral("select p.*")) + QStringLiteral(" from ZPHONENUMBERINDEX as p")
                                     + abJoin);
        while (c.moveNext()) {
            const qint64 id = c.getInt64("Z_PK");
            if (d->persons.contains(id))
                continue;
            auto* person = new _ViberPerson;
            d->persons.insert(id, person);
            fillViberPerson(person, c);
        }
    }
}

void IOSViberDb::checkpointThrow()
{
    executeThrow(Sqlite3Sql("PRAGMA wal_checkpoint(TRUNCATE)"));
}

void IOSViberDb::tuneForBulkWritesThrow()
{
    // The cache is only taken as pages are used.
    executeThrow(Sqlite3Sql("PRAGMA cache_size=-65536"));
    executeThrow(Sqlite3Sql("PRAGMA temp_store=MEMORY"));
}

ViberData IOSViberDb::loadDataThrow()
{
    openCheckThrow();
    QStringList roots{m_root.absolutePath()};
    ViberData data;
    if (m_currentLayout) {
        data = CurrentStoreReader(*this).loadThrow();
        // Contact pictures of the current layout live in the app group,
        // beside the store's own folder.
        const QString storeDir = QFileInfo(m_root.absoluteFilePath(m_dbFile)).absolutePath();
        roots << QDir::cleanPath(storeDir + QStringLiteral("/..")) << m_iconsDir;
    } else {
        chatsThrow(data);
        loadMessagesThrow(data.p());
        loadAttachmentsThrow(data.p());
        loadCallsThrow(data.p());
    }
    if (m_hasPreviewRoot)
        roots << m_previewRoot.absolutePath();
    g_dropFilesOutside(data, roots);
    return data;
}
