#include "plist/CFType.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTimeZone>

namespace {
const QByteArray kXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n"
    "<dict>\n"
    "  <key>Name</key><string>Grüße 👋</string>\n"
    "  <key>Big</key><integer>9007199254740993</integer>\n"
    "  <key>Negative</key><integer>-42</integer>\n"
    "  <key>Tenth</key><real>0.1</real>\n"
    "  <key>Yes</key><true/>\n"
    "  <key>No</key><false/>\n"
    "  <key>Blob</key><data>AAECAw==</data>\n"
    "  <key>When</key><date>2024-03-05T10:20:30Z</date>\n"
    "  <key>Inner</key><dict><key>K</key><string>v</string></dict>\n"
    "</dict>\n"
    "</plist>\n";

void checkValues(const CFType& p)
{
    QVERIFY(p.isCFDictionary());
    QCOMPARE(p.get(QStringLiteral("Name")).CFStringQString(), QStringLiteral("Grüße 👋"));
    QCOMPARE(p.get(QStringLiteral("Big")).CFNumberInt64(0), Q_INT64_C(9007199254740993));
    QCOMPARE(p.get(QStringLiteral("Big")).toString(), QStringLiteral("9007199254740993"));
    QCOMPARE(p.get(QStringLiteral("Negative")).CFNumberInt64(0), Q_INT64_C(-42));
    QCOMPARE(p.get(QStringLiteral("Negative")).toString(), QStringLiteral("-42"));
    QCOMPARE(p.get(QStringLiteral("Tenth")).toString(), QStringLiteral("0.1"));
    QCOMPARE(p.get(QStringLiteral("Yes")).toString(), QStringLiteral("1"));
    QCOMPARE(p.get(QStringLiteral("No")).toString(), QStringLiteral("0"));
    QCOMPARE(p.get(QStringLiteral("Yes")).CFNumberBool(false), true);
    QCOMPARE(p.get(QStringLiteral("No")).CFNumberBool(true), false);
    QCOMPARE(p.get(QStringLiteral("Blob")).CFDataBytes(), QByteArray("\x00\x01\x02\x03", 4));
    const QDateTime when = p.get(QStringLiteral("When")).CFDateToDateTime(nullptr);
    QCOMPARE(when.date(), QDate(2024, 3, 5));
    QCOMPARE(when.time(), QTime(10, 20, 30));
    QCOMPARE(p.get(QStringLiteral("Inner")).get(QStringLiteral("K")).CFStringQString(), QStringLiteral("v"));
}
} // namespace

class TestCFType : public QObject
{
    Q_OBJECT

private slots:
    void nullAndMissingValues()
    {
        const CFType dict = CFType::createCFDictionary();
        for (const CFType& v : {CFType(), dict.get(QStringLiteral("absent")), CFType::createCFString(u"x"_qs).get(u"k"_qs)}) {
            QVERIFY(!v.isCFDictionary() && !v.isCFString() && !v.isCFNumber() && !v.isCFBoolean() && !v.isCFData() &&
                    !v.isCFDate());
            QCOMPARE(v.CFStringQString(), QString());
            QCOMPARE(v.CFNumberInt64(7), Q_INT64_C(7));
            QCOMPARE(v.CFNumberBool(true), true);
            QVERIFY(v.CFDataBytes().isEmpty());
            QVERIFY(!v.CFDateToDateTime(nullptr).isValid());
            QCOMPARE(v.toString(), QString());
        }
        // Conversions of the wrong type give their defaults.
        QCOMPARE(CFType::createCFString(u"12"_qs).CFNumberInt64(-1), Q_INT64_C(-1));
        QCOMPARE(CFType::createCFNumber(1).CFNumberBool(false), false);
    }

    void xmlAndBinaryRoundTrips()
    {
        const CFType parsed = CFType::createCFPropertyList(kXml);
        checkValues(parsed);
        const QByteArray bin = parsed.CFPropertyListToBytes(CFType::FormatBinary);
        QVERIFY(bin.startsWith("bplist00"));
        const CFType fromBin = CFType::createCFPropertyList(bin);
        checkValues(fromBin);
        const QByteArray xml = fromBin.CFPropertyListToBytes(CFType::FormatXml);
        QVERIFY(xml.contains("<plist"));
        checkValues(CFType::createCFPropertyList(xml));
        QVERIFY(parsed.CFPropertyListToBytes(300).isEmpty());
    }

