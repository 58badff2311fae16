#include "stores/PCViberDb.h"

#include "model/ViberTime.h"
#include "stores/SourceFileGuard.h"
#include "stores/StorePaths.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

PCViberDb::PCViberDb(const QString& path_) : path(path_) {}

void PCViberDb::openCheckThrow()
{
    if (isOpen())
        return;
    openThrow(path, 2);
    try {
        schema.loadDbThrow(*this);
        // Keys, links, directions and types decide whether a record loads at
        // all; names, paths and durations are optional.
        schema.requireColumnsThrow(QStringLiteral("ChatInfo"), {QStringLiteral("ChatId"), QStringLiteral("Token")});
        schema.requireColumnsThrow(QStringLiteral("OriginNumberInfo"), {QStringLiteral("Number")});
        schema.requireColumnsThrow(QStringLiteral("ChatRelation"), {QStringLiteral("ChatId"), QStringLiteral("Number")});
        schema.requireColumnsThrow(QStringLiteral("Events"),
                                   {QStringLiteral("EventId"), QStringLiteral("ChatId"), QStringLiteral("TimeStamp"),
                                    QStringLiteral("Direction"), QStringLiteral("Number")});
        schema.requireColumnsThrow(QStringLiteral("Messages"),
                                   {QStringLiteral("EventId"), QStringLiteral("Type"), QStringLiteral("Body")});
        schema.requireColumnsThrow(QStringLiteral("Calls"), {QStringLiteral("EventId")});
    } catch (...) {
        close();
        throw;
    }
}

void fillPerson(Sqlite3Cursor& row, _ViberPerson& p, qint64 id)
{
    p.id = id;
    p.number = row.getText("Number");
    p.name = row.getText("ClientName");
    p.picturePath = QDir::fromNativeSeparators(row.getText("AvatarPath"));
}

double g_desktopCoordinate(qint64 stored, int integerDigits)
{
    if (stored <= 0)
        return 0;
    const int digits = int(QString::number(stored).size());
    if (digits <= integerDigits)
        return double(stored);
    return double(stored) / std::pow(10.0, digits - integerDigits);
}

namespace {
_ViberPerson* takePerson(__ViberData* d, Sqlite3Cursor& c, qint64 id)
{
    _ViberPerson* p = d->persons.value(id);
    if (!p) {
        p = new _ViberPerson;
        fillPerson(c, *p, id);
        d->persons.insert(id, p);
    }
    return p;
}
// The message of one Events row, entered in msgs and appended to the chat.
// Events may be shared by several rows of a crafted store; the first keeps
// the key (null is returned) rather than being orphaned by the second.
_ViberMsg* newEventMsg(__ViberData* d, Sqlite3Cursor& c, _ViberChat* chat)
{
    const qint64 id = c.getInt64("EventID");
    if (d->msgs.contains(id))
        return nullptr;
    auto* m = new _ViberMsg;
    m->id = id;
    d->msgs.insert(id, m);
    m->token = c.getInt64("Token");
    m->seq = m->token;
    m->date = dt21FromUnixepochSecs(c.getInt("TimeStamp"));
    m->stateDate = m->date;
    m->state = c.getInt("Direction") == 1 ? MSG_STATE_DELIVERED : MSG_STATE_RECEIVED;
    m->chat = chat;
    chat->msgs.append(m);
    return m;
}
} // namespace

void PCViberDb::loadChatsThrow(__ViberData* d)
{
    {
        Sqlite3Cursor c = queryThrow("select c.*, n.rowid as PersonId, n.* from ChatInfo as c left join "
                                     "OriginNumberInfo as n on n.Number = c.Token");
        while (c.moveNext()) {
            const qint64 id = c.getInt64("ChatId");
            // A repeated key (several numbers matching one token) replaces the
            // earlier record; nothing points at a chat yet, so it can go.
            delete d->chats.take(id);
            auto* chat = new _ViberChat;
            chat->id = id;
            chat->date = dt21FromUnixepochSecs(c.getInt("TimeStamp"));
            const qint64 personId = c.getInt64("PersonId");
            if (personId == 0) {
                chat->name = c.getText("Name");
                chat->groupId = c.getText("Token");
            } else {
                _ViberPerson* p = takePerson(d, c, personId);
                chat->members.insert(p->id, p);
            }
            d->chats.insert(id, chat);
        }
    }
    {
        Sqlite3Cursor c = queryThrow("select r.ChatId, n.rowid as PersonId, n.* from ChatRelation as r inner join "
                                     "OriginNumberInfo as n on r.Number = n.Number");
        while (c.moveNext()) {
            _ViberChat* chat = d->chats.value(c.getInt64("ChatId"));
            if (!chat || chat->groupId.isEmpty())
                continue;
            _ViberPerson* p = takePerson(d, c, c.getInt64("PersonId"));
            chat->members.insert(p->id, p);
        }
    }
    {
        Sqlite3Cursor c = queryThrow("select n.rowid as PersonId, n.* from OriginNumberInfo as n");
        while (c.moveNext())
            takePerson(d, c, c.getInt64("PersonId"));
    }
}

