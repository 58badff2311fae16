// Messages, attachments and calls of IOSViberDb.
#include "stores/IOSViberDb.h"

#include "model/TextBlocks.h"
#include "stores/StoreBag.h"
#include "stores/StorePaths.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {
// The names in the store's preview and attachment folders, listed once per
// load: asking the file system about two candidate previews of every picture
// and video, and about its file, costs more than the rest of the
// attachment's load. Set while loadAttachmentsThrow runs on this thread.
class PreviewListing
{
public:
    explicit PreviewListing(const QDir& m_root) : m_root(m_root) {}

    bool exists(const QString& rel)
    {
#ifdef Q_OS_MACOS
        // Names there may match in another case; let the file system decide.
        return QFileInfo::exists(m_root.absoluteFilePath(rel));
#else
        const qsizetype slash = rel.lastIndexOf(QLatin1Char('/'));
        return folder(rel.left(slash)).contains(rel.mid(slash + 1));
#endif
    }
    void add(const QString& rel)
    {
        const qsizetype slash = rel.lastIndexOf(QLatin1Char('/'));
        folder(rel.left(slash)).insert(rel.mid(slash + 1));
    }

private:
    QSet<QString>& folder(const QString& rel)
    {
        auto it = m_folders.find(rel);
        if (it == m_folders.end()) {
            // As QFileInfo::exists: a broken link is no file.
            const QStringList names = QDir(m_root.absoluteFilePath(rel))
                                          .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            it = m_folders.insert(rel, QSet<QString>(names.cbegin(), names.cend()));
        }
        return *it;
    }

    QDir m_root;
    QHash<QString, QSet<QString>> m_folders;
};

thread_local PreviewListing* t_previews = nullptr;

bool previewExists(const QDir& m_root, const QString& rel)
{
    return t_previews ? t_previews->exists(rel) : QFileInfo::exists(m_root.absoluteFilePath(rel));
}
} // namespace

void IOSViberDb::loadMessagesThrow(__ViberData* d)
{
    {
        Sqlite3Cursor n = queryThrow("select count(*) from ZVIBERMESSAGE");
        if (n.moveNext()) {
            const qsizetype rows = qsizetype(std::clamp<qint64>(n.getInt64(0), 0, 10000000));
            d->msgs.reserve(rows);
            d->arena.reserve(size_t(rows) * sizeof(_ViberMsg));
        }
    }
    Sqlite3Cursor c = queryThrow("select m.*, l.ZLATITUDE, l.ZLONGITUDE, l.ZADDRESS as loc_address from "
                                 "ZVIBERMESSAGE as m left join ZVIBERLOCATION as l on m.Z_PK=l.ZMESSAGE");
    auto col = [&](const char* name) { return c.colIndex(QString::fromLatin1(name)); };
    const int pkCol = col("Z_PK"), convCol = col("ZCONVERSATION"), stateCol = col("ZSTATE"),
              sysCol = col("ZSYSTEMTYPE"), textCol = col("ZTEXT"), seqCol = col("ZSEQ"), tokenCol = col("ZTOKEN"),
              pniCol = col("ZPHONENUMINDEX"), dateCol = col("ZDATE"), stateDateCol = col("ZSTATEDATE"),
              latCol = col("ZLATITUDE"), lonCol = col("ZLONGITUDE"), addrCol = col("loc_address");
    StoreBag bag(c, {{"Z_OPT", StoreBag::Int},
                     {"ZEMOTICONSRANGES", StoreBag::BytesUnlessEmpty},
                     {"ZRANGES", StoreBag::BytesUnlessEmpty}});
    TextBlocks texts;
    while (c.moveNext()) {
        const qint64 id = c.getInt64(pkCol);
        // One hash look-up per row: the slot is made here and dropped again
        // when the row turns out not to load.
        _ViberMsg*& slot = d->msgs[id];
        if (slot)
            continue; // a second location row of the same message
        auto skip = [&] { d->msgs.remove(id); };
        _ViberChat* chat = d->chats.value(c.getInt64(convCol));
        if (!chat) {
            skip();
            continue;
        }
        const ViberMsgState state = stateFromUtf8(c.getUtf8(stateCol));
        if (state == MSG_STATE_UNKNOWN) {
            skip();
            continue;
        }
        const QByteArrayView sys = c.getUtf8(sysCol);
        int systemType = SYS_NONE;
        bool customLocation = false;
        // Most messages have no system type: no word to compare.
        if (sys.isEmpty()) {
        } else if (g_utf8EqualsNoCase(sys, "systemMemberAdded")) {
            if (c.byteCount(textCol) == 0) {
                skip();
                continue;
            }
            systemType = SYS_MEMBER_ADDED;
        } else if (g_utf8EqualsNoCase(sys, "systemNameChanged")) {
            systemType = SYS_NAME_CHANGED;
        } else if (g_utf8EqualsNoCase(sys, "customLocation")) {
            customLocation = true;
        } else {
            skip();
            continue;
        }

        auto* m = d->arena.make<_ViberMsg>();
        m->id = id;
        slot = m;
        m->seq = c.getInt64(seqCol);
        m->token = c.getInt64(tokenCol);
        const qint64 pni = c.getInt64(pniCol);
        if (pni > 0)
            m->person = d->persons.value(pni);
        m->date = c.getDouble(dateCol);
        m->stateDate = c.getDouble(stateDateCol);
        m->state = state;
        if (systemType != SYS_NONE) {
            m->systemType = systemType;
            m->type = MSG_TYPE_SYSTEM;
        } else {
            m->type = customLocation ? MSG_TYPE_LOCATION : MSG_TYPE_TEXT;
        }
        m->text = texts.fromUtf8(c.getUtf8(textCol));
        m->setLocation(c.getDouble(latCol), c.getDouble(lonCol), c.getText(addrCol));
        m->others = bag.bag(c);
        m->chat = chat;
        chat->msgs.append(m);
    }
}

