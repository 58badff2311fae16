#include "stores/CurrentStoreReader.h"

#include "model/TextBlocks.h"
#include "plist/CFType.h"
#include "stores/CurrentStoreLayout.h"
#include "stores/IOSViberDb.h"
#include "stores/StoreBag.h"
#include "stores/StorePaths.h"

#include <QFileInfo>

#include <algorithm>

using namespace CurrentStore;

namespace {
QString L(const char* s)
{
    return QString::fromLatin1(s);
}

// Digits alone get a leading "+", as the old layout's numbers do.
QString canonicalNumber(const QString& canonical, const QString& phone)
{
    QString number = canonical.trimmed();
    if (number.isEmpty())
        number = viberPlainNumber(phone.trimmed());
    if (g_isAsciiDigits(number))
        number.prepend(QLatin1Char('+'));
    return number;
}

// A first non-empty text.
QString firstOf(std::initializer_list<QString> texts)
{
    for (const QString& t : texts) {
        if (!t.trimmed().isEmpty())
            return t;
    }
    return QString();
}

// Icon ids usually come without a suffix; the pictures are JPEG files.
QString iconFileName(const QString& iconId)
{
    if (iconId.isEmpty())
        return QString();
    return iconId.contains(QLatin1Char('.')) ? iconId : iconId + QStringLiteral(".jpg");
}

// Index of a column, or -1: reads of -1 give 0 or empty.
struct Cols
{
    const Sqlite3Cursor& c;
    int operator()(const char* name) const { return c.colIndex(L(name)); }
};

bool beingDeleted(const Sqlite3Cursor& c, int col)
{
    return col >= 0 && c.getInt64(col) == 1;
}
} // namespace

CurrentStoreReader::CurrentStoreReader(IOSViberDb& db) : m_db(db) {}

bool CurrentStoreReader::hasTable(const char* table) const
{
    return m_db.schema().containsTable(L(table));
}

bool CurrentStoreReader::hasCol(const char* table, const char* col) const
{
    return m_db.schema().containsCol(L(table), L(col));
}

Sqlite3Cursor CurrentStoreReader::selectAllThrow(const char* table)
{
    return m_db.queryThrow(QStringLiteral("select * from %1").arg(L(table)));
}

QString CurrentStoreReader::storeDir() const
{
    return QFileInfo(m_db.root().absoluteFilePath(m_db.dbFile())).absolutePath();
}

ViberData CurrentStoreReader::loadThrow()
{
    ViberData data;
    chatsThrow(data);
    __ViberData* d = data.p();
    locationsThrow();
    messagesThrow(d);
    attachmentsThrow(d);
    callsThrow(d);
    ownerThrow(d);
    return data;
}

void CurrentStoreReader::chatsThrow(ViberData& data)
{
    __ViberData* d = data.p();
    personsThrow(d);
    chatRowsThrow(d);
    membersThrow(d);
}

QHash<QString, QString> CurrentStoreReader::addressBookThrow()
{
    QHash<QString, QString> names;
    if (!hasTable(AddressBook::kNumberTable) || !hasTable(AddressBook::kContactTable)
        || !hasCol(AddressBook::kNumberTable, AddressBook::kContact)
        || !hasCol(AddressBook::kContactTable, AddressBook::kMainName) || !hasCol(AddressBook::kContactTable, kPk))
        return names;
    Sqlite3Cursor c = m_db.queryThrow(QStringLiteral("select n.*, c.%1 as ab_name from %2 as n inner join %3 as c on "
                                                     "n.%4=c.%5")
                                          .arg(L(AddressBook::kMainName), L(AddressBook::kNumberTable),
                                               L(AddressBook::kContactTable), L(AddressBook::kContact), L(kPk)));
    const Cols col{c};
    const int canonCol = col(AddressBook::kCanonical), phoneCol = col(AddressBook::kPhone), nameCol = col("ab_name");
    while (c.moveNext()) {
        const QString name = c.getText(nameCol);
        const QString number = canonicalNumber(c.getText(canonCol), c.getText(phoneCol));
        if (!name.trimmed().isEmpty() && !number.isEmpty() && !names.contains(viberPlainNumber(number)))
            names.insert(viberPlainNumber(number), name);
    }
    return names;
}

