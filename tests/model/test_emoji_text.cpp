#include "model/EmojiText.h"

#include <QSet>
#include <QTest>
#include <QtEndian>

namespace {
// Collects the codes it is called with and writes them as <code>.
QString recordingHandler(void* ctx, const QString& code)
{
    static_cast<QStringList*>(ctx)->append(code);
    return QStringLiteral("<%1>").arg(code);
}

QByteArray ranges(std::initializer_list<std::array<qint32, 3>> triples)
{
    QByteArray out;
    for (const auto& t : triples) {
        for (qint32 v : t) {
            char b[4];
            qToLittleEndian<qint32>(v, b);
            out.append(b, 4);
        }
    }
    return out;
}

QString units(std::initializer_list<char16_t> list)
{
    QString s;
    for (char16_t u : list)
        s.append(QChar(u));
    return s;
}
} // namespace

class TestEmojiText : public QObject
{
    Q_OBJECT

private slots:
    void surrogatePairsAndPrivateUse()
    {
        QStringList codes;
        const QString text = QStringLiteral("a") + units({0xD83D, 0xDE04}) + QStringLiteral("b") + units({0xE415});
        // U+E415 of the old encoding is U+1F604: shown as that one.
        QCOMPARE(emoji_replace(text, recordingHandler, &codes), QStringLiteral("a<1F604>b<1F604>"));
        QCOMPARE(codes, (QStringList{QStringLiteral("1F604"), QStringLiteral("1F604")}));
    }

    void rangeEndsAndListedSymbols()
    {
        QStringList codes;
        const QString text = units({0xE000, 0xE537, 0xE538, 0x203C, 0x2714, 0x3030, 0x2122});
        // Private-use units without a known emoji never name a picture: they
        // stay as written.
        QCOMPARE(emoji_replace(text, recordingHandler, &codes),
                 units({0xE000, 0xE537, 0xE538}) + QStringLiteral("<203C><2714><3030>") + QChar(0x2122));
        // Known ones become their standard emoji: a pair shown as a picture,
        // or a character that stays text (U+E022 is U+2764, a heart).
        QCOMPARE(emoji_replace(units({0xE00E, 0xE022, 0xE001}), recordingHandler, &codes),
                 QStringLiteral("<1F44D>") + QChar(0x2764) + QStringLiteral("<1F466>"));
    }

    void onlyTheEmojiPlanesArePaired()
    {
        QStringList codes;
        // D83C DF00 is U+1F300; D83E DD14 (U+1F914) has another high unit and stays.
        const QString text = units({0xD83C, 0xDF00, 0xD83E, 0xDD14});
        QCOMPARE(emoji_replace(text, recordingHandler, &codes),
                 QStringLiteral("<1F300>") + units({0xD83E, 0xDD14}));
    }

    void loneSurrogatesKeepTheText()
    {
        QStringList codes;
        QCOMPARE(emoji_replace(units({u'x', 0xD83D}), recordingHandler, &codes), units({u'x', 0xD83D}));
        // A stray high unit before a letter must not swallow the letter.
        QCOMPARE(emoji_replace(units({0xD83D, u'A', u'B'}), recordingHandler, &codes), units({0xD83D, u'A', u'B'}));
        QCOMPARE(emoji_replace(units({0xDE04, 0xD83D}), recordingHandler, &codes), units({0xDE04, 0xD83D}));
        // Two high units then a low one: the second high unit pairs.
        QCOMPARE(emoji_replace(units({0xD83D, 0xD83D, 0xDE00}), recordingHandler, &codes),
                 units({0xD83D}) + QStringLiteral("<1F600>"));
        QVERIFY(emoji_replace(QString(), recordingHandler, &codes).isEmpty());
        QCOMPARE(codes, QStringList{QStringLiteral("1F600")});
    }

    void plainHandler()
    {
        QCOMPARE(emoji_replace(units({0xE415, u' ', 0xD83D, 0xDE04}), viber_emoji_plain_replace_handler, nullptr),
                 QStringLiteral("[EMOJI] [EMOJI]"));
    }