void IOSViberDb::loadAttachmentsThrow(__ViberData* d)
{
    {
        Sqlite3Cursor n = queryThrow("select count(*) from ZATTACHMENT");
        if (n.moveNext()) {
            const qsizetype rows = qsizetype(std::clamp<qint64>(n.getInt64(0), 0, 10000000));
            d->attas.reserve(rows);
            d->arena.reserve(size_t(rows) * sizeof(_ViberAtta));
        }
    }
    PreviewListing previews(m_root);
    struct Scope
    {
        PreviewListing* previous;
        ~Scope() { t_previews = previous; }
    } scope{t_previews};
    t_previews = &previews;
    Sqlite3Cursor c = queryThrow("select a.* from ZATTACHMENT as a");
    auto col = [&](const char* name) { return c.colIndex(QString::fromLatin1(name)); };
    const int pkCol = col("Z_PK"), msgCol = col("ZMESSAGE"), sizeCol = col("ZFILESIZE"), seqCol = col("ZSEQ"),
              durCol = col("ZDURATION"), idCol = col("ZID"), bucketCol = col("ZBUCKET"), nameCol = col("ZNAME"),
              typeCol = col("ZTYPE");
    StoreBag bag(c, {{"Z_OPT", StoreBag::Int},
                     {"ZRANGE", StoreBag::Int64},
                     {"ZSTATE", StoreBag::Text},
                     {"ZURL", StoreBag::Text}});
    TextBlocks texts;
    while (c.moveNext()) {
        _ViberMsg* m = d->msgs.value(c.getInt64(msgCol));
        if (!m)
            continue;
        const qint64 id = c.getInt64(pkCol);
        _ViberAtta* a = d->attas.value(id);
        if (!a) {
            a = d->arena.make<_ViberAtta>();
            a->id = id;
            d->attas.insert(id, a);
            a->fileSize = c.getInt64(sizeCol);
            a->seq = c.getInt64(seqCol);
            a->duration = c.getDouble(durCol);
            a->mediaId = texts.fromUtf8(c.getUtf8(idCol));
            a->bucket = texts.fromUtf8(c.getUtf8(bucketCol));
            a->name = texts.fromUtf8(c.getUtf8(nameCol));
            a->others = bag.bag(c);
        }
        a->msg = m;
        m->atta = a;
        setAttachmentPaths(a, m, c.getUtf8(typeCol));
        a->filePath = texts.keep(a->filePath);
        a->thumbPath = texts.keep(a->thumbPath);
    }
}

QString IOSViberDb::previewTarget(const QString& rel) const
{
    return (m_hasPreviewRoot ? m_previewRoot : m_root).absoluteFilePath(rel);
}

void IOSViberDb::setPreview(_ViberAtta* a, const QString& preferred, const QString& other)
{
    if (previewExists(m_root, preferred)) {
        a->thumbPath = m_root.absoluteFilePath(preferred);
    } else if (previewExists(m_root, other)) {
        a->thumbPath = m_root.absoluteFilePath(other);
    } else {
        a->thumbPath = previewTarget(preferred);
        // Nothing to make a preview of when the attachment's file is not
        // there either (the folder's listing answers without a stat).
        if (m_makePreviews && previewExists(m_root, g_attachmentPath(a->name))) {
            g_makeImagePreview(a->filePath, a->thumbPath, m_hasPreviewRoot ? m_previewRoot : m_root);
            // Made among the store's own previews: later attachments see it.
            if (!m_hasPreviewRoot && t_previews && QFileInfo::exists(a->thumbPath))
                t_previews->add(preferred);
        }
    }
}