void CurrentStoreReader::personsThrow(__ViberData* d)
{
    if (!hasTable(Member::kTable))
        return;
    // A member's number is its first phone number row.
    QHash<qint64, std::pair<qint64, QString>> numberOf;
    if (hasTable(PhoneNumber::kTable)) {
        Sqlite3Cursor c = selectAllThrow(PhoneNumber::kTable);
        const Cols col{c};
        const int pkCol = col(kPk), memberCol = col(PhoneNumber::kMember), canonCol = col(PhoneNumber::kCanonical),
                  phoneCol = col(PhoneNumber::kPhone), delCol = col(kBeingDeleted);
        while (c.moveNext()) {
            if (beingDeleted(c, delCol))
                continue;
            const qint64 member = c.getInt64(memberCol);
            const qint64 pk = c.getInt64(pkCol);
            const QString number = canonicalNumber(c.getText(canonCol), c.getText(phoneCol));
            if (member <= 0 || number.isEmpty())
                continue;
            auto it = numberOf.find(member);
            if (it == numberOf.end() || pk < it->first)
                numberOf.insert(member, {pk, number});
        }
    }
    const QHash<QString, QString> addressBook = addressBookThrow();
    const QDir root = m_db.root();
    const QDir icons(m_db.iconsDir().isEmpty() ? QDir(storeDir()).filePath(L(kIconsFromStoreDir)) : m_db.iconsDir());

    Sqlite3Cursor c = selectAllThrow(Member::kTable);
    const Cols col{c};
    const int pkCol = col(kPk), fullCol = col(Member::kFullName), nameCol = col(Member::kName),
              shortCol = col(Member::kShortName), iconCol = col(Member::kIconId), idCol = col(Member::kMemberId),
              delCol = col(kBeingDeleted);
    StoreBag bag(c, {{"Z_OPT", StoreBag::Int}});
    while (c.moveNext()) {
        const qint64 id = c.getInt64(pkCol);
        if (id == 0 || d->persons.contains(id) || beingDeleted(c, delCol))
            continue;
        auto* p = new _ViberPerson;
        p->id = id;
        d->persons.insert(id, p);
        p->number = numberOf.value(id).second;
        // People who hide their number are known by their Viber id: without
        // it they would all be one person wherever people are matched by
        // number (a backup into a local database).
        if (p->number.isEmpty())
            p->number = c.getText(idCol).trimmed();
        const QString bookName = p->number.isEmpty() ? QString() : addressBook.value(viberPlainNumber(p->number));
        p->name = firstOf({bookName, c.getText(fullCol), c.getText(nameCol), c.getText(shortCol)});
        p->others = bag.bag(c);
        const QString iconFile = iconFileName(c.getText(iconCol));
        if (g_isPlainFileName(iconFile)) {
            p->viberIconPath = u'/' + L(kIconsFolder) + u'/' + iconFile;
            p->picturePath = icons.absoluteFilePath(iconFile);
        } else {
            const QString pictureFile = viberPlainNumber(p->number) + QStringLiteral(".jpg");
            if (g_isPlainFileName(pictureFile))
                p->picturePath = root.absoluteFilePath(QStringLiteral("Documents/ContactIcons/") + pictureFile);
        }
        if (!p->number.isEmpty())
            m_personOfNumber.insert(viberPlainNumber(p->number), p);
    }
}

void CurrentStoreReader::chatRowsThrow(__ViberData* d)
{
    if (!hasTable(Chat::kTable))
        return;
    Sqlite3Cursor c = selectAllThrow(Chat::kTable);
    const Cols col{c};
    const int pkCol = col(kPk), dateCol = col(Chat::kDate), groupCol = col(Chat::kGroupId), nameCol = col(Chat::kName),
              partnerCol = col(Chat::kInterlocutor), delCol = col(kBeingDeleted);
    StoreBag bag(c, {{"Z_OPT", StoreBag::Int},
                     {"ZCONTEXT", StoreBag::Int64},
                     {"ZSMARTNOTIFICATIONSHOWN", StoreBag::IntUnlessNull},
                     {"ZSMARTSTATE", StoreBag::Int}});
    while (c.moveNext()) {
        const qint64 id = c.getInt64(pkCol);
        if (d->chats.contains(id) || beingDeleted(c, delCol))
            continue;
        auto* chat = new _ViberChat;
        chat->id = id;
        d->chats.insert(id, chat);
        chat->date = c.getDouble(dateCol);
        // One-to-one chats may carry a group id of 0: that is no group.
        chat->groupId = c.getText(groupCol);
        if (chat->groupId == QLatin1String("0"))
            chat->groupId.clear();
        chat->name = c.getText(nameCol);
        chat->others = bag.bag(c);
        const qint64 partner = c.getInt64(partnerCol);
        if (partner > 0)
            m_interlocutor.insert(id, partner);
    }
}

