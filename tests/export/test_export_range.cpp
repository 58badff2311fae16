#include "support/ExportTestData.h"
#include "export/ExportDateRange.h"
#include "export/ExportMessagesThread.h"
#include "support/RecordingProgress.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <QTest>

#include <ctime>

namespace {
// Record time of a UTC wall-clock time.
double utc(const char* iso)
{
    return double(QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toSecsSinceEpoch() -
                  kCoreDataEpochUnix);
}

void setZone(const char* tz)
{
    qputenv("TZ", tz);
    tzset();
}

QStringList csvLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    lines.removeFirst(); // header
    return lines;
}
} // namespace

class TestExportRange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }
    void cleanup() { setZone("UTC"); }

    void parsesLocalTimesAcrossDaylightSaving_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("utcIso");
        // Berlin: winter +01:00, summer +02:00; 2024-03-31 02:00 local does not exist.
        QTest::newRow("date is local midnight") << "2024-03-31" << "2024-03-30T23:00:00Z";
        QTest::newRow("minutes with T") << "2024-03-31T01:59" << "2024-03-31T00:59:00Z";
        QTest::newRow("after the change") << "2024-03-31T03:00" << "2024-03-31T01:00:00Z";
        QTest::newRow("inside the gap moves past it") << "2024-03-31 02:30" << "2024-03-31T01:00:00Z";
        QTest::newRow("seconds with blank, summer") << "2024-07-01 12:34:56" << "2024-07-01T10:34:56Z";
        QTest::newRow("surrounding blanks") << " 2024-01-15 " << "2024-01-14T23:00:00Z";
    }
    void parsesLocalTimesAcrossDaylightSaving()
    {
        QFETCH(QString, text);
        QFETCH(QString, utcIso);
        setZone("Europe/Berlin");
        double t = 0;
        QString error;
        QVERIFY2(ExportDateRange::parseLocal(text, t, error), qPrintable(error));
        QCOMPARE(t, utc(utcIso.toLatin1().constData()));
    }

    void rejectsWhatIsNotADate()
    {
        for (const char* bad : {"", "yesterday", "2024-13-01", "2024-02-30", "2024-04-24T7:45", "2024-04-24T07:60",
                                "24-04-2024", "2024-04-24T07:45:57Z", "2024-04-24 07:45:57.5"}) {
            double t = -1;
            QString error;
            QVERIFY2(!ExportDateRange::parseLocal(QString::fromLatin1(bad), t, error), bad);
            QVERIFY(!error.isEmpty());
        }
    }

    // A message exactly at --since is in, one exactly at --until is out, and the
    // one-hour jump of the clock inside the range loses nothing.
    void exportKeepsSinceAndDropsUntilAcrossTheChange()
    {
        setZone("Europe/Berlin");
        ExportTestData t;
        t.anna = t.person(QStringLiteral("Anna"), QStringLiteral("+4911"));
        t.single = t.chat(QString(), QString(), {t.anna});
        const struct
        {
            const char* at;
            const char* text;
        } msgs[] = {{"2024-03-30T22:59:59Z", "before"},      {"2024-03-30T23:00:00Z", "at since"},
                    {"2024-03-31T00:59:59Z", "last winter"}, {"2024-03-31T01:00:00Z", "first summer"},
                    {"2024-03-31T21:59:59Z", "before until"}, {"2024-03-31T22:00:00Z", "at until"}};
        for (const auto& m : msgs)
            t.msg(t.single, MSG_TYPE_TEXT, utc(m.at), QString::fromLatin1(m.text), MSG_STATE_SENT);

        ExportDateRange range;
        double since = 0, until = 0;
        QString error;
        QVERIFY(ExportDateRange::parseLocal(QStringLiteral("2024-03-31"), since, error));
        QVERIFY(ExportDateRange::parseLocal(QStringLiteral("2024-04-01T00:00"), until, error));
        range.since = since;
        range.until = until;

        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("range.csv"));
        RecordingProgress p;
        ExportMessagesThread job(t.data.messages(), out, ExportFormat::Csv, p);
        job.options().range = range;
        job.run();
        QVERIFY(p.errors().isEmpty());
        QCOMPARE(p.successes(), QStringList{QStringLiteral("Successfully exported 4 messages.")});
        const QStringList lines = csvLines(out);
        QCOMPARE(lines, (QStringList{QStringLiteral("2024-03-31 00:00:00,1,Anna,+4911,at since"),
                                     QStringLiteral("2024-03-31 01:59:59,1,Anna,+4911,last winter"),
                                     QStringLiteral("2024-03-31 03:00:00,1,Anna,+4911,first summer"),
                                     QStringLiteral("2024-03-31 23:59:59,1,Anna,+4911,before until")}));
    }

    void openEndsKeepEverythingOnThatSide()
    {
        ExportDateRange r;
        QVERIFY(r.isOpen());
        QVERIFY(r.contains(-1e12) && r.contains(1e12));
        r.since = 100;
        QVERIFY(!r.contains(99.999) && r.contains(100) && r.contains(1e12));
        r = ExportDateRange();
        r.until = 100;
        QVERIFY(r.contains(-1e12) && r.contains(99.5) && !r.contains(100));
    }
};

QTEST_GUILESS_MAIN(TestExportRange)
#include "test_export_range.moc"