void IOSViberDb::setAttachmentPaths(_ViberAtta* a, _ViberMsg* m, QByteArrayView type)
{
    // The name comes from the store: one that could leave its folder is
    // never joined to a path, and the attachment keeps no local file.
    const bool plainName = g_isPlainFileName(a->name);
    if (type == "audio") {
        m->type = MSG_TYPE_AUDIO;
        if (plainName)
            a->filePath = m_root.absoluteFilePath(QStringLiteral("Documents/VoiceMessages/") + a->name);
    } else if (type == "customLocation") {
        m->type = MSG_TYPE_LOCATION;
        a->thumbPath = m_root.absoluteFilePath(QStringLiteral("Documents/CustomLocationImage/")
                                             + g_iosCustomLocationImageName(m->latitude(), m->longitude()));
    } else if (type == "picture") {
        m->type = MSG_TYPE_IMAGE;
        if (!plainName)
            return;
        a->filePath = m_root.absoluteFilePath(g_attachmentPath(a->name));
        setPreview(a, QStringLiteral("Documents/AttachmentsPreview/") + a->name,
                   QStringLiteral("Documents/BigAttachmentsPreview/") + a->name);
    } else if (type == "sticker") {
        m->type = MSG_TYPE_STICKER;
        if (g_isPlainFileName(a->mediaId))
            a->thumbPath = m_root.absoluteFilePath(g_iosStickerPreviewPath(a->mediaId));
    } else if (type == "video") {
        m->type = MSG_TYPE_VIDEO;
        if (!plainName)
            return;
        a->filePath = m_root.absoluteFilePath(g_attachmentPath(a->name));
        const QString b = a->name.section(QLatin1Char('.'), 0, 0) + QStringLiteral(".jpg");
        setPreview(a, QStringLiteral("Documents/BigAttachmentsPreview/") + b,
                   QStringLiteral("Documents/AttachmentsPreview/") + b);
    }
}

_ViberChat* IOSViberDb::callChatThrow(__ViberData* d, qint64 pni, QHash<qint64, qint64>& chatOfPerson)
{
    const auto mapped = chatOfPerson.constFind(pni);
    if (mapped != chatOfPerson.cend())
        return d->chats.value(mapped.value());

    _ViberPerson* person = d->persons.value(pni);
    if (!person) {
        const bool ab = m_schema.containsTable(QStringLiteral("ZABCONTACT"));
        Sqlite3Sql sql(ab ? QStringLiteral("select p.Z_PK, p.ZCANONIZEDPHONENUM, c.ZMAINNAME from ZPHONENUMBERINDEX as p "
                                           "inner join ZABCONTACT as c on p.ZCONTACT=c.Z_PK and p.Z_PK=?")
                          : QStringLiteral("select Z_PK, ZCANONIZEDPHONENUM, ZNAME as ZMAINNAME from ZPHONENUMBERINDEX "
                                           "where Z_PK=?"));
        sql.addInt64Param(pni);
        Sqlite3Cursor c = queryThrow(sql);
        if (!c.moveNext())
            return nullptr;
        const qint64 id = c.getInt64("Z_PK");
        person = d->persons.value(id);
        if (!person) {
            person = new _ViberPerson;
            person->id = id;
            person->number = c.getText("ZCANONIZEDPHONENUM");
            person->name = c.getText("ZMAINNAME");
            d->persons.insert(id, person);
        }
    }
    _ViberChat* chat = g_addCallChat(d, person);
    chatOfPerson.insert(pni, chat->id);
    return chat;
}

void IOSViberDb::loadCallsThrow(__ViberData* d)
{
    QHash<qint64, qint64> chatOfPerson;
    for (_ViberChat* chat : std::as_const(d->chats)) {
        if (chat->members.size() == 1)
            chatOfPerson.insert(chat->members.constBegin().key(), chat->id);
    }
    Sqlite3Cursor c = queryThrow("select r.*, l.ZPHONENUMINDEX from ZRECENT as r inner join ZRECENTSLINE as l on "
                                 "r.ZRECENTSLINE=l.Z_PK");
    auto col = [&](const char* name) { return c.colIndex(QString::fromLatin1(name)); };
    const int pkCol = col("Z_PK"), pniCol = col("ZPHONENUMINDEX"), typeCol = col("ZCALLTYPE"),
              tokenCol = col("ZCALLTOKEN"), durCol = col("ZDURATION"), dateCol = col("ZDATE");
    StoreBag bag(c, {{"Z_OPT", StoreBag::Int}});
    while (c.moveNext()) {
        _ViberChat* chat = callChatThrow(d, c.getInt64(pniCol), chatOfPerson);
        if (!chat)
            continue;
        const qint64 id = c.getInt64(pkCol);
        _ViberCall* call = d->calls.value(id);
        if (!call) {
            const QByteArrayView typeText = c.getUtf8(typeCol);
            const int type = g_callTypeOfText(typeText);
            if (!type)
                continue;
            call = new _ViberCall;
            call->id = id;
            d->calls.insert(id, call);
            call->token = c.getInt64(tokenCol);
            call->duration = c.getInt(durCol);
            call->date = c.getDouble(dateCol);
            call->type = type;
            call->video = g_utf8ContainsNoCase(typeText, "video");
            call->person = chat->members.isEmpty() ? nullptr : chat->members.constBegin().value();
            call->others = bag.bag(c);
        }
        // The call's message is keyed by the negated call key; a store that
        // repeats a key gets one message, not a second record under it.
        if (d->msgs.contains(-id))
            continue;
        g_addCallMessage(d, call, chat);
    }
}
