#include "model/ViberRecords.h"

#include "BuildSettings.h"
#include "model/EmojiText.h"
#include "model/TinyKVSerializer.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <limits>
#include <vector>

void _ViberEntity::serOthers(const QHash<QString, QVariant>& values)
{
    others = TinyKVSerializer::ser(values);
}

QHash<QString, QVariant> _ViberEntity::unserOthers() const
{
    return TinyKVSerializer::unser(others);
}

QString _ViberPerson::display() const
{
    return name.isEmpty() ? number : name;
}

QString _ViberPerson::fullDisplay() const
{
    if (number.isEmpty())
        return name.trimmed();
    if (name.isEmpty())
        return number;
    return name + QStringLiteral("(%1)").arg(number);
}

namespace {
QList<_ViberPerson*> sortedMembers(const QHash<qint64, _ViberPerson*>& members)
{
    QList<_ViberPerson*> list = members.values();
    list.removeAll(nullptr);
    std::sort(list.begin(), list.end(), compareViberPersonAsc);
    return list;
}
} // namespace

QString _ViberChat::display() const
{
    const QString trimmed = name.trimmed();
    if (!trimmed.isEmpty())
        return trimmed;
    QStringList parts;
    for (const _ViberPerson* p : sortedMembers(members))
        parts << p->display();
    return parts.join(QStringLiteral(", "));
}

QString _ViberChat::fullDisplay() const
{
    QStringList parts;
    for (const _ViberPerson* p : sortedMembers(members))
        parts << p->fullDisplay();
    return parts.join(QStringLiteral(", "));
}

QString _ViberCall::lengthText() const
{
    if (duration < 0)
        return QString();
    return QStringLiteral("%1' %2''").arg(duration / 60).arg(duration % 60);
}

QString _ViberCall::display() const
{
    const auto withLength = [this](const QString& kind) {
        const QString length = lengthText();
        return length.isEmpty() ? kind : QStringLiteral("%1 (%2)").arg(kind, length);
    };
    if (video) {
        switch (type) {
        case CALL_MISSED:
            return QStringLiteral("Missed Video Call");
        case CALL_OUTGOING:
            return withLength(QStringLiteral("Outgoing Video Call"));
        case CALL_INCOMING:
            return withLength(QStringLiteral("Incoming Video Call"));
        default:
            break;
        }
    }
    switch (type) {
    case CALL_MISSED:
        return QStringLiteral("Missed Call");
    case CALL_OUTGOING:
        return withLength(QStringLiteral("Outgoing Call"));
    case CALL_INCOMING:
        return withLength(QStringLiteral("Incoming Call"));
    default:
        return QStringLiteral("Unknown Call");
    }
}

QString _ViberAtta::stickerHttpUrl() const
{
    bool ok = false;
    const qint64 n = mediaId.toLongLong(&ok);
    const qint64 group = ok ? (n / 100) * 100 : 0;
    return QStringLiteral("http://%1/stickers/60/%2/%3.png")
        .arg(QStringLiteral(FERROWICK_STICKER_HOST), QString::number(group), mediaId.rightJustified(8, u'0'));
}