void CurrentStoreReader::membersThrow(__ViberData* d)
{
    auto join = [d](qint64 chatKey, qint64 member) {
        _ViberChat* chat = d->chats.value(chatKey);
        _ViberPerson* person = d->persons.value(member);
        if (chat && person)
            chat->members.insert(person->id, person);
    };
    for (auto it = m_interlocutor.cbegin(); it != m_interlocutor.cend(); ++it)
        join(it.key(), it.value());

    const int convEnt = m_db.entities().value(L(kConversationEntity));
    const int memberEnt = m_db.entities().value(L(kMemberEntity));
    const QString table = L(Chat::kJoinTable).arg(convEnt);
    const QString chatCol = L(Chat::kJoinChatCol).arg(convEnt);
    const QString memberCol = QString(L(Chat::kJoinMemberCol)).replace(QStringLiteral("%2"), QString::number(memberEnt));
    if (convEnt > 0 && memberEnt > 0 && m_db.schema().containsCol(table, chatCol)
        && m_db.schema().containsCol(table, memberCol)) {
        Sqlite3Cursor c = m_db.queryThrow(QStringLiteral("select %1, %2 from %3").arg(chatCol, memberCol, table));
        while (c.moveNext())
            join(c.getInt64(0), c.getInt64(1));
        return;
    }
    // Without the join table a chat's members are its interlocutor and the
    // people who wrote in it.
    if (hasCol(Message::kTable, Message::kChat) && hasCol(Message::kTable, Message::kSender)) {
        Sqlite3Cursor c = m_db.queryThrow(QStringLiteral("select distinct %1, %2 from %3")
                                              .arg(L(Message::kChat), L(Message::kSender), L(Message::kTable)));
        while (c.moveNext())
            join(c.getInt64(0), c.getInt64(1));
    }
}

void CurrentStoreReader::locationsThrow()
{
    if (!hasTable(Location::kTable))
        return;
    Sqlite3Cursor c = selectAllThrow(Location::kTable);
    const Cols col{c};
    const int pkCol = col(kPk), msgCol = col(Location::kMessage), latCol = col(Location::kLatitude),
              lonCol = col(Location::kLongitude), addrCol = col(Location::kAddress), delCol = col(kBeingDeleted);
    while (c.moveNext()) {
        if (beingDeleted(c, delCol))
            continue;
        const qint64 pk = c.getInt64(pkCol);
        if (m_locations.contains(pk))
            continue;
        m_locations.insert(pk, {c.getDouble(latCol), c.getDouble(lonCol), c.getText(addrCol)});
        const qint64 msg = c.getInt64(msgCol);
        // A message with several location rows keeps the first.
        if (msg > 0 && !m_locationOfMessage.contains(msg))
            m_locationOfMessage.insert(msg, pk);
    }
}

