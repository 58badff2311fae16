#pragma once

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

// The date and time text QLocale::toString(dateTime, format) gives, with the
// format read once instead of for every message: long exports spent more on
// reading the format again than on anything else they wrote per message.
// Formats made of day, month, year, hour, minute and second fields, "AP" or
// "ap", and punctuation are written here; any other format, a locale with
// digits other than 0-9, or one whose output does not match QLocale's on a
// sample of dates at construction, goes through QLocale itself.
class LocaleDateTimeText
{
public:
    LocaleDateTimeText(const QLocale& locale, const QString& format);
    LocaleDateTimeText(const QLocale& locale, QLocale::FormatType type);

    QString text(const QDateTime& dt) const;
    void appendTo(QString& out, const QDateTime& dt) const;
    // Whether the format is written here rather than by QLocale.
    bool isDirect() const { return m_direct; }

private:
    enum Kind : quint8 { Literal, Day, DayName, Month, MonthName, Year, Hour24, Hour12, Minute, Second, AmPm };
    struct Piece
    {
        Kind kind;
        quint8 width;   // digits of a number (1: unpadded); 3 or 4 for names
        bool upper;     // AmPm: "AP" rather than "ap"
        QString literal;
    };

    void prepare();
    bool parse(const QString& format);
    QString viaLocale(const QDateTime& dt) const;
    void appendDirect(QString& out, const QDateTime& dt) const;

    QLocale m_locale;
    QString m_format;
    bool m_hasType = false;
    QLocale::FormatType m_type = QLocale::ShortFormat;
    bool m_direct = false;
    QList<Piece> m_pieces;
    QString m_dayNames[2][8];   // [long][1..7]
    QString m_monthNames[2][13]; // [long][1..12]
    QString m_am[2], m_pm[2];    // [upper]
};
