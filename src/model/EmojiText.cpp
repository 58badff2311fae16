#include "model/EmojiText.h"

#include <QtEndian>

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

QString hexCode(uint value)
{
    return QString::number(value, 16).toUpper();
}
} // namespace

QString emoji_replace(const QString& text, QString (*handler)(void* ctx, const QString& code), void* ctx)
{
    // Most texts hold nothing at or above the first emoji unit (U+203C): one
    // quick look spares them both passes.
    bool candidate = false;
    for (QChar c : text) {
        if (c.unicode() >= 0x203C) {
            candidate = true;
            break;
        }
    }
    if (!candidate)
        return text;

    // Pass 1: single-unit symbols.
    QString pass1;
    pass1.reserve(text.size());
    qsizetype copied = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (!isSingleUnitEmoji(u))
            continue;
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
