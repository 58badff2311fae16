#include "ListingFormat.h"

#include "model/ViberRecords.h"
#include "model/ViberTime.h"

namespace {
// A control character (C0, DEL, C1): ESC starts the terminal's commands, NUL
// cuts a line short in many tools.
bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

QString escaped(const QString& text, bool keepLineBreaks)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (!isControl(c) || (keepLineBreaks && c == u'\n'))
            out += c;
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else
            out += QStringLiteral("\\x%1").arg(int(c.unicode()), 2, 16, QLatin1Char('0'));
    }
    return out;
}
} // namespace

QString g_listingField(const QString& text)
{
    return escaped(text, false);
}

QString g_terminalText(const QString& text)
{
    return escaped(text, true);
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
