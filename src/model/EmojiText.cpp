#include "model/EmojiText.h"

#include <QtEndian>

#include <algorithm>
#include <iterator>

QString rx_replace(const QString& text, const QRegularExpression& rx,
                   QString (*handler)(void* ctx, const QRegularExpressionMatch& m), void* ctx)
{
    QString out;
    qsizetype pos = 0;
    while (pos <= text.size()) {
        const QRegularExpressionMatch m = rx.match(text, pos);
        if (!m.hasMatch())
            break;
        out.append(QStringView(text).mid(pos, m.capturedStart() - pos));
        out.append(handler(ctx, m));
        if (m.capturedLength() == 0) {
            // Copy one unit past an empty match so the walk moves on.
            if (m.capturedStart() < text.size())
                out.append(text.at(m.capturedStart()));
            pos = m.capturedStart() + 1;
        } else {
            pos = m.capturedEnd();
        }
    }
    if (pos < text.size())
        out.append(QStringView(text).mid(pos));
    return out;
}

namespace {
bool isSingleUnitEmoji(char16_t u)
{
    if (u >= 0xE000 && u <= 0xE537)
        return true;
    switch (u) {
    case 0x203C: case 0x2049: case 0x2139: case 0x2194: case 0x2195: case 0x21A9: case 0x21AA:
    case 0x231A: case 0x231B: case 0x23EB: case 0x23EC: case 0x23F0: case 0x23F3: case 0x24C2:
    case 0x25AA: case 0x25AB: case 0x25FB: case 0x25FC: case 0x25FD: case 0x25FE: case 0x2611:
    case 0x267B: case 0x2693: case 0x26AA: case 0x26AB: case 0x26C5: case 0x26D4: case 0x2705:
    case 0x2709: case 0x270F: case 0x2712: case 0x2714: case 0x2744: case 0x2747: case 0x274E:
    case 0x2795: case 0x2796: case 0x2797: case 0x27B0: case 0x2934: case 0x2935: case 0x2B1B:
    case 0x2B1C: case 0x3030:
        return true;
    default:
        return false;
    }
}

// The old Japanese carrier encoding that early iPhones wrote emoji in
// (private-use units): the standard emoji of the ones whose meaning is sure.
// Sorted by unit.
const struct
{
    char16_t unit;
    char32_t standard;
} kPrivateUseEmoji[] = {
    {0xE001, 0x1F466}, {0xE002, 0x1F467}, {0xE004, 0x1F468}, {0xE005, 0x1F469},
    {0xE00D, 0x1F44A}, {0xE00E, 0x1F44D}, {0xE010, 0x270A}, {0xE011, 0x270C},
    {0xE012, 0x270B}, {0xE022, 0x2764}, {0xE023, 0x1F494}, {0xE03E, 0x1F3B5},
    {0xE048, 0x26C4}, {0xE049, 0x2601}, {0xE04A, 0x2600}, {0xE04B, 0x2614},
    {0xE056, 0x1F60A}, {0xE057, 0x1F603}, {0xE058, 0x1F61E}, {0xE059, 0x1F620},
    {0xE105, 0x1F61C}, {0xE106, 0x1F60D}, {0xE107, 0x1F631}, {0xE108, 0x1F613},
    {0xE13C, 0x1F4A4}, {0xE14C, 0x1F4AA}, {0xE32E, 0x2728}, {0xE401, 0x1F625},
    {0xE402, 0x1F60F}, {0xE403, 0x1F614}, {0xE404, 0x1F601}, {0xE405, 0x1F609},
    {0xE406, 0x1F623}, {0xE407, 0x1F616}, {0xE408, 0x1F62A}, {0xE409, 0x1F61D},
    {0xE40A, 0x1F60C}, {0xE40B, 0x1F628}, {0xE40C, 0x1F637}, {0xE40D, 0x1F633},
    {0xE40E, 0x1F612}, {0xE40F, 0x1F630}, {0xE410, 0x1F632}, {0xE411, 0x1F62D},
    {0xE412, 0x1F602}, {0xE413, 0x1F622}, {0xE414, 0x263A}, {0xE415, 0x1F604},
    {0xE416, 0x1F621}, {0xE417, 0x1F61A}, {0xE418, 0x1F618}, {0xE41E, 0x1F44B},
    {0xE41F, 0x1F44F}, {0xE420, 0x1F44C}, {0xE421, 0x1F44E},
};

// The standard emoji of a private-use unit; 0 when none is known.
char32_t standardEmojiOf(char16_t unit)
{
    const auto* end = std::end(kPrivateUseEmoji);
    const auto* it = std::lower_bound(std::begin(kPrivateUseEmoji), end, unit,
                                      [](const auto& e, char16_t u) { return e.unit < u; });
    return it != end && it->unit == unit ? it->standard : 0;
}

QString hexCode(uint value)
{
    return QString::number(value, 16).toUpper();
}
} // namespace

