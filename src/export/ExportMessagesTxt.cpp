#include "export/ExportMessagesTxt.h"

#include "export/DateTimeText.h"
#include "model/ViberTime.h"

#include <QLocale>

namespace {
void appendColumn(QString& out, const QString& value, qsizetype width)
{
    out += value;
    if (value.size() < width)
        out.resize(out.size() + width - value.size(), u' ');
}
} // namespace

ExportMessagesTxt::ExportMessagesTxt(const QString& path) : m_file(path) {}

ExportMessagesTxt::ExportMessagesTxt(QIODevice& device, const QString& name) : m_file(device, name) {}

void ExportMessagesTxt::init()
{
    m_file.open();
    line(QStringLiteral("Date"), QStringLiteral("Flag"), QStringLiteral("Name"), QStringLiteral("Message"));
}

void ExportMessagesTxt::line(const QString& date, const QString& flag, const QString& name, const QString& text)
{
    // Columns pad but never cut: a long value pushes the rest to the right.
    QString out;
    out.reserve(80 + text.size());
    appendColumn(out, date, 30);
    appendColumn(out, flag, 6);
    appendColumn(out, name, 40);
    out += text;
    out += u'\n';
    m_file.write(out);
}

void ExportMessagesTxt::write(_ViberMsg& m)
{
    if (!m.chat)
        return;
    QString text, flag, name;
    if (m.type == MSG_TYPE_SYSTEM) {
        text = m.systemMsgDisplay();
        name = QStringLiteral("<System>");
    } else if (m.type == MSG_TYPE_CALL) {
        if (!m.call)
            return;
        text = m.call->display();
        name = QStringLiteral("<Call>");
    } else {
        const auto memberCount = m.chat->members.size();
        if (memberCount == 0)
            return;
        text = m.summary(m_textStyle);
        flag = m.isFromMe() ? QStringLiteral("To") : QStringLiteral("From");
        if (memberCount == 1 || !m.person) {
            // Sorting a chat's members for every message would dominate a long export.
            auto it = m_chatNames.constFind(m.chat);
            if (it == m_chatNames.cend())
                it = m_chatNames.insert(m.chat, m.chat->fullDisplay());
            name = it.value();
        }
        else
            name = m.person->fullDisplay();
    }
    text.remove(u'\r');
    text.replace(u'\n', u' ');
    static const LocaleDateTimeText dateText(QLocale::system(), QLocale::ShortFormat);
    line(dateText.text(m_time.toLocal(m.date)), flag, name, text);
}

void ExportMessagesTxt::uninit()
{
    m_file.close();
}