QString _ViberAtta::iosAssetUID() const
{
    const QString url = unserOthers().value(QStringLiteral("ZURL")).toString();
    if (url.isEmpty())
        return QString();
    static const QRegularExpression rx(QStringLiteral("^assets-library://asset/[^/\\?=]+\\?id=([a-zA-Z0-9\\-]+)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = rx.match(url);
    return m.hasMatch() ? m.captured(1).toUpper() : QString();
}

QString _ViberMsg::systemMsgDisplay() const
{
    if (systemType == SYS_MEMBER_ADDED)
        return QStringLiteral("%1 joined").arg(text);
    if (systemType == SYS_NAME_CHANGED) {
        const QString who = person ? person->display() : QStringLiteral("You");
        return QStringLiteral("%1 changed the group name to \"%2\"").arg(who, text);
    }
    return QString();
}

QString _ViberMsg::summary(SummaryText style) const
{
    const QString plain = style == SUMMARY_READABLE     ? viber_readable_text(text)
                          : style == SUMMARY_AS_WRITTEN ? text
                                                        : emoji_replace(text, viber_emoji_plain_replace_handler, nullptr);
    switch (type) {
    case MSG_TYPE_CALL:
        return call ? call->display() : QStringLiteral("[UNKNOWN CALL]");
    case MSG_TYPE_IMAGE:
        return QStringLiteral("[IMAGE]");
    case MSG_TYPE_LOCATION:
        return plain + QStringLiteral(" [LOCATION]");
    case MSG_TYPE_SYSTEM:
        return systemMsgDisplay();
    case MSG_TYPE_AUDIO:
        return QStringLiteral("[AUDIO]");
    case MSG_TYPE_STICKER:
        // A reader sees the sticker's picture beside this; its number means nothing to them.
        if (style == SUMMARY_READABLE)
            return QStringLiteral("[STICKER]");
        return QStringLiteral("[STICKER-%1]").arg(atta ? atta->mediaId : QStringLiteral("UNKNOWN"));
    case MSG_TYPE_TEXT:
        return plain;
    case MSG_TYPE_VIDEO:
        return QStringLiteral("[VIDEO]");
    default:
        return QString();
    }
}

bool _ViberMsg::isFromMe() const
{
    if (systemType == SYS_NAME_CHANGED || systemType == SYS_MEMBER_ADDED)
        return false;
    return state != MSG_STATE_RECEIVED;
}

void _ViberMsg::setLocation(double latitude, double longitude, const QString& address)
{
    if (latitude == 0 && longitude == 0 && address.isEmpty()) {
        m_place.reset();
        return;
    }
    // A new place rather than a change to one that copies of the record share.
    auto* place = new _ViberPlace;
    place->latitude = latitude;
    place->longitude = longitude;
    place->address = address;
    m_place = QExplicitlySharedDataPointer<_ViberPlace>(place);
}

QString _ViberMsg::locationHttpPath() const
{
    return QStringLiteral("http://%1/maps/api/staticmap?zoom=16&size=600x389&scale=<scale>&maptype=roadmap"
                          "&sensor=true&center=%2,%3")
        .arg(QStringLiteral(FERROWICK_MAP_HOST), QString::number(latitude(), 'f', 6),
             QString::number(longitude(), 'f', 6));
}

bool compareViberMsgAsc(const _ViberMsg* a, const _ViberMsg* b)
{
    return a->date < b->date;
}

bool compareViberMsgDesc(const _ViberMsg* a, const _ViberMsg* b)
{
    return a->date > b->date;
}

namespace {
// Messages without a chat sort before every chat. Comparing them by time
// alone against messages of chats would make the order intransitive, which
// std::sort does not survive.
qint64 chatSortKey(const _ViberMsg* m)
{
    return m->chat ? m->chat->id : std::numeric_limits<qint64>::min();
}

// By group, then time, then tie; each key taken once per message.
template <typename Group, typename Tie>
void sortThroughKeys(QList<_ViberMsg*>& msgs, bool descending, Group group, Tie tie)
{
    struct Keyed
    {
        qint64 group;
        double date;
        qint64 tie;
        _ViberMsg* msg;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(size_t(msgs.size()));
    for (qsizetype i = 0; i < msgs.size(); ++i)
        keyed.push_back({group(msgs[i]), msgs[i]->date, tie(i, msgs[i]), msgs[i]});
    std::sort(keyed.begin(), keyed.end(), [descending](const Keyed& a, const Keyed& b) {
        if (a.group != b.group)
            return a.group < b.group;
        if (a.date != b.date)
            return descending ? a.date > b.date : a.date < b.date;
        return a.tie < b.tie;
    });
    for (qsizetype i = 0; i < msgs.size(); ++i)
        msgs[i] = keyed[size_t(i)].msg;
}
} // namespace

bool compareMessageChatDateAsc(const _ViberMsg* a, const _ViberMsg* b)
{
    const qint64 ca = chatSortKey(a), cb = chatSortKey(b);
    if (ca != cb)
        return ca < cb;
    return compareViberMsgAsc(a, b);
}

void g_stableSortByDate(QList<_ViberMsg*>& msgs, bool descending)
{
    // The place in the list breaks ties: what a stable sort keeps.
    const auto oneGroup = [](const _ViberMsg*) { return qint64(0); };
    const auto place = [](qsizetype at, const _ViberMsg*) { return qint64(at); };
    sortThroughKeys(msgs, descending, oneGroup, place);
}

void g_sortByChatAndTime(QList<_ViberMsg*>& msgs, bool byChat)
{
    const auto chat = [byChat](const _ViberMsg* m) { return byChat ? chatSortKey(m) : qint64(0); };
    const auto key = [](qsizetype, const _ViberMsg* m) { return m->id; };
    sortThroughKeys(msgs, false, chat, key);
}

bool compareViberChatDesc(const _ViberChat* a, const _ViberChat* b)
{
    return a->date > b->date;
}

bool compareViberCallDesc(const _ViberCall* a, const _ViberCall* b)
{
    return a->date > b->date;
}

bool compareViberPersonAsc(const _ViberPerson* a, const _ViberPerson* b)
{
    // QString's operator< compares UTF-16 code units, case-sensitively.
    return a->number < b->number;
}

QString viberPlainNumber(const QString& s)
{
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if ((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z'))
            return s;
    }
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        if (c.unicode() >= u'0' && c.unicode() <= u'9')
            out.append(c);
    }
    return out;
}
