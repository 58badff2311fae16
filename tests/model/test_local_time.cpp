// Local dates of record times in a zone with daylight saving time: the
// converter resolves the zone once, so it is checked against Qt's own
// conversion through the C library at and around every transition.
#include "model/ViberTime.h"

#include <QRandomGenerator>
#include <QTimeZone>
#include <QtTest>

#include <ctime>

class TestLocalTime : public QObject
{
    Q_OBJECT

private:
    static void compareAt(qint64 unix)
    {
        const QDateTime expected = QDateTime::fromSecsSinceEpoch(unix).toLocalTime();
        const QDateTime got = dtFromTimestamp(double(unix - kCoreDataEpochUnix));
        const QByteArray where = QByteArray::number(unix);
        // The exports' converter, kept across calls as they keep it.
        static LocalTimeConverter converter;
        const QDateTime converted = converter.toLocal(double(unix - kCoreDataEpochUnix));
        QVERIFY2(converted == got && converted.offsetFromUtc() == got.offsetFromUtc(), where.constData());
        QVERIFY2(got.date() == expected.date(), where.constData());
        QVERIFY2(got.time() == expected.time(), where.constData());
        QVERIFY2(got.offsetFromUtc() == expected.offsetFromUtc(), where.constData());
        QVERIFY2(got.toSecsSinceEpoch() == unix, where.constData());
        QVERIFY2(got.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) ==
                     expected.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                 where.constData());
    }

private slots:
    void zoneHasDaylightSaving()
    {
        // Guards the test itself: in a zone without transitions it would
        // prove nothing.
        QVERIFY(QTimeZone::systemTimeZone().hasDaylightTime());
        const QDateTime winter(QDate(2021, 1, 15), QTime(12, 0), Qt::UTC);
        const QDateTime summer(QDate(2021, 7, 15), QTime(12, 0), Qt::UTC);
        QVERIFY(winter.toLocalTime().offsetFromUtc() != summer.toLocalTime().offsetFromUtc());
    }

    void aroundEveryTransition()
    {
        // Both directions of every change from 1970 to 2060, walked forwards
        // and then backwards so that each look-up leaves the span the last
        // one used.
        const QTimeZone zone = QTimeZone::systemTimeZone();
        const auto transitions = zone.transitions(QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC),
                                                  QDateTime(QDate(2060, 1, 1), QTime(0, 0), Qt::UTC));
        QVERIFY(transitions.size() > 100);
        QList<qint64> instants;
        for (const QTimeZone::OffsetData& t : transitions) {
            const qint64 at = t.atUtc.toSecsSinceEpoch();
            for (qint64 d : {-3601LL, -3600LL, -1LL, 0LL, 1LL, 1799LL, 3599LL, 3600LL, 86400LL})
                instants << at + d;
        }
        for (qint64 u : std::as_const(instants))
            compareAt(u);
        for (auto it = instants.crbegin(); it != instants.crend(); ++it)
            compareAt(*it);
    }

    void scatteredDates()
    {
        QRandomGenerator rng(18);
        for (int i = 0; i < 20000; ++i)
            compareAt(qint64(rng.bounded(quint64(2'900'000'000))));
    }
};

int main(int argc, char** argv)
{
    // Before anything asks for the local zone: it is resolved once.
    qputenv("TZ", "Europe/Berlin");
    ::tzset();
    QCoreApplication app(argc, argv);
    TestLocalTime test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_local_time.moc"
