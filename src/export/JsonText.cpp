#include "export/JsonText.h"

#include <cmath>
#include <limits>

namespace {
void appendDigits(QString& out, qint64 value, int width)
{
    char buf[24];
    int n = 0;
    do {
        buf[n++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0 || n < width);
    while (n > 0)
        out += QLatin1Char(buf[--n]);
}

// Proleptic Gregorian date of a day count since 1970-01-01.
void civilFromDays(qint64 z, qint64& y, int& m, int& d)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}
} // namespace

void g_appendJsonString(QString& out, const QString& text)
{
    static const char hex[] = "0123456789abcdef";
    out += u'"';
    const qsizetype n = text.size();
    const QChar* data = text.constData();
    qsizetype run = 0; // start of the characters that need no escaping
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = data[i];
        const char16_t u = c.unicode();
        if (u >= 0x20 && u != u'"' && u != u'\\' && (u < 0xD800 || u > 0xDFFF))
            continue;
        out.append(data + run, i - run);
        run = i + 1;
        if (u == u'"' || u == u'\\') {
            out += u'\\';
            out += c;
        } else if (u < 0x20) {
            switch (u) {
            case u'\n': out += QLatin1String("\\n"); break;
            case u'\r': out += QLatin1String("\\r"); break;
            case u'\t': out += QLatin1String("\\t"); break;
            default:
                out += QLatin1String("\\u00");
                out += QLatin1Char(hex[u >> 4]);
                out += QLatin1Char(hex[u & 15]);
            }
        } else if (c.isHighSurrogate() && i + 1 < n && data[i + 1].isLowSurrogate()) {
            out += c;
            out += data[++i];
            run = i + 1;
        } else {
            out += QChar(0xFFFD); // a lone surrogate
        }
    }
    out.append(data + run, n - run);
    out += u'"';
}

void g_appendJsonInteger(QString& out, qint64 value)
{
    if (value < 0) {
        if (value == std::numeric_limits<qint64>::min()) {
            out += QString::number(value);
            return;
        }
        out += u'-';
        value = -value;
    }
    appendDigits(out, value, 1);
}

void g_appendJsonNumber(QString& out, double value)
{
    if (!std::isfinite(value)) {
        out += QLatin1String("null");
        return;
    }
    if (value == std::trunc(value) && std::fabs(value) < 9e15)
        out += QString::number(qint64(value));
    else
        out += QString::number(value, 'g', 17);
}

void g_appendIsoDate(QString& out, qint64 unixMsec, int offsetSecs)
{
    const qint64 local = unixMsec + qint64(offsetSecs) * 1000;
    const qint64 days = floorDiv(local, 86400000);
    const qint64 msOfDay = local - days * 86400000;
    qint64 y;
    int m, d;
    civilFromDays(days, y, m, d);
    appendDigits(out, y, 4);
    out += u'-';
    appendDigits(out, m, 2);
    out += u'-';
    appendDigits(out, d, 2);
    out += u'T';
    appendDigits(out, msOfDay / 3600000, 2);
    out += u':';
    appendDigits(out, msOfDay / 60000 % 60, 2);
    out += u':';
    appendDigits(out, msOfDay / 1000 % 60, 2);
    if (msOfDay % 1000) {
        out += u'.';
        appendDigits(out, msOfDay % 1000, 3);
    }
    const int off = offsetSecs < 0 ? -offsetSecs : offsetSecs;
    out += offsetSecs < 0 ? u'-' : u'+';
    appendDigits(out, off / 3600, 2);
    out += u':';
    appendDigits(out, off / 60 % 60, 2);
}
