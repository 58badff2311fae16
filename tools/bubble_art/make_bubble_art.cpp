// Draws the pictures that live beside the executables: the bubble pieces of
// vbbb/, the voice and empty-photo icons, one picture per Viber emoticon in
// vb_emoji/ and, when the Noto Color Emoji font is installed, one picture per
// Unicode emoji the application recognises in emoji/.
//
// Usage: make_bubble_art OUTPUT_DIR

#include "EmoticonArt.h"

#include "render/BubblePainter.h"
#include "render/BubblePainterArt.h"
#include "model/EmojiText.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <cstdio>

namespace {
// Pictures are drawn at twice the size the page shows them.
constexpr int kEmojiSize = 40;

bool save(const QImage& img, const QString& path, const char* format = "PNG")
{
    if (img.save(path, format))
        return true;
    std::fprintf(stderr, "make_bubble_art: cannot write %s\n", qPrintable(path));
    return false;
}

bool writeBubbles(const QDir& vbbb)
{
    bool ok = true;
    for (int type : {BUBBLE_CENTER, BUBBLE_RECEIVED, BUBBLE_OWN}) {
        const QList<QImage> pieces = g_drawBubbleNine(type);
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            const QString name = QStringLiteral("%1_%2.png").arg(g_bubbleImageStem(type)).arg(i + 1, 2, 10, QLatin1Char('0'));
            ok = save(pieces[i], vbbb.filePath(name)) && ok;
        }
    }
    ok = save(g_drawVoiceIcon(64), vbbb.filePath(QStringLiteral("voice.png"))) && ok;
    ok = save(g_drawEmptyPhoto(QSize(128, 128)), vbbb.filePath(QStringLiteral("empty_photo.jpg")), "JPEG") && ok;
    return ok;
}

bool writeEmoticons(const QDir& dir)
{
    bool ok = true;
    const QHash<QString, int>& table = viber_emojicode_set();
    for (auto it = table.begin(); it != table.end(); ++it)
        ok = save(drawEmoticon(it.key(), kEmojiSize), dir.filePath(it.key() + QStringLiteral(".png"))) && ok;
    return ok;
}

QString collectCode(void* ctx, const QString& code)
{
    static_cast<QStringList*>(ctx)->append(code);
    return QString();
}

// The code points the emoji scanner turns into pictures, asked of the scanner
// itself so the two lists cannot drift apart.
QList<char32_t> recognisedEmoji()
{
    QList<char32_t> out;
    auto probe = [&out](char32_t cp) {
        QStringList codes;
        emoji_replace(QString::fromUcs4(&cp, 1), collectCode, &codes);
        if (codes.size() == 1)
            out.append(cp);
    };
    for (char32_t cp = 0x2000; cp <= 0x3300; ++cp)
        probe(cp);
    for (char32_t cp = 0x1F000; cp <= 0x1F7FF; ++cp)
        probe(cp);
    return out;
}

int writeEmoji(const QDir& dir)
{
    const QString family = QStringLiteral("Noto Color Emoji");
    if (!QFontDatabase::families().contains(family)) {
        std::printf("make_bubble_art: font \"Noto Color Emoji\" not found (package fonts-noto-color-emoji); "
                    "emoji/ stays empty\n");
        return 0;
    }
    QFont font(family);
    font.setPixelSize(kEmojiSize - 6);
    const QFontMetrics fm(font);
    int written = 0;
    for (char32_t cp : recognisedEmoji()) {
        if (!fm.inFontUcs4(cp))
            continue;
        QImage img(kEmojiSize, kEmojiSize, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        {
            QPainter p(&img);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.setFont(font);
            p.drawText(img.rect(), Qt::AlignCenter, QString::fromUcs4(&cp, 1));
        }
        const QString name = QString::number(uint(cp), 16).toUpper() + QStringLiteral(".png");
        if (save(img, dir.filePath(name)))
            ++written;
    }
    return written;
}
} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_bubble_art OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (const char* sub : {"vbbb", "vb_emoji", "emoji"}) {
        if (!out.mkpath(QString::fromLatin1(sub))) {
            std::fprintf(stderr, "make_bubble_art: cannot create %s/%s\n", argv[1], sub);
            return 1;
        }
    }
    bool ok = writeBubbles(QDir(out.filePath(QStringLiteral("vbbb"))));
    ok = writeEmoticons(QDir(out.filePath(QStringLiteral("vb_emoji")))) && ok;
    const int emoji = writeEmoji(QDir(out.filePath(QStringLiteral("emoji"))));
    std::printf("make_bubble_art: %d emoji pictures\n", emoji);
    return ok ? 0 : 1;
}
