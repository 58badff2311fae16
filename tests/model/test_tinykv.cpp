#include "model/TinyKVSerializer.h"

#include <QBuffer>
#include <QDateTime>
#include <QTest>
#include <QtEndian>

#include <functional>

namespace {
QByteArray le32(qint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian<qint32>(v, b.data());
    return b;
}

QByteArray entry(const QByteArray& key, char tag, const QByteArray& payload)
{
    return le32(qint32(key.size())) + key + tag + payload;
}

// A sequential device, to check that counts are not trusted where the size is unknown.
class PipeDevice : public QIODevice
{
public:
    explicit PipeDevice(QByteArray data) : m_data(std::move(data)) { open(ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* out, qint64 max) override
    {
        const qint64 n = qMin<qint64>(max, m_data.size() - m_pos);
        memcpy(out, m_data.constData() + m_pos, size_t(n));
        m_pos += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_pos = 0;
};
} // namespace

class TestTinyKV : public QObject
{
    Q_OBJECT

private slots:
    void byteExactExample()
    {
        const QByteArray expected = QByteArray::fromHex("74696e796b76" "05000000" "5a5f4f5054" "69" "03000000");
        QCOMPARE(TinyKVSerializer::ser({{QStringLiteral("Z_OPT"), 3}}), expected);
        QCOMPARE(TinyKVSerializer::ser({}), QByteArray("tinykv"));
        QVERIFY(TinyKVSerializer::unser(QByteArray("tinykv")).isEmpty());
        QVERIFY(TinyKVSerializer::unser(QByteArray()).isEmpty());
    }

    // The loaders' writer must give the bytes the serializer gives.
    void writerMatchesTheSerializer()
    {
        const QList<QPair<QVariant, std::function<void(TinyKVWriter&)>>> cases = {
            {QVariant(-5), [](TinyKVWriter& w) { w.addInt("k", -5); }},
            {QVariant(qlonglong(1) << 40), [](TinyKVWriter& w) { w.addInt64("k", qint64(1) << 40); }},
            {QVariant(QString::fromUtf8("Grüße")), [](TinyKVWriter& w) { w.addString("k", "Grüße"); }},
            {QVariant(QString()), [](TinyKVWriter& w) { w.addString("k", QByteArrayView()); }},
            {QVariant(QByteArray("\0\xff", 2)), [](TinyKVWriter& w) { w.addBinary("k", QByteArrayView("\0\xff", 2)); }},
        };
        for (const auto& [value, write] : cases) {
            TinyKVWriter w;
            write(w);
            QCOMPARE(w.take(), TinyKVSerializer::ser({{QStringLiteral("k"), value}}));
        }
        TinyKVWriter two;
        two.addInt("a", 1);
        two.addString("b", "x");
        QCOMPARE(TinyKVSerializer::unser(two.take()),
                 (QHash<QString, QVariant>{{QStringLiteral("a"), 1}, {QStringLiteral("b"), QStringLiteral("x")}}));
        QCOMPARE(TinyKVWriter().take(), QByteArray("tinykv"));
    }

    void everyTagRoundTrips()
    {
        const QHash<QString, QVariant> in{
            {QStringLiteral("int"), -7},
            {QStringLiteral("long"), qlonglong(1) << 40},
            {QStringLiteral("double"), 3.25},
            {QStringLiteral("text"), QStringLiteral("Grüße \U0001F600")},
            {QStringLiteral("bytes"), QByteArray("\x00\x01\xff", 3)},
            {QStringLiteral("empty text"), QString()},
            {QStringLiteral("null"), QVariant()},
            {QString(), 1},
        };
        const QHash<QString, QVariant> out = TinyKVSerializer::unser(TinyKVSerializer::ser(in));
        QCOMPARE(out.size(), in.size());
        QCOMPARE(out.value(QStringLiteral("int")).typeId(), int(QMetaType::Int));
        QCOMPARE(out.value(QStringLiteral("long")).typeId(), int(QMetaType::LongLong));
        QCOMPARE(out.value(QStringLiteral("long")).toLongLong(), qlonglong(1) << 40);
        QCOMPARE(out.value(QStringLiteral("double")).toDouble(), 3.25);
        QCOMPARE(out.value(QStringLiteral("text")).toString(), in.value(QStringLiteral("text")).toString());
        QCOMPARE(out.value(QStringLiteral("bytes")).toByteArray(), QByteArray("\x00\x01\xff", 3));
        QVERIFY(!out.value(QStringLiteral("null")).isValid());
        QVERIFY(out.contains(QStringLiteral("null")));
        QCOMPARE(out.value(QString()).toInt(), 1);
    }

