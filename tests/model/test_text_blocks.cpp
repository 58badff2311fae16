// Texts decoded into shared blocks must be indistinguishable from texts made
// by QString::fromUtf8: same characters for any bytes a store may hold, and
// each one a string of its own when changed, copied or kept after the rest.
#include "model/TextBlocks.h"
#include "support/TestEnv.h"

#include <QTest>

#include <memory>

class TestTextBlocks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void decodesAsFromUtf8_data()
    {
        QTest::addColumn<QByteArray>("utf8");
        QTest::newRow("ascii") << QByteArray("See you at 8");
        QTest::newRow("cyrillic and emoji") << QByteArray("Привет \xF0\x9F\x98\x80!");
        QTest::newRow("leading byte order mark") << QByteArray("\xEF\xBB\xBFhello");
        QTest::newRow("byte order mark inside") << QByteArray("a\xEF\xBB\xBF" "b");
        QTest::newRow("lone continuation byte") << QByteArray("a\x80" "b");
        QTest::newRow("cut off at the end") << QByteArray("ab\xE2\x82");
        QTest::newRow("overlong slash") << QByteArray("\xC0\xAF");
        QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80x");
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80");
        QTest::newRow("zero inside") << QByteArray("a\0b", 3);
        QTest::newRow("long") << QByteArray(200 * 1024, 'x');
        // As long as a text in a block may be: more than a first block holds.
        QTest::newRow("longest in a block") << QByteArray(64 * 1024, 'y');
        QTest::newRow("longest, multi-byte") << QByteArray(32 * 1024, 'z') + QByteArray("\xC3\xA9").repeated(16 * 1024);
    }

    void decodesAsFromUtf8()
    {
        QFETCH(QByteArray, utf8);
        TextBlocks blocks;
        const QString first = blocks.fromUtf8(utf8);
        QCOMPARE(first, QString::fromUtf8(utf8));
        blocks.fromUtf8("between"); // not the first text of its block
        const QString text = blocks.fromUtf8(utf8);
        QCOMPARE(text, QString::fromUtf8(utf8));
        QCOMPARE(text.utf16()[text.size()], u'\0');
        QCOMPARE(first, text);
        QVERIFY(blocks.fromUtf8(QByteArrayView()).isNull());
        QVERIFY(blocks.fromUtf8("").isNull());
        const QString built = QStringLiteral("/some/folder/") + QString::fromUtf8(utf8);
        QCOMPARE(blocks.keep(built), built);
        QVERIFY(blocks.keep(QString()).isNull());
        QVERIFY(!blocks.keep(QLatin1String("")).isNull());
    }

    // Enough texts for several blocks; every one is changed, copied or
    // dropped in another way, and the rest must not notice.
    void textsStayApart()
    {
        auto blocks = std::make_unique<TextBlocks>();
        QList<QString> texts;
        QList<QString> expected;
        for (int i = 0; i < 60000; ++i) {
            const QByteArray utf8 = QByteArray("message ") + QByteArray::number(i) + QByteArray(50, 'a' + i % 26);
            // Decoded and copied texts share the blocks.
            texts << (i % 3 ? blocks->fromUtf8(utf8) : blocks->keep(QString::fromUtf8(utf8)));
            expected << QString::fromUtf8(utf8);
        }
        blocks.reset(); // the texts outlive what made them
        for (qsizetype i = 0; i < texts.size(); i += 7) {
            switch (i % 4) {
            case 0:
                texts[i].append(QStringLiteral(" (edited)"));
                expected[i].append(QStringLiteral(" (edited)"));
                break;
            case 1:
                texts[i][0] = u'M';
                expected[i][0] = u'M';
                break;
            case 2:
                texts[i].squeeze();
                texts[i].prepend(u'>');
                expected[i].prepend(u'>');
                break;
            default:
                texts[i].clear();
                expected[i].clear();
            }
        }
        QCOMPARE(texts, expected);
        for (const QString& t : std::as_const(texts))
            QCOMPARE(t.utf16()[t.size()], u'\0');

        // The last text left of its block grows where the others were.
        QString last = texts.takeLast();
        texts.clear();
        expected.clear();
        const QString tail(100000, u'z');
        const QString grown = last + tail;
        last.append(tail);
        QCOMPARE(last, grown);
    }
};

QTEST_GUILESS_MAIN(TestTextBlocks)
#include "test_text_blocks.moc"