void CurrentStoreReader::messagesThrow(__ViberData* d)
{
    if (!hasTable(Message::kTable))
        return;
    // Only the messages that calls point at need their chat remembered.
    QSet<qint64> callMessages;
    if (hasCol(Recent::kTable, Recent::kCallMessage)) {
        Sqlite3Cursor c = m_db.queryThrow(QStringLiteral("select %1 from %2 where %1 > 0")
                                              .arg(L(Recent::kCallMessage), L(Recent::kTable)));
        while (c.moveNext())
            callMessages.insert(c.getInt64(0));
    }
    {
        Sqlite3Cursor n = m_db.queryThrow(QStringLiteral("select count(*) from %1").arg(L(Message::kTable)));
        if (n.moveNext())
            d->msgs.reserve(qsizetype(std::clamp<qint64>(n.getInt64(0), 0, 10000000)));
    }
    Sqlite3Cursor c = selectAllThrow(Message::kTable);
    const Cols col{c};
    const int pkCol = col(kPk), chatCol = col(Message::kChat), stateCol = col(Message::kState),
              sysCol = col(Message::kSystemType), textCol = col(Message::kText), seqCol = col(Message::kSeq),
              tokenCol = col(Message::kToken), senderCol = col(Message::kSender), dateCol = col(Message::kDate),
              stateDateCol = col(Message::kStateDate), attaCol = col(Message::kAttachment),
              locCol = col(Message::kLocation), callCol = col(Message::kCallType), delCol = col(kBeingDeleted);
    StoreBag bag(c, {{"Z_OPT", StoreBag::Int},
                     {"ZEMOTICONSRANGES", StoreBag::BytesUnlessEmpty},
                     {"ZRANGES", StoreBag::BytesUnlessEmpty}});
    TextBlocks texts;
    while (c.moveNext()) {
        const qint64 id = c.getInt64(pkCol);
        const qint64 chatKey = c.getInt64(chatCol);
        if (callMessages.contains(id) && !m_chatOfMessage.contains(id))
            m_chatOfMessage.insert(id, chatKey);
        if (d->msgs.contains(id) || beingDeleted(c, delCol))
            continue;
        // A call's entry in its chat: the call history row stands for it.
        if (c.byteCount(callCol) > 0)
            continue;
        _ViberChat* chat = d->chats.value(chatKey);
        if (!chat)
            continue;
        // A state word we do not know (newer app versions add some) or no
        // state column at all: the sender tells received from own messages.
        // An empty state marks a message that was never completed.
        const qint64 sender = c.getInt64(senderCol);
        ViberMsgState state = IOSViberDb::stateFromUtf8(c.getUtf8(stateCol));
        if (state == MSG_STATE_UNKNOWN) {
            if (stateCol >= 0 && c.byteCount(stateCol) == 0)
                continue;
            state = sender > 0 ? MSG_STATE_RECEIVED : MSG_STATE_SENT;
        }
        const QByteArrayView sys = c.getUtf8(sysCol);
        int systemType = SYS_NONE;
        bool customLocation = false;
        if (g_utf8EqualsNoCase(sys, "systemMemberAdded")) {
            if (c.byteCount(textCol) == 0)
                continue;
            systemType = SYS_MEMBER_ADDED;
        } else if (g_utf8EqualsNoCase(sys, "systemNameChanged")) {
            systemType = SYS_NAME_CHANGED;
        } else if (g_utf8EqualsNoCase(sys, "customLocation")) {
            customLocation = true;
        } else if (!sys.isEmpty()) {
            continue;
        }

        auto* m = new _ViberMsg;
        m->id = id;
        d->msgs.insert(id, m);
        m->seq = c.getInt64(seqCol);
        m->token = c.getInt64(tokenCol);
        if (sender > 0)
            m->person = d->persons.value(sender);
        m->date = c.getDouble(dateCol);
        m->stateDate = c.getDouble(stateDateCol);
        m->state = state;
        m->text = texts.fromUtf8(c.getUtf8(textCol));

        auto loc = m_locations.constFind(c.getInt64(locCol));
        if (loc == m_locations.cend())
            loc = m_locations.constFind(m_locationOfMessage.value(id, -1));
        if (loc != m_locations.cend()) {
            m->setLocation(loc->latitude, loc->longitude, loc->address);
        }
        if (systemType != SYS_NONE) {
            m->systemType = systemType;
            m->type = MSG_TYPE_SYSTEM;
        } else {
            m->type = customLocation || loc != m_locations.cend() ? MSG_TYPE_LOCATION : MSG_TYPE_TEXT;
        }
        const qint64 atta = c.getInt64(attaCol);
        if (atta > 0)
            m_attaOfMessage.insert(id, atta);
        m->others = bag.bag(c);
        m->chat = chat;
        chat->msgs.append(m);
    }
}