bool g_mayHoldEmoji(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x203C)
            return true;
    }
    return false;
}

QString emoji_replace(const QString& text, QString (*handler)(void* ctx, const QString& code), void* ctx)
{
    // One quick look spares most texts both passes.
    if (!g_mayHoldEmoji(text))
        return text;

    // Pass 1: single-unit symbols.
    QString pass1;
    pass1.reserve(text.size());
    qsizetype copied = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (!isSingleUnitEmoji(u))
            continue;
        if (u >= 0xE000 && u <= 0xE537) {
            // No picture is named after these units: one with a known
            // standard emoji becomes it (the pair pass below shows it), any
            // other stays as it was written.
            const char32_t standard = standardEmojiOf(u);
            if (!standard)
                continue;
            pass1.append(QStringView(text).mid(copied, i - copied));
            pass1.append(QString::fromUcs4(&standard, 1));
            copied = i + 1;
            continue;
        }
        pass1.append(QStringView(text).mid(copied, i - copied));
        pass1.append(handler(ctx, hexCode(u)));
        copied = i + 1;
    }
    if (copied == 0)
        pass1 = text;
    else
        pass1.append(QStringView(text).mid(copied));

    // Pass 2: surrogate pairs of the emoji planes. A high surrogate is taken
    // only together with a low surrogate, so that a damaged text never loses the
    // character after a stray high unit.
    QString out;
    out.reserve(pass1.size());
    copied = 0;
    for (qsizetype i = 0; i + 1 < pass1.size(); ++i) {
        const char16_t hi = pass1.at(i).unicode();
        if (hi != 0xD83C && hi != 0xD83D)
            continue;
        const char16_t lo = pass1.at(i + 1).unicode();
        if (lo < 0xDC00 || lo > 0xDFFF)
            continue;
        const uint code = (uint(hi) - 0xD800) * 0x400 + (uint(lo) - 0xDC00) + 0x10000;
        out.append(QStringView(pass1).mid(copied, i - copied));
        out.append(handler(ctx, hexCode(code)));
        copied = i + 2;
        ++i;
    }
    if (copied == 0)
        return pass1;
    out.append(QStringView(pass1).mid(copied));
    return out;
}

QString viber_emoji_plain_replace_handler(void*, const QString&)
{
    return QStringLiteral("[EMOJI]");
}

