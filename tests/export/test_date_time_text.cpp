// Date and time texts of the exports against QLocale's own formatting, the
// text they replace, over many locales, formats and dates.
#include "export/DateTimeText.h"

#include <QTest>
#include <QTimeZone>

namespace {
// Every hour of the day, every month and weekday, one- and two-digit days,
// the ends of the record time range, and a zone offset that is not UTC.
QList<QDateTime> sweep()
{
    QList<QDateTime> out;
    const QTimeZone plusFiveThirty(5 * 3600 + 1800);
    for (int i = 0; i < 400; ++i) {
        const QDate day = QDate(1970, 1, 1).addDays(qint64(i) * 127);
        const QTime time(i % 24, (i * 7) % 60, (i * 13) % 60);
        out << QDateTime(day, time, i % 2 ? QTimeZone::utc() : plusFiveThirty);
    }
    out << QDateTime(QDate(2106, 2, 7), QTime(6, 28, 15), QTimeZone::utc());
    return out;
}

QString mismatch(const LocaleDateTimeText& text, const QLocale& locale, const QString& format,
                 const QList<QDateTime>& dates)
{
    for (const QDateTime& dt : dates) {
        const QString want = locale.toString(dt, format);
        if (text.text(dt) != want)
            return QStringLiteral("%1 '%2' %3: '%4' instead of '%5'")
                .arg(locale.name(), format, dt.toString(Qt::ISODate), text.text(dt), want);
    }
    return QString();
}
} // namespace

class TestDateTimeText : public QObject
{
    Q_OBJECT

private slots:
    // The fixed formats of the CSV and HTML exports, written here rather
    // than by QLocale, and still its text (QDateTime::toString and
    // QTime::toString format in the C locale).
    void fixedFormatsOfTheExports()
    {
        const QList<QDateTime> dates = sweep();
        for (const char* format : {"yyyy-MM-dd hh:mm:ss", "hh:mm ap", "dd MMM yyyy"}) {
            const QString f = QLatin1String(format);
            const LocaleDateTimeText text(QLocale::c(), f);
            QVERIFY2(text.isDirect(), format);
            for (const QDateTime& dt : dates) {
                QCOMPARE(text.text(dt), dt.toString(f));
                QString appended = QStringLiteral("x");
                text.appendTo(appended, dt);
                QCOMPARE(appended, QStringLiteral("x") + dt.toString(f));
            }
        }
        // A store's dates may lie anywhere: years of more than four digits
        // or before year 1 read as QLocale writes them.
        for (const QDate day : {QDate(12345, 6, 7), QDate(-44, 3, 15), QDate(1, 1, 1)}) {
            const QDateTime dt(day, QTime(8, 9, 10), QTimeZone::utc());
            QCOMPARE(LocaleDateTimeText(QLocale::c(), QStringLiteral("yyyy-MM-dd hh:mm:ss")).text(dt),
                     dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
            QCOMPARE(LocaleDateTimeText(QLocale::c(), QStringLiteral("dd MMM yy")).text(dt),
                     QLocale::c().toString(dt, QStringLiteral("dd MMM yy")));
        }
        const QDateTime afternoon(QDate(2020, 1, 6), QTime(15, 5, 0), QTimeZone::utc());
        QCOMPARE(LocaleDateTimeText(QLocale::c(), QStringLiteral("hh:mm ap")).text(afternoon), QStringLiteral("03:05 pm"));
    }

    // The locales' own short and long formats, as the text export writes
    // dates in the user's locale.
    void localeFormats()
    {
        const QList<QDateTime> dates = sweep();
        int direct = 0;
        for (const char* name : {"C", "en_US", "en_GB", "de_DE", "fr_FR", "ru_RU", "pl_PL", "ja_JP", "zh_CN", "ko_KR",
                                 "ar_EG", "fa_IR", "hi_IN", "he_IL", "th_TH", "es_ES", "pt_BR", "tr_TR", "uk_UA"}) {
            const QLocale locale{QLatin1String(name)};
            for (QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
                const LocaleDateTimeText text(locale, type);
                direct += text.isDirect();
                const QString wrong = mismatch(text, locale, locale.dateTimeFormat(type), dates);
                QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
                for (const QDateTime& dt : dates)
                    QCOMPARE(text.text(dt), locale.toString(dt, type));
            }
        }
        // The point of the class: most of them do not go through QLocale.
        QVERIFY(direct >= 10);
        QVERIFY(LocaleDateTimeText(QLocale(QStringLiteral("de_DE")), QLocale::ShortFormat).isDirect());
    }

    // Formats with parts written only by QLocale (quoted text, time zones,
    // milliseconds, a lone a) and locales with other digits still come out
    // as QLocale writes them.
    void everythingElseGoesThroughQLocale()
    {
        const QList<QDateTime> dates = sweep();
        const QLocale c = QLocale::c();
        for (const char* format : {"yyyy-MM-dd'T'hh:mm:ss", "hh:mm:ss.zzz", "hh:mm t", "h:mm a", "h:mm Ap", "dddd, d. MMMM yyy",
                                   "yyyyy MMMMM ddddd", "H:m:s", ""}) {
            const QString f = QString::fromUtf8(format);
            const LocaleDateTimeText text(c, f);
            const QString wrong = mismatch(text, c, f, dates);
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        }
        QVERIFY(!LocaleDateTimeText(c, QStringLiteral("hh:mm:ss.zzz")).isDirect());
        const QLocale arabic(QStringLiteral("ar_EG"));
        const LocaleDateTimeText digits(arabic, QStringLiteral("yyyy-MM-dd"));
        QVERIFY(!digits.isDirect());
        QCOMPARE(digits.text(dates.first()), arabic.toString(dates.first(), QStringLiteral("yyyy-MM-dd")));
        QCOMPARE(LocaleDateTimeText(c, QStringLiteral("yyyy")).text(QDateTime()), QString());
    }
};

QTEST_APPLESS_MAIN(TestDateTimeText)
#include "test_date_time_text.moc"
