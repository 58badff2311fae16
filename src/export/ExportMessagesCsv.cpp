#include "export/ExportMessagesCsv.h"

#include "export/CsvFormat.h"
#include "export/DateTimeText.h"
#include "model/ViberTime.h"

namespace {
const LocaleDateTimeText& dateText()
{
    static const LocaleDateTimeText text(QLocale::c(), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    return text;
}
} // namespace

ExportMessagesCsv::ExportMessagesCsv(const QString& path) : m_file(path) {}

ExportMessagesCsv::ExportMessagesCsv(QIODevice& device, const QString& name) : m_file(device, name) {}

void ExportMessagesCsv::init()
{
    m_file.open();
    m_file.write(QStringLiteral("date,send,person,number,content\n"));
}

void ExportMessagesCsv::line(double date, bool send, const QString& person, const QString& number,
                             const QString& content)
{
    QString out;
    out.reserve(32 + person.size() + number.size() + content.size());
    dateText().appendTo(out, m_time.toLocal(date));
    out += send ? QLatin1String(",1,") : QLatin1String(",0,");
    out += g_csvFormat(person);
    out += u',';
    out += g_csvFormat(number);
    out += u',';
    out += g_csvFormat(content);
    out += u'\n';
    m_file.write(out);
}

void ExportMessagesCsv::write(_ViberMsg& m)
{
    if (!m.chat)
        return;
    if (m.type == MSG_TYPE_SYSTEM) {
        line(m.date, false, QString(), QString(), m.systemMsgDisplay());
        return;
    }
    if (m.type == MSG_TYPE_CALL) {
        if (m.call)
            line(m.date, false, QString(), QString(), m.call->display());
        return;
    }
    const auto& members = m.chat->members;
    if (members.isEmpty())
        return;
    if (members.size() == 1) {
        const _ViberPerson* member = members.cbegin().value();
        line(m.date, m.isFromMe(), member ? member->name : QString(), member ? member->number : QString(),
             m.summary(m_textStyle));
    } else if (m.person) {
        line(m.date, m.isFromMe(), m.person->name, m.person->number, m.summary(m_textStyle));
    } else {
        const QString label =
            m.chat->name.isEmpty() ? QStringLiteral("Group-") + m.chat->groupId : m.chat->name;
        line(m.date, m.isFromMe(), QString(), label, m.summary(m_textStyle));
    }
}

void ExportMessagesCsv::uninit()
{
    m_file.close();
}