void CurrentStoreReader::attachmentsThrow(__ViberData* d)
{
    if (!hasTable(Attachment::kTable))
        return;
    // The join table may hold the link a message row lacks.
    const int attaEnt = m_db.entities().value(L(kAttachmentEntity));
    const int msgEnt = m_db.entities().value(L(kMessageEntity));
    const QString joinTable = L(Attachment::kJoinTable).arg(attaEnt);
    if (attaEnt > 0 && msgEnt > 0 && m_db.schema().containsTable(joinTable)) {
        const QString msgCol =
            QString(L(Attachment::kJoinMessageCol)).replace(QStringLiteral("%2"), QString::number(msgEnt));
        const QString attaPrefix = QStringLiteral("z_%1").arg(attaEnt);
        QString attaCol;
        for (const _SqliteCol& col : m_db.schema().table(joinTable).cols()) {
            const QString lower = col.name.toLower();
            if (lower != msgCol.toLower() && lower.startsWith(attaPrefix) && lower.size() > attaPrefix.size()
                && lower.at(attaPrefix.size()).isLetter())
                attaCol = col.name;
        }
        if (!attaCol.isEmpty() && m_db.schema().containsCol(joinTable, msgCol)) {
            Sqlite3Cursor c =
                m_db.queryThrow(QStringLiteral("select \"%1\", \"%2\" from %3").arg(msgCol, attaCol, joinTable));
            while (c.moveNext()) {
                const qint64 msg = c.getInt64(0);
                if (d->msgs.contains(msg) && !m_attaOfMessage.contains(msg))
                    m_attaOfMessage.insert(msg, c.getInt64(1));
            }
        }
    }
    if (m_attaOfMessage.isEmpty())
        return;
    QHash<qint64, QList<qint64>> messagesOf;
    for (auto it = m_attaOfMessage.cbegin(); it != m_attaOfMessage.cend(); ++it)
        messagesOf[it.value()].append(it.key());

    Sqlite3Cursor c = selectAllThrow(Attachment::kTable);
    const Cols col{c};
    const int pkCol = col(kPk), sizeCol = col(Attachment::kFileSize), seqCol = col(Attachment::kSeq),
              durCol = col(Attachment::kDuration), idCol = col(Attachment::kMediaId),
              bucketCol = col(Attachment::kBucket), nameCol = col(Attachment::kName),
              fileNameCol = col(Attachment::kFileName), typeCol = col(Attachment::kType), delCol = col(kBeingDeleted);
    StoreBag bag(c, {{"Z_OPT", StoreBag::Int},
                     {"ZRANGE", StoreBag::Int64},
                     {"ZSTATE", StoreBag::Text},
                     {"ZURL", StoreBag::Text}});
    TextBlocks texts;
    while (c.moveNext()) {
        const qint64 id = c.getInt64(pkCol);
        auto wanted = messagesOf.find(id);
        if (wanted == messagesOf.end() || d->attas.contains(id) || beingDeleted(c, delCol))
            continue;
        // One attachment belongs to one message: a crafted store that shares
        // it gives it to the oldest row.
        QList<qint64>& msgs = wanted.value();
        std::sort(msgs.begin(), msgs.end());
        _ViberMsg* m = d->msgs.value(msgs.first());
        if (!m)
            continue;
        auto* a = new _ViberAtta;
        a->id = id;
        d->attas.insert(id, a);
        a->fileSize = c.getInt64(sizeCol);
        a->seq = c.getInt64(seqCol);
        a->duration = c.getDouble(durCol);
        a->mediaId = c.getText(idCol);
        a->bucket = c.getText(bucketCol);
        a->name = firstOf({c.getText(nameCol), c.getText(fileNameCol)});
        a->others = bag.bag(c);
        a->msg = m;
        m->atta = a;
        m_db.setAttachmentPaths(a, m, c.getUtf8(typeCol));
        a->filePath = texts.keep(a->filePath);
        a->thumbPath = texts.keep(a->thumbPath);
    }
}

_ViberPerson* CurrentStoreReader::personForNumber(__ViberData* d, const QString& text)
{
    const QString number = canonicalNumber(QString(), text);
    if (number.isEmpty())
        return nullptr;
    const QString plain = viberPlainNumber(number);
    if (_ViberPerson* known = m_personOfNumber.value(plain))
        return known;
    // Not a member of the store: a person of its own, under a key no member
    // can have.
    qint64 key = -1 - qint64(d->persons.size());
    while (d->persons.contains(key))
        --key;
    auto* p = new _ViberPerson;
    p->id = key;
    p->number = number;
    d->persons.insert(key, p);
    m_personOfNumber.insert(plain, p);
    return p;
}

_ViberChat* CurrentStoreReader::chatForCallPerson(__ViberData* d, _ViberPerson* person)
{
    if (!m_chatOfPersonReady) {
        m_chatOfPersonReady = true;
        for (auto it = m_interlocutor.cbegin(); it != m_interlocutor.cend(); ++it) {
            const _ViberChat* chat = d->chats.value(it.key());
            if (chat && chat->groupId.isEmpty())
                m_chatOfPerson.insert(it.value(), chat->id);
        }
        for (const _ViberChat* chat : std::as_const(d->chats)) {
            if (chat->members.size() == 1 && chat->groupId.isEmpty() && !m_chatOfPerson.contains(chat->members.constBegin().key()))
                m_chatOfPerson.insert(chat->members.constBegin().key(), chat->id);
        }
    }
    const auto known = m_chatOfPerson.constFind(person->id);
    if (known != m_chatOfPerson.cend()) {
        if (_ViberChat* chat = d->chats.value(known.value()))
            return chat;
    }
    _ViberChat* chat = g_addCallChat(d, person);
    m_chatOfPerson.insert(person->id, chat->id);
    return chat;
}