const QHash<QString, int>& viber_emojicode_set()
{
    static const QHash<QString, int> table = [] {
        struct Entry {
            const char* token;
            int code;
        };
        static const Entry entries[] = {
            {"(!)", 0}, {"($)", 1}, {"(airplane)", 2}, {"(angel)", 3}, {"(angry)", 4},
            {"(baseball)", 5}, {"(basketball)", 6}, {"(beer)", 7}, {"(burger)", 8}, {"(car)", 9},
            {"(cat)", 10}, {"(christmas_tree)", 11}, {"(cigarette)", 12}, {"(cloud)", 13},
            {"(coffee)", 14}, {"(confused)", 15}, {"(console)", 16}, {"(cool)", 17}, {"(crazy)", 18},
            {"(cry)", 19}, {"(cupcake)", 20}, {"(devil)", 21}, {"(dog)", 22}, {"(fire)", 23},
            {"(flirt)", 24}, {"(flower)", 25}, {"(football)", 26}, {"(happy)", 27}, {"(heart)", 28},
            {"(heart_break)", 29}, {"(ice_cream)", 30}, {"(inlove)", 31}, {"(kiss)", 32},
            {"(laugh)", 33}, {"(light_bulb)", 34}, {"(like)", 35}, {"(mad)", 36}, {"(moa)", 37},
            {"(money)", 38}, {"(moon)", 39}, {"(music)", 40}, {"(nerd)", 41}, {"(not_sure)", 42},
            {"(phone)", 43}, {"(pig)", 44}, {"(pizza)", 45}, {"(poo)", 46}, {"(popcorn)", 47},
            {"(purple_heart)", 48}, {"(Q)", 49}, {"(rain)", 50}, {"(relax)", 51}, {"(run)", 52},
            {"(sad)", 53}, {"(shy)", 54}, {"(sick)", 55}, {"(skull)", 56}, {"(smiley)", 58},
            {"(soccer)", 59}, {"(soda)", 60}, {"(sun)", 61}, {"(surprised)", 62}, {"(tape)", 63},
            {"(teeth)", 64}, {"(time)", 65}, {"(tongue)", 66}, {"(TV)", 67}, {"(unlike)", 68},
            {"(V)", 69}, {"(wine)", 70}, {"(wink)", 71}, {"(yummi)", 72}, {"(zzz)", 73},
            {"(depressed)", 107}, {"(scream)", 108}, {"(monkey)", 109}, {"(chick)", 110},
            {"(koala)", 111}, {"(kangaroo)", 112}, {"(ladybug)", 113}, {"(panda)", 114},
            {"(sheep)", 115}, {"(clap)", 116}, {"(bicycle)", 117}, {"(cards)", 118},
        };
        QHash<QString, int> t;
        for (const Entry& e : entries)
            t.insert(QString::fromLatin1(e.token), e.code);
        return t;
    }();
    return table;
}