    void emoticonRanges()
    {
        QCOMPARE(viber_emoji_ranges(QStringLiteral("ab (smiley)")), ranges({{3, 8, 58}}));
        QCOMPARE(viber_emoji_ranges(QStringLiteral("(Q)(TV)x(cards)")),
                 ranges({{0, 3, 49}, {3, 4, 67}, {8, 7, 118}}));
        // Tokens are case-sensitive; unknown words are skipped; nothing unclosed matches.
        QCOMPARE(viber_emoji_ranges(QStringLiteral("(SMILEY) (word) (smiley")), QByteArray());
        QCOMPARE(viber_emoji_ranges(QString()), QByteArray());
        // The innermost run without parentheses is the match.
        QCOMPARE(viber_emoji_ranges(QStringLiteral("((cat))")), ranges({{1, 5, 10}}));
        QCOMPARE(viber_emoji_ranges(QStringLiteral("() (!)")), ranges({{3, 3, 0}}));
        // Positions count UTF-16 units, so an emoji before the token counts twice.
        QCOMPARE(viber_emoji_ranges(units({0xD83D, 0xDE04}) + QStringLiteral("(sun)")), ranges({{2, 5, 61}}));
    }

    void emoticonTable()
    {
        const auto& table = viber_emojicode_set();
        QCOMPARE(table.size(), 85);
        QCOMPARE(table.value(QStringLiteral("(smiley)")), 58);
        QVERIFY(!table.contains(QStringLiteral("(Smiley)")));
        QCOMPARE(table.value(QStringLiteral("(depressed)")), 107);
        for (int code : table)
            QVERIFY(code != 57 && (code < 74 || code > 106));
    }

    // What a reader sees: every emoji as written (also those the scanner
    // knows nothing of, and ZWJ sequences), old private-use units as their
    // standard emoji, Viber's tokens as matching emoji; anything else that
    // looks like a token, unclosed or nested parentheses stay text.
    void readableText()
    {
        const QString ok = QString::fromUtf16(u"\U0001F44D");
        const QString family = QString::fromUtf16(u"\U0001F468\u200D\U0001F469\u200D\U0001F467");
        const QString sun = QString::fromUtf16(u"\u2600\uFE0F");
        const QString yawn = QString::fromUtf16(u"\U0001F9B1"); // outside the planes the scanner pairs
        const QString text = QStringLiteral("a ") + ok + family + sun + yawn + QStringLiteral(" b");
        QCOMPARE(viber_readable_text(text), text);
        QCOMPARE(viber_readable_text(units({u'x', 0xE415, u'y', 0xE537})),
                 QStringLiteral("x") + QString::fromUtf16(u"\U0001F604") + QStringLiteral("y") + QChar(0xE537));
        QCOMPARE(viber_readable_text(QStringLiteral("Thanks (heart)(zzz) (like)")),
                 QString::fromUtf16(u"Thanks \u2764\uFE0F\U0001F634 \U0001F44D"));
        QCOMPARE(viber_readable_text(QStringLiteral("(HEART) (notatoken) ((smiley) (smiley")),
                 QString::fromUtf16(u"(HEART) (notatoken) (\U0001F603 (smiley"));
        QCOMPARE(viber_readable_text(QString()), QString());
        QCOMPARE(viber_readable_text(QStringLiteral("()")), QStringLiteral("()"));
    }

    // Every emoticon of the code table has its emoji, and nothing else has one.
    void everyEmoticonHasAnEmoji()
    {
        const QHash<QString, int>& codes = viber_emojicode_set();
        QSet<QString> seen;
        for (auto it = codes.cbegin(); it != codes.cend(); ++it) {
            const QString emoji = viber_emoticon_emoji(it.key());
            QVERIFY2(!emoji.isEmpty(), qPrintable(it.key()));
            QVERIFY2(emoji.size() <= 3 && !emoji.at(0).isLetterOrNumber(), qPrintable(it.key()));
            seen << emoji;
        }
        QVERIFY(seen.size() > 80); // look-alikes, not one emoji for all
        QVERIFY(viber_emoticon_emoji(QStringLiteral("(Heart)")).isEmpty());
        QVERIFY(viber_emoticon_emoji(QStringLiteral("heart")).isEmpty());
    }

    void genericReplace()
    {
        const QRegularExpression digits(QStringLiteral("[0-9]+"));
        auto bracket = [](void*, const QRegularExpressionMatch& m) { return QStringLiteral("[%1]").arg(m.captured()); };
        QCOMPARE(rx_replace(QStringLiteral("a12b3"), digits, bracket, nullptr), QStringLiteral("a[12]b[3]"));
        QCOMPARE(rx_replace(QStringLiteral("none"), digits, bracket, nullptr), QStringLiteral("none"));
        // A pattern that can match nothing still ends and keeps every character.
        const QRegularExpression maybe(QStringLiteral("x*"));
        QCOMPARE(rx_replace(QStringLiteral("ab"), maybe, bracket, nullptr), QStringLiteral("[]a[]b[]"));
    }
};

QTEST_APPLESS_MAIN(TestEmojiText)
#include "test_emoji_text.moc"