void CurrentStoreReader::callsThrow(__ViberData* d)
{
    if (!hasTable(Recent::kTable))
        return;
    struct Line
    {
        qint64 member = 0;
        QString number;
    };
    QHash<qint64, Line> lines;
    if (hasTable(RecentsLine::kTable)) {
        Sqlite3Cursor c = selectAllThrow(RecentsLine::kTable);
        const Cols col{c};
        const int pkCol = col(kPk), memberCol = col(RecentsLine::kMember), numberCol = col(RecentsLine::kNumber);
        while (c.moveNext())
            lines.insert(c.getInt64(pkCol), {c.getInt64(memberCol), c.getText(numberCol)});
    }

    Sqlite3Cursor c = selectAllThrow(Recent::kTable);
    const Cols col{c};
    const int pkCol = col(kPk), tokenCol = col(Recent::kToken), durCol = col(Recent::kDuration),
              msgCol = col(Recent::kCallMessage), lineCol = col(Recent::kLine), dateCol = col(Recent::kDate),
              typeCol = col(Recent::kCallType), delCol = col(kBeingDeleted);
    StoreBag bag(c, {{"Z_OPT", StoreBag::Int}});
    while (c.moveNext()) {
        const qint64 id = c.getInt64(pkCol);
        if (d->calls.contains(id) || d->msgs.contains(-id) || beingDeleted(c, delCol))
            continue;
        const QByteArrayView typeText = c.getUtf8(typeCol);
        const int type = g_callTypeOfText(typeText);
        if (!type)
            continue;
        const bool video = g_utf8ContainsNoCase(typeText, Recent::kVideoWord);

        const Line line = lines.value(c.getInt64(lineCol));
        _ViberPerson* person = d->persons.value(line.member);
        if (!person)
            person = personForNumber(d, line.number);
        // The call's message names its chat; without one (or when it is
        // gone) the call goes to the person's one-to-one chat.
        _ViberChat* chat = nullptr;
        const qint64 msg = c.getInt64(msgCol);
        if (msg > 0)
            chat = d->chats.value(m_chatOfMessage.value(msg, 0));
        if (!chat && person)
            chat = chatForCallPerson(d, person);
        if (!chat)
            continue; // nobody to file the call under
        if (!person) {
            const qint64 partner = m_interlocutor.value(chat->id, 0);
            person = partner > 0 ? d->persons.value(partner) : nullptr;
            if (!person && !chat->members.isEmpty())
                person = chat->members.constBegin().value();
        }

        auto* call = new _ViberCall;
        call->id = id;
        d->calls.insert(id, call);
        call->token = c.getInt64(tokenCol);
        call->duration = c.getInt(durCol);
        call->date = c.getDouble(dateCol);
        call->type = type;
        call->video = video;
        call->person = person;
        call->others = bag.bag(c);

        g_addCallMessage(d, call, chat);
    }
}

namespace {
// Settings values are text, or a property list holding the text.
QString settingText(const Sqlite3Cursor& c, int col)
{
    const QByteArray bytes = c.getBlob(col);
    if (!bytes.startsWith("bplist") && !bytes.startsWith("<?xml"))
        return c.getText(col);
    try {
        return CFType::createCFPropertyList(bytes).toString();
    } catch (const std::exception&) {
        return QString();
    }
}
} // namespace

void CurrentStoreReader::ownerThrow(__ViberData* d)
{
    const QString path = m_db.settingsFile().isEmpty()
                             ? QDir::cleanPath(QDir(storeDir()).filePath(L(kSettingsFromStoreDir)))
                             : m_db.settingsFile();
    if (!QFileInfo(path).isFile())
        return;
    // The owner's name is a nicety: a damaged settings file must not cost the
    // history.
    try {
        Sqlite3DB settings;
        settings.openThrow(path, 1);
        Sqlite3Cursor c = settings.queryThrow(QStringLiteral("select * from \"%1\"").arg(L(Settings::kTable)));
        const Cols col{c};
        const int keyCol = col(Settings::kKey), valueCol = col(Settings::kValue);
        while (c.moveNext()) {
            const QString key = c.getText(keyCol);
            if (key == L(Settings::kOwnerName))
                d->ownerName = settingText(c, valueCol).trimmed();
            else if (key == L(Settings::kOwnerNumber))
                d->ownerNumber = canonicalNumber(settingText(c, valueCol), QString());
        }
    } catch (const std::exception& e) {
        qDebug("CurrentStoreReader: settings not read. %s", e.what());
    }
}