    void dateInAnotherZone()
    {
        const CFType p = CFType::createCFPropertyList(kXml);
        const QTimeZone tokyo("Asia/Tokyo");
        const QDateTime t = p.get(QStringLiteral("When")).CFDateToDateTime(&tokyo);
        QCOMPARE(t.time(), QTime(19, 20, 30));
        QCOMPARE(t.timeSpec(), Qt::LocalTime);
    }

    void putAndOwnership()
    {
        CFType dict = CFType::createCFDictionary();
        CFType value = CFType::createCFString(u"first"_qs);
        dict.put(CFType::createCFString(u"k"_qs), value).put(u"n"_qs, CFType::createCFNumber(5));
        // The dictionary holds its own copy: dropping the caller's wrapper is safe.
        value = CFType();
        QCOMPARE(dict.get(u"k"_qs).CFStringQString(), u"first"_qs);
        dict.put(u"k"_qs, CFType::createCFString(u"second"_qs));
        QCOMPARE(dict.count(), 2);
        QCOMPARE(dict.get(u"k"_qs).CFStringQString(), u"second"_qs);

        // A borrowed value lives as long as any wrapper of its dictionary.
        CFType borrowed;
        {
            const CFType copy = dict;
            borrowed = copy.get(u"n"_qs);
            dict = CFType();
            QCOMPARE(borrowed.CFNumberInt64(0), Q_INT64_C(5));
            QCOMPARE(copy.get(u"n"_qs).CFNumberInt64(0), Q_INT64_C(5));
        }

        // put on anything but a dictionary, or with a non-string key, changes nothing.
        CFType s = CFType::createCFString(u"s"_qs);
        s.put(u"k"_qs, CFType::createCFNumber(1));
        QCOMPARE(s.toString(), u"s"_qs);
        CFType d2 = CFType::createCFDictionary();
        d2.put(CFType::createCFNumber(1), CFType::createCFNumber(1));
        d2.put(u"null"_qs, CFType());
        QCOMPARE(d2.count(), 0);

        // A dictionary put into itself is stored as a copy, not a cycle.
        d2.put(u"self"_qs, d2);
        QVERIFY(d2.get(u"self"_qs).isCFDictionary());
        QVERIFY(!d2.CFPropertyListToBytes(CFType::FormatBinary).isEmpty());
    }

    void garbageGivesNull()
    {
        QVERIFY(CFType::createCFPropertyList(QByteArray()).isNull());
        QVERIFY(CFType::createCFPropertyList("not a property list").isNull());
        QVERIFY(CFType::createCFPropertyList("bplist00").isNull());
        const QByteArray bin = CFType::createCFPropertyList(kXml).CFPropertyListToBytes(CFType::FormatBinary);
        for (qsizetype cut : {qsizetype(9), bin.size() / 2, bin.size() - 1})
            QVERIFY(CFType::createCFPropertyList(bin.left(cut)).isNull());
        QVERIFY(CFType::createCFPropertyList(kXml.left(kXml.size() / 2)).isNull());

        QRandomGenerator rng(1234);
        for (int i = 0; i < 200; ++i) {
            QByteArray junk(int(rng.bounded(1, 300)), '\0');
            for (char& c : junk)
                c = char(rng.bounded(256));
            if (i % 2)
                junk.prepend("bplist00");
            CFType::createCFPropertyList(junk); // must neither crash nor throw
        }
        // Flipped bytes inside a valid binary list.
        for (int i = 8; i < bin.size(); ++i) {
            QByteArray b = bin;
            b[i] = char(b[i] ^ 0xFF);
            CFType::createCFPropertyList(b);
        }
    }
};

QTEST_GUILESS_MAIN(TestCFType)
#include "test_cftype.moc"
