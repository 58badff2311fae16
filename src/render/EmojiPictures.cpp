#include "render/EmojiPictures.h"

#include "model/EmojiText.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QTextBoundaryFinder>

#include <mutex>

namespace {
const QString& emojiFamily()
{
    static const QString family = QStringLiteral("Noto Color Emoji");
    return family;
}

bool emojiFontInstalled()
{
    static const bool installed = QFontDatabase::families().contains(emojiFamily());
    return installed;
}

// Symbols of the first plane that are emoji without a variation selector.
bool defaultEmojiSymbol(char32_t c)
{
    static const char32_t ranges[][2] = {
        {0x231A, 0x231B}, {0x23E9, 0x23EC}, {0x23F0, 0x23F0}, {0x23F3, 0x23F3}, {0x25FD, 0x25FE},
        {0x2614, 0x2615}, {0x2648, 0x2653}, {0x267F, 0x267F}, {0x2693, 0x2693}, {0x26A1, 0x26A1},
        {0x26AA, 0x26AB}, {0x26BD, 0x26BE}, {0x26C4, 0x26C5}, {0x26CE, 0x26CE}, {0x26D4, 0x26D4},
        {0x26EA, 0x26EA}, {0x26F2, 0x26F3}, {0x26F5, 0x26F5}, {0x26FA, 0x26FA}, {0x26FD, 0x26FD},
        {0x2705, 0x2705}, {0x270A, 0x270B}, {0x2728, 0x2728}, {0x274C, 0x274C}, {0x274E, 0x274E},
        {0x2753, 0x2755}, {0x2757, 0x2757}, {0x2795, 0x2797}, {0x27B0, 0x27B0}, {0x27BF, 0x27BF},
        {0x2B1B, 0x2B1C}, {0x2B50, 0x2B50}, {0x2B55, 0x2B55},
    };
    for (const auto& r : ranges) {
        if (c >= r[0] && c <= r[1])
            return true;
    }
    return false;
}
} // namespace

bool g_isEmojiCluster(QStringView cluster)
{
    if (cluster.isEmpty())
        return false;
    const char32_t first = cluster.at(0).isHighSurrogate() && cluster.size() > 1
                               ? QChar::surrogateToUcs4(cluster.at(0), cluster.at(1))
                               : cluster.at(0).unicode();
    if (first >= 0x1F000 && first <= 0x1FAFF)
        return true;
    // A variation selector asking for emoji, or a keycap.
    if (cluster.contains(QChar(0xFE0F)) || cluster.contains(QChar(0x20E3)))
        return first >= 0x20; // never a control character
    return defaultEmojiSymbol(first);
}

QList<EmojiSpan> g_findEmoji(const QString& text)
{
    QList<EmojiSpan> out;
    if (!emojiFontInstalled())
        return out;
    if (!g_mayHoldEmoji(text))
        return out;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = graphemes.toNextBoundary();
        if (end <= start)
            end = text.size();
        if (g_isEmojiCluster(QStringView(text).mid(start, end - start)))
            out.append({start, end - start});
        start = end;
    }
    return out;
}

QImage g_emojiPicture(const QString& cluster, int side, qreal scale)
{
    if (!emojiFontInstalled() || side < 1 || side > 512 || cluster.size() > 64 || !(scale > 0 && scale <= 8))
        return QImage();
    static std::mutex lock;
    static QHash<QString, QImage> known;
    const QString key = cluster + QLatin1Char('/') + QString::number(side) + QLatin1Char('/') + QString::number(scale);
    std::lock_guard<std::mutex> guard(lock);
    const auto it = known.constFind(key);
    if (it != known.cend())
        return it.value();
    const int px = qMax(1, int(side * scale));
    QImage img(px, px, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QFont font(emojiFamily());
        font.setPixelSize(qMax(1, int(px * 0.84)));
        QPainter p(&img);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setFont(font);
        p.drawText(img.rect(), Qt::AlignCenter, cluster);
    }
    img.setDevicePixelRatio(scale);
    if (known.size() > 2048)
        known.clear();
    known.insert(key, img);
    return img;
}
