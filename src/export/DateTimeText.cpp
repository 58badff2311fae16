#include "export/DateTimeText.h"

#include <QTimeZone>

namespace {
bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

void appendNumber(QString& out, int value, int width)
{
    char16_t digits[8];
    int n = 0;
    do {
        digits[n++] = char16_t(u'0' + value % 10);
        value /= 10;
    } while (value > 0 && n < 8);
    for (int pad = n; pad < width; ++pad)
        out += u'0';
    while (n > 0)
        out += QChar(digits[--n]);
}

// Dates that between them use every month, every weekday, one- and
// two-digit days and hours on both sides of noon and midnight.
QList<QDateTime> sampleDates()
{
    const QTime times[] = {QTime(0, 5, 9), QTime(9, 30, 0), QTime(12, 0, 0), QTime(13, 45, 59), QTime(23, 59, 1)};
    QList<QDateTime> out;
    int i = 0;
    for (int month = 1; month <= 12; ++month)
        out << QDateTime(QDate(2024, month, month * 2), times[i++ % 5], QTimeZone::utc());
    for (int day = 1; day <= 7; ++day)
        out << QDateTime(QDate(1999, 3, day), times[i++ % 5], QTimeZone::utc());
    out << QDateTime(QDate(2106, 2, 7), QTime(6, 28, 15), QTimeZone::utc());
    out << QDateTime(QDate(1970, 1, 1), QTime(0, 0, 0), QTimeZone::utc());
    return out;
}
} // namespace

LocaleDateTimeText::LocaleDateTimeText(const QLocale& locale, const QString& format)
    : m_locale(locale), m_format(format)
{
    prepare();
}

LocaleDateTimeText::LocaleDateTimeText(const QLocale& locale, QLocale::FormatType type)
    : m_locale(locale), m_format(locale.dateTimeFormat(type)), m_hasType(true), m_type(type)
{
    prepare();
}

void LocaleDateTimeText::prepare()
{
    if (m_locale.zeroDigit() != QLatin1String("0") || !parse(m_format))
        return;
    for (int form = 0; form < 2; ++form) {
        const QLocale::FormatType type = form ? QLocale::LongFormat : QLocale::ShortFormat;
        for (int d = 1; d <= 7; ++d)
            m_dayNames[form][d] = m_locale.dayName(d, type);
        for (int m = 1; m <= 12; ++m)
            m_monthNames[form][m] = m_locale.monthName(m, type);
    }
    m_am[0] = m_locale.amText().toLower();
    m_am[1] = m_locale.amText().toUpper();
    m_pm[0] = m_locale.pmText().toLower();
    m_pm[1] = m_locale.pmText().toUpper();
    // Whatever this locale does differently from the tables read above
    // (a system locale answering from elsewhere), the result must be QLocale's.
    for (const QDateTime& dt : sampleDates()) {
        QString direct;
        appendDirect(direct, dt);
        if (direct != viaLocale(dt))
            return;
    }
    m_direct = true;
}

bool LocaleDateTimeText::parse(const QString& format)
{
    bool twelveHour = false;
    for (QChar c : format)
        twelveHour = twelveHour || c == u'a' || c == u'A';
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run) == c)
            ++run;
        Piece p{Literal, 0, false, QString()};
        int used = 1;
        switch (c.unicode()) {
        case u'd':
        case u'M':
            used = int(qMin<qsizetype>(run, 4));
            p.kind = used <= 2 ? (c == u'd' ? Day : Month) : (c == u'd' ? DayName : MonthName);
            p.width = quint8(used);
            break;
        case u'y':
            if (run < 2) {
                p.literal = c; // a lone y is text
                break;
            }
            used = run >= 4 ? 4 : 2;
            p.kind = Year;
            p.width = quint8(used);
            break;
        case u'h':
        case u'H':
        case u'm':
        case u's':
            used = int(qMin<qsizetype>(run, 2));
            p.kind = c == u'm' ? Minute : c == u's' ? Second : (c == u'h' && twelveHour) ? Hour12 : Hour24;
            p.width = quint8(used);
            break;
        case u'a':
        case u'A':
            // Only the two plain spellings; "a", "Ap" and the like are
            // left to QLocale.
            if (i + 1 >= format.size() || format.at(i + 1) != (c == u'a' ? u'p' : u'P'))
                return false;
            used = 2;
            p.kind = AmPm;
            p.upper = c == u'A';
            break;
        default:
            if (isAsciiLetter(c) || c == u'\'')
                return false; // time zones, milliseconds, quoted text
            p.literal = c;
        }
        if (p.kind == Literal && !m_pieces.isEmpty() && m_pieces.constLast().kind == Literal)
            m_pieces.last().literal += p.literal;
        else
            m_pieces << p;
        i += used;
    }
    return true;
}

QString LocaleDateTimeText::viaLocale(const QDateTime& dt) const
{
    return m_hasType ? m_locale.toString(dt, m_type) : m_locale.toString(dt, m_format);
}

void LocaleDateTimeText::appendDirect(QString& out, const QDateTime& dt) const
{
    const QDate date = dt.date();
    const QTime time = dt.time();
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    for (const Piece& p : m_pieces) {
        switch (p.kind) {
        case Literal:
            out += p.literal;
            break;
        case Day:
            appendNumber(out, day, p.width);
            break;
        case DayName:
            out += m_dayNames[p.width == 4][date.dayOfWeek()];
            break;
        case Month:
            appendNumber(out, month, p.width);
            break;
        case MonthName:
            out += m_monthNames[p.width == 4][month];
            break;
        case Year:
            appendNumber(out, p.width == 4 ? year : year % 100, p.width);
            break;
        case Hour24:
            appendNumber(out, time.hour(), p.width);
            break;
        case Hour12: {
            const int h = time.hour() % 12;
            appendNumber(out, h == 0 ? 12 : h, p.width);
            break;
        }
        case Minute:
            appendNumber(out, time.minute(), p.width);
            break;
        case Second:
            appendNumber(out, time.second(), p.width);
            break;
        case AmPm:
            out += time.hour() < 12 ? m_am[p.upper] : m_pm[p.upper];
            break;
        }
    }
}

void LocaleDateTimeText::appendTo(QString& out, const QDateTime& dt) const
{
    // Years before 1 or past 9999 (a crafted or broken date) have signs and
    // widths that only QLocale writes right.
    const int year = dt.date().year();
    if (m_direct && dt.isValid() && year >= 1 && year <= 9999)
        appendDirect(out, dt);
    else
        out += viaLocale(dt);
}

QString LocaleDateTimeText::text(const QDateTime& dt) const
{
    QString out;
    out.reserve(m_format.size() + 16);
    appendTo(out, dt);
    return out;
}
