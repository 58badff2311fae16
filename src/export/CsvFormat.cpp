#include "export/CsvFormat.h"

QString g_csvFormat(const QString& field)
{
    bool quote = false;
    for (QChar c : field) {
        if (c == u'"' || c == u',' || c == u'\n') {
            quote = true;
            break;
        }
    }
    if (!quote)
        return field;
    QString out;
    out.reserve(field.size() + 8);
    out.append(u'"');
    for (QChar c : field) {
        if (c == u'"')
            out.append(u'"');
        out.append(c);
    }
    out.append(u'"');
    return out;
}