bool viber_find_paren_token(const QString& text, qsizetype from, qsizetype& start, qsizetype& length)
{
    const qsizetype n = text.size();
    qsizetype i = qMax<qsizetype>(from, 0);
    while (i < n) {
        if (text.at(i) != u'(') {
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        while (j < n && text.at(j) != u'(' && text.at(j) != u')')
            ++j;
        if (j >= n)
            return false; // no closing parenthesis anywhere after this point
        if (text.at(j) == u')' && j > i + 1) {
            start = i;
            length = j - i + 1;
            return true;
        }
        // "()" or a nested "(": the next candidate can only start at j or later.
        i = (text.at(j) == u'(') ? j : j + 1;
    }
    return false;
}

QByteArray viber_emoji_ranges(const QString& text)
{
    const QHash<QString, int>& table = viber_emojicode_set();
    QByteArray out;
    qsizetype pos = 0, start = 0, length = 0;
    while (viber_find_paren_token(text, pos, start, length)) {
        const auto it = table.constFind(text.mid(start, length));
        if (it != table.cend()) {
            uchar b[12];
            qToLittleEndian<qint32>(qint32(start), b);
            qToLittleEndian<qint32>(qint32(length), b + 4);
            qToLittleEndian<qint32>(qint32(it.value()), b + 8);
            out.append(reinterpret_cast<const char*>(b), 12);
        }
        pos = start + length;
    }
    return out;
}

namespace {
// Viber's emoticons by the emoji that looks most like each picture. Kept
// beside the code table above: every token there has one.
const QHash<QString, QString>& emoticonEmojiTable()
{
    static const QHash<QString, QString> table = [] {
        struct Entry {
            const char* token;
            char32_t cp;
            bool variation; // needs U+FE0F to be drawn as an emoji, not as a text symbol
        };
        static const Entry entries[] = {
            {"(!)", 0x2757, false}, {"($)", 0x1F4B2, false}, {"(airplane)", 0x2708, true},
            {"(angel)", 0x1F607, false}, {"(angry)", 0x1F620, false}, {"(baseball)", 0x26BE, false},
            {"(basketball)", 0x1F3C0, false}, {"(beer)", 0x1F37A, false}, {"(burger)", 0x1F354, false},
            {"(car)", 0x1F697, false}, {"(cat)", 0x1F431, false}, {"(christmas_tree)", 0x1F384, false},
            {"(cigarette)", 0x1F6AC, false}, {"(cloud)", 0x2601, true}, {"(coffee)", 0x2615, false},
            {"(confused)", 0x1F615, false}, {"(console)", 0x1F3AE, false}, {"(cool)", 0x1F60E, false},
            {"(crazy)", 0x1F92A, false}, {"(cry)", 0x1F622, false}, {"(cupcake)", 0x1F9C1, false},
            {"(devil)", 0x1F608, false}, {"(dog)", 0x1F436, false}, {"(fire)", 0x1F525, false},
            {"(flirt)", 0x1F60F, false}, {"(flower)", 0x1F338, false}, {"(football)", 0x1F3C8, false},
            {"(happy)", 0x1F60A, false}, {"(heart)", 0x2764, true}, {"(heart_break)", 0x1F494, false},
            {"(ice_cream)", 0x1F366, false}, {"(inlove)", 0x1F60D, false}, {"(kiss)", 0x1F618, false},
            {"(laugh)", 0x1F602, false}, {"(light_bulb)", 0x1F4A1, false}, {"(like)", 0x1F44D, false},
            {"(mad)", 0x1F621, false}, {"(moa)", 0x1F617, false}, {"(money)", 0x1F4B0, false},
            {"(moon)", 0x1F319, false}, {"(music)", 0x1F3B5, false}, {"(nerd)", 0x1F913, false},
            {"(not_sure)", 0x1F914, false}, {"(phone)", 0x1F4F1, false}, {"(pig)", 0x1F437, false},
            {"(pizza)", 0x1F355, false}, {"(poo)", 0x1F4A9, false}, {"(popcorn)", 0x1F37F, false},
            {"(purple_heart)", 0x1F49C, false}, {"(Q)", 0x2753, false}, {"(rain)", 0x1F327, true},
            {"(relax)", 0x1F60C, false}, {"(run)", 0x1F3C3, false}, {"(sad)", 0x1F61E, false},
            {"(shy)", 0x1F633, false}, {"(sick)", 0x1F912, false}, {"(skull)", 0x1F480, false},
            {"(smiley)", 0x1F603, false}, {"(soccer)", 0x26BD, false}, {"(soda)", 0x1F964, false},
            {"(sun)", 0x2600, true}, {"(surprised)", 0x1F62E, false}, {"(tape)", 0x1F910, false},
            {"(teeth)", 0x1F601, false}, {"(time)", 0x23F0, false}, {"(tongue)", 0x1F61B, false},
            {"(TV)", 0x1F4FA, false}, {"(unlike)", 0x1F44E, false}, {"(V)", 0x270C, true},
            {"(wine)", 0x1F377, false}, {"(wink)", 0x1F609, false}, {"(yummi)", 0x1F60B, false},
            {"(zzz)", 0x1F634, false}, {"(depressed)", 0x1F614, false}, {"(scream)", 0x1F631, false},
            {"(monkey)", 0x1F435, false}, {"(chick)", 0x1F424, false}, {"(koala)", 0x1F428, false},
            {"(kangaroo)", 0x1F998, false}, {"(ladybug)", 0x1F41E, false}, {"(panda)", 0x1F43C, false},
            {"(sheep)", 0x1F411, false}, {"(clap)", 0x1F44F, false}, {"(bicycle)", 0x1F6B2, false},
            {"(cards)", 0x1F0CF, false},
        };
        QHash<QString, QString> t;
        for (const Entry& e : entries) {
            QString s = QString::fromUcs4(&e.cp, 1);
            if (e.variation)
                s += QChar(0xFE0F);
            t.insert(QString::fromLatin1(e.token), s);
        }
        return t;
    }();
    return table;
}

QString sameEmoji(void*, const QString& code)
{
    const char32_t cp = code.toUInt(nullptr, 16);
    return QString::fromUcs4(&cp, 1);
}
} // namespace

QString viber_emoticon_emoji(const QString& token)
{
    return emoticonEmojiTable().value(token);
}

QString viber_readable_text(const QString& text)
{
    // The scanner's first pass turns the old private-use units into standard
    // emoji; handing every emoji back unchanged keeps the rest as written.
    const QString normalized = emoji_replace(text, sameEmoji, nullptr);
    if (!normalized.contains(u'('))
        return normalized;
    const QHash<QString, QString>& table = emoticonEmojiTable();
    QString out;
    qsizetype pos = 0, start = 0, length = 0;
    while (viber_find_paren_token(normalized, pos, start, length)) {
        out.append(QStringView(normalized).mid(pos, start - pos));
        const auto it = table.constFind(normalized.mid(start, length));
        if (it != table.cend())
            out.append(it.value());
        else
            out.append(QStringView(normalized).mid(start, length));
        pos = start + length;
    }
    out.append(QStringView(normalized).mid(pos));
    return out;
}