    void typesMapToTheirTags()
    {
        // bool, unsigned and QChar become tag i; unsigned long long becomes l;
        // anything else (a date) becomes n and reads back as null.
        const QByteArray b = TinyKVSerializer::ser({{QStringLiteral("b"), true}});
        QCOMPARE(b.mid(6), entry("b", 'i', le32(1)));
        QCOMPARE(TinyKVSerializer::ser({{QStringLiteral("u"), 4294967295u}}).mid(6), entry("u", 'i', le32(-1)));
        QCOMPARE(TinyKVSerializer::ser({{QStringLiteral("c"), QChar(u'é')}}).mid(6), entry("c", 'i', le32(0xE9)));
        const QByteArray ull = TinyKVSerializer::ser({{QStringLiteral("l"), qulonglong(5)}});
        QCOMPARE(ull.at(6 + 4 + 1), 'l');
        QCOMPARE(TinyKVSerializer::ser({{QStringLiteral("d"), QDateTime::currentDateTime()}}).mid(6),
                 entry("d", 'n', QByteArray()));
        QCOMPARE(TinyKVSerializer::ser({{QStringLiteral("s"), QStringList{QStringLiteral("x")}}}).mid(6),
                 entry("s", 'n', QByteArray()));
    }

    void nullAfterIntReadsBackAsNull()
    {
        const QByteArray blob = "tinykv" + entry("a", 'i', le32(5)) + entry("b", 'n', QByteArray());
        const auto out = TinyKVSerializer::unser(blob);
        QCOMPARE(out.value(QStringLiteral("a")).toInt(), 5);
        QVERIFY(out.contains(QStringLiteral("b")));
        QVERIFY(!out.value(QStringLiteral("b")).isValid());
    }

    void malformedBlobs_data()
    {
        QTest::addColumn<QByteArray>("blob");
        QTest::addColumn<int>("entries");
        const QByteArray good = "tinykv" + entry("a", 'i', le32(1)) + entry("b", 's', le32(2) + "hi");
        QTest::newRow("other magic") << QByteArray("tinykw") + good.mid(6) << 0;
        QTest::newRow("short magic") << QByteArray("tiny") << 0;
        QTest::newRow("bad tag after two entries") << good + entry("c", 'x', le32(1)) << 0;
        QTest::newRow("cut inside value") << good + entry("c", 'l', QByteArray(3, '\0')) << 0;
        QTest::newRow("string payload longer than data") << good + entry("c", 's', le32(1000) + "abc") << 0;
        QTest::newRow("negative binary count") << good + entry("c", 'v', le32(-1)) << 0;
        QTest::newRow("huge binary count") << good + entry("c", 'v', le32(0x7fffffff)) << 0;
        QTest::newRow("cut inside key count") << good + QByteArray("\x05\x00", 2) << 2;
        QTest::newRow("cut inside key bytes") << good + le32(10) + "abc" << 2;
        QTest::newRow("negative key count") << good + le32(-5) << 2;
        QTest::newRow("key without value") << good + le32(1) + "k" << 0;
    }
    void malformedBlobs()
    {
        QFETCH(QByteArray, blob);
        QFETCH(int, entries);
        const auto out = TinyKVSerializer::unser(blob);
        QCOMPARE(out.size(), entries);
        if (entries == 2) {
            QCOMPARE(out.value(QStringLiteral("a")).toInt(), 1);
            QCOMPARE(out.value(QStringLiteral("b")).toString(), QStringLiteral("hi"));
        }
    }

    void failedReadLeavesTargetAsItWas()
    {
        QHash<QString, QVariant> target{{QStringLiteral("keep"), 1}};
        QBuffer buf;
        buf.setData("nothing");
        buf.open(QIODevice::ReadOnly);
        QVERIFY(!TinyKVSerializer::unser(buf, target));
        QCOMPARE(target.value(QStringLiteral("keep")).toInt(), 1);
    }

    void repeatedKeyKeepsLastValue()
    {
        const QByteArray blob = "tinykv" + entry("k", 'i', le32(1)) + entry("k", 'i', le32(2));
        const auto out = TinyKVSerializer::unser(blob);
        QCOMPARE(out.size(), 1);
        QCOMPARE(out.value(QStringLiteral("k")).toInt(), 2);
    }

    void sequentialDeviceWithCraftedCount()
    {
        // The count claims 2 GiB; the reader must fail after the few bytes there are.
        PipeDevice dev("tinykv" + entry("a", 'v', le32(0x7fffffff) + "xyz"));
        QHash<QString, QVariant> out;
        QVERIFY(!TinyKVSerializer::unser(dev, out));
        QVERIFY(out.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestTinyKV)
#include "test_tinykv.moc"
