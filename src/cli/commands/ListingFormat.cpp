#include "ListingFormat.h"

#include "model/ViberRecords.h"
#include "model/ViberTime.h"

QString g_listingField(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

QString g_listingDate(double t)
{
    return dtFromTimestamp(t).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

namespace {
bool isCallOrSystem(const _ViberMsg& m)
{
    return m.type == MSG_TYPE_CALL || m.type == MSG_TYPE_SYSTEM;
}
} // namespace

QString g_messageFlag(const _ViberMsg& m)
{
    if (isCallOrSystem(m))
        return QString();
    return m.isFromMe() ? QStringLiteral("To") : QStringLiteral("From");
}

QString g_messageContact(const _ViberMsg& m)
{
    if (m.type == MSG_TYPE_CALL)
        return QStringLiteral("<Call>");
    if (m.type == MSG_TYPE_SYSTEM)
        return QStringLiteral("<System>");
    if (!m.chat)
        return QString();
    if (!m.chat->groupId.isEmpty() && m.person)
        return m.person->fullDisplay();
    return m.chat->fullDisplay();
}