void PCViberDb::loadMessagesThrow(__ViberData* d)
{
    {
        Sqlite3Cursor n = queryThrow("select count(*) from Messages");
        if (n.moveNext())
            d->msgs.reserve(qsizetype(std::clamp<qint64>(n.getInt64(0), 0, 10000000)));
    }
    Sqlite3Cursor c = queryThrow("select m.*, e.TimeStamp, e.Direction, e.ContactLongitude, e.ContactLatitude, "
                                 "e.ChatID, e.Number, e.Token, n.rowid as PersonId from Messages as m inner join "
                                 "Events as e on m.EventId = e.EventId left join OriginNumberInfo as n on n.Number = "
                                 "e.Number");
    const bool hasDuration = c.containsCol(QStringLiteral("Duration"));
    const bool hasPttDuration = c.containsCol(QStringLiteral("PttDuration"));
    while (c.moveNext()) {
        _ViberChat* chat = d->chats.value(c.getInt64("ChatID"));
        if (!chat)
            continue;
        const qint64 mask = c.getInt64("Type");
        int type = 0;
        if (mask & 0x40)
            type = MSG_TYPE_TEXT;
        else if (mask & 0x80)
            type = MSG_TYPE_IMAGE;
        else if (mask & 0x10000)
            type = MSG_TYPE_AUDIO;
        else if (mask & 0x200)
            type = MSG_TYPE_VIDEO;
        else if (mask & 0x1000)
            type = MSG_TYPE_LOCATION;
        else if (mask & 0x800)
            type = MSG_TYPE_STICKER;
        else
            continue;
        _ViberMsg* m = newEventMsg(d, c, chat);
        if (!m)
            continue;
        m->setLocation(g_desktopCoordinate(c.getInt64("ContactLatitude"), 2),
                       g_desktopCoordinate(c.getInt64("ContactLongitude"), 3), QString());
        m->type = type;
        if (!m->isFromMe())
            m->person = d->persons.value(c.getInt64("PersonId"));

        const qint64 n = m->token >= 1 ? m->token : unixepochMsecFromDt21(m->date);
        _ViberAtta* a = nullptr;
        if (type == MSG_TYPE_TEXT) {
            m->text = c.getText("Body");
            continue;
        }
        a = new _ViberAtta;
        a->id = m->id;
        a->seq = m->token;
        if (type == MSG_TYPE_IMAGE || type == MSG_TYPE_VIDEO) {
            a->mediaId = QString::number(m->token);
            a->name = QString::number(n);
            a->filePath = QDir::fromNativeSeparators(c.getText("PayloadPath"));
            a->thumbPath = QDir::fromNativeSeparators(c.getText("ThumbnailPath"));
            m->text = c.getText("Subject");
            if (hasDuration)
                a->duration = double(c.getInt64("Duration") / 1000);
            const QString suffix = QFileInfo(a->filePath).suffix();
            if (!suffix.isEmpty())
                a->name += QLatin1Char('.') + suffix;
        } else if (type == MSG_TYPE_LOCATION) {
            a->name = QString::number(n);
        } else if (type == MSG_TYPE_AUDIO) {
            a->mediaId = c.getText("PttID");
            if (hasDuration)
                a->duration = double(c.getInt64("Duration") / 1000);
            else if (hasPttDuration)
                a->duration = double(c.getInt64("PttDuration") / 1000);
            a->name = a->mediaId;
            // The id names a file of the Desktop download folder; one that
            // could leave that folder is not used as a path.
            if (g_isPlainFileName(a->name))
                a->filePath = QDir::home().absoluteFilePath(QStringLiteral("Documents/ViberDownloads/PTT/") + a->name);
        } else if (type == MSG_TYPE_STICKER) {
            a->mediaId = QString::number(c.getInt("StickerID"));
            a->name = QString::number(n);
        }
        d->attas.insert(a->id, a);
        a->msg = m;
        m->atta = a;
    }
}

void PCViberDb::loadCallsThrow(__ViberData* d)
{
    Sqlite3Cursor c = queryThrow("select c.*, e.TimeStamp, e.Direction, e.ChatID, e.Number, e.Token, n.rowid as "
                                 "PersonId from Calls as c inner join Events as e on c.EventId = e.EventId left join "
                                 "OriginNumberInfo as n on n.Number = e.Number");
    while (c.moveNext()) {
        _ViberChat* chat = d->chats.value(c.getInt64("ChatID"));
        _ViberPerson* person = d->persons.value(c.getInt64("PersonId"));
        if (!chat || !person)
            continue;
        if (d->calls.contains(c.getInt64("EventID")))
            continue;
        _ViberMsg* m = newEventMsg(d, c, chat);
        if (!m)
            continue;
        const bool outgoing = c.getInt("Direction") == 1;
        m->type = MSG_TYPE_CALL;

        auto* call = new _ViberCall;
        call->id = m->id;
        d->calls.insert(call->id, call);
        call->token = m->token;
        call->duration = c.getInt("Duration");
        call->date = m->date;
        call->type = outgoing ? CALL_OUTGOING : (call->duration == 0 ? CALL_MISSED : CALL_INCOMING);
        call->person = person;
        m->call = call;
    }
}

ViberData PCViberDb::loadDataThrow()
{
    openCheckThrow();
    ViberData data;
    loadChatsThrow(data.p());
    loadMessagesThrow(data.p());
    loadCallsThrow(data.p());
    g_dropDesktopFilesOutsideHome(data);
    return data;
}
