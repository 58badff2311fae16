#include "render/BubblePainter.h"

#include "render/BubblePainterArt.h"
#include "render/BubbleResources.h"
#include "render/EmojiPictures.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {
const BubbleMetrics kMetrics[3] = {
    {{10, 13, 9, 15}, {7, 7, 6, 9}, QSize(80, 20)},
    {{13, 16, 13, 16}, {7, 10, 8, 14}, QSize(150, 16)},
    {{13, 16, 13, 16}, {7, 14, 8, 10}, QSize(150, 16)},
};

// Gap between the name or time line and the body.
constexpr int kLineGap = 6;
// Bubble images are capped so that no message can demand a huge allocation;
// the printer splits longer texts before they get here.
constexpr int kMaxBubbleHeight = 8000;
// Decoded pictures are refused beyond this many pixels (about 128 MB);
// formats that shrink while decoding (JPEG) may be larger on disk.
constexpr qint64 kMaxDecodedPixels = 32LL * 1024 * 1024;
constexpr qint64 kMaxScaledSourcePixels = 128LL * 1024 * 1024;
// 96 dots per inch, the resolution the printer lays out in.
constexpr int kDotsPerMeter = 3780;

// Text is measured on a device of the same resolution it is painted on, so
// that the screen's DPI cannot change the layout.
const QPaintDevice* metricsDevice()
{
    static const QImage dev = [] {
        QImage img(1, 1, QImage::Format_ARGB32_Premultiplied);
        img.setDotsPerMeterX(kDotsPerMeter);
        img.setDotsPerMeterY(kDotsPerMeter);
        return img;
    }();
    return &dev;
}

QImage newCanvas(const QSize& size)
{
    QImage img(size * kBubbleRenderScale, QImage::Format_ARGB32_Premultiplied);
    if (img.isNull())
        return img;
    img.setDotsPerMeterX(kDotsPerMeter);
    img.setDotsPerMeterY(kDotsPerMeter);
    img.setDevicePixelRatio(kBubbleRenderScale);
    img.fill(BubbleColor::background());
    return img;
}

QSizeF lineSize(const QString& s, const QFont& font)
{
    if (s.isEmpty())
        return QSizeF(0, 0);
    const QFontMetricsF fm(font, metricsDevice());
    return QSizeF(fm.horizontalAdvance(s), fm.height());
}

// Text is laid out in pieces of at most this many characters: the line
// breaker scans a word to its end for every line it breaks inside it, so one
// endless "word" of a million characters would take minutes as a whole.
constexpr qsizetype kLayoutChunk = 10000;

// Where the piece of text that begins at start ends: kLayoutChunk characters
// on, moved back to just after a space near there, else to the start of a
// character (never inside a surrogate pair or a combining sequence).
qsizetype layoutChunkEnd(const QString& s, qsizetype start)
{
    const qsizetype limit = start + kLayoutChunk;
    if (limit >= s.size())
        return s.size();
    for (qsizetype i = limit; i > limit - kLayoutChunk / 8; --i) {
        // Before a line separator the next piece would begin with an empty line.
        if ((s.at(i - 1) == u' ' || s.at(i - 1) == QChar::LineSeparator) && s.at(i) != QChar::LineSeparator)
            return i;
    }
    constexpr qsizetype kWindow = 64;
    const qsizetype from = limit - kWindow;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, s.constData() + from,
                                  qMin(2 * kWindow, s.size() - from));
    graphemes.setPosition(kWindow);
    if (!graphemes.isAtBoundary())
        graphemes.toPreviousBoundary();
    // A cluster longer than the window (piled-up combining marks) is cut,
    // but never inside a surrogate pair.
    qsizetype at = graphemes.position() > 0 ? from + graphemes.position() : limit;
    while (at > start + 1 && s.at(at).isLowSurrogate())
        --at;
    return at;
}

// Text wrapped at word boundaries, or anywhere inside a word too long for a
// line. Layout stops once maxHeight is passed: nothing below is drawn.
class WrappedText
{
public:
    WrappedText(const QString& text, const QFont& font, qreal width,
                qreal maxHeight = std::numeric_limits<qreal>::max())
        : m_text(normalized(text)), m_emoji(g_findEmoji(m_text))
    {
        QTextOption opt;
        opt.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        qsizetype start = 0;
        qsizetype nextEmoji = 0;
        do {
            const qsizetype end = layoutChunkEnd(m_text, start);
            const size_t firstLine = m_lines.size();
            auto layout = std::make_unique<QTextLayout>(m_text.mid(start, end - start), font, metricsDevice());
            layout->setTextOption(opt);
            layout->setCacheEnabled(true);
            // Emoji keep their place and width in the line but are not drawn
            // as glyphs: pictures are painted over them (see draw()).
            QList<QTextLayout::FormatRange> hidden;
            for (; nextEmoji < m_emoji.size() && m_emoji[nextEmoji].start < end; ++nextEmoji) {
                QTextLayout::FormatRange r;
                r.start = int(m_emoji[nextEmoji].start - start);
                r.length = int(qMin(m_emoji[nextEmoji].length, end - m_emoji[nextEmoji].start));
                r.format.setForeground(Qt::transparent);
                hidden.append(r);
            }
            if (!hidden.isEmpty())
                layout->setFormats(hidden);
            layout->beginLayout();
            for (;;) {
                QTextLine line = layout->createLine();
                if (!line.isValid())
                    break;
                line.setLineWidth(width);
                line.setPosition(QPointF(0, m_height));
                m_lines.push_back({line, start});
                m_height += line.height();
                m_width = qMax(m_width, line.naturalTextWidth());
            }
            layout->endLayout();
            // A text that ends with a line break gets an empty last line. A
            // page's piece of a longer text often does, and the line would
            // push the bubble past the page it was measured for; inside the
            // text it would add a blank line where a piece ends.
            if (end > start && m_lines.size() > firstLine + 1 && m_text.at(end - 1) == QChar::LineSeparator &&
                m_lines.back().line.textLength() == 0) {
                m_height -= m_lines.back().line.height();
                m_lines.pop_back();
            }
            m_layouts.push_back(std::move(layout));
            start = end;
        } while (start < m_text.size() && m_height <= maxHeight);
    }

    const QString& text() const { return m_text; }
    qreal width() const { return m_width; }
    qreal height() const { return m_height; }
    int lineCount() const { return int(m_lines.size()); }
    qreal lineHeight(int i) const { return m_lines[size_t(i)].line.height(); }
    // Where line i begins in text().
    qsizetype lineStart(int i) const { return m_lines[size_t(i)].offset + m_lines[size_t(i)].line.textStart(); }

    // Draws the lines whose bottom lies above maxHeight; centred lines when asked.
    void draw(QPainter& p, const QPointF& at, bool centred, qreal maxHeight) const
    {
        qsizetype nextEmoji = 0;
        for (const Line& entry : m_lines) {
            const QTextLine& l = entry.line;
            if (l.y() + l.height() > maxHeight + 0.5)
                break;
            const qreal dx = centred ? (m_width - l.naturalTextWidth()) / 2 : 0;
            l.draw(&p, at + QPointF(dx, 0));
            nextEmoji = drawEmoji(p, entry, at + QPointF(dx, 0), nextEmoji);
        }
    }

    qsizetype emojiCount() const { return m_emoji.size(); }

private:
    static QString normalized(QString s)
    {
        s.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
        s.replace(QLatin1Char('\n'), QChar::LineSeparator);
        s.replace(QLatin1Char('\r'), QChar::LineSeparator);
        return s;
    }

    struct Line
    {
        QTextLine line;
        qsizetype offset; // of its piece in m_text
    };

    // Paints the pictures of the emoji on one line, from the emoji `from` on;
    // returns the first emoji after the line.
    qsizetype drawEmoji(QPainter& p, const Line& entry, const QPointF& at, qsizetype from) const
    {
        const QTextLine& l = entry.line;
        const qsizetype lineStart = entry.offset + l.textStart();
        const qsizetype lineEnd = lineStart + l.textLength();
        while (from < m_emoji.size() && m_emoji[from].start < lineStart)
            ++from;
        for (; from < m_emoji.size() && m_emoji[from].start < lineEnd; ++from) {
            const EmojiSpan& e = m_emoji[from];
            const qreal x0 = l.cursorToX(int(e.start - entry.offset));
            const qreal x1 = l.cursorToX(int(e.start + e.length - entry.offset));
            const qreal side = qMin(l.height(), qMax<qreal>(x1 - x0, l.height() * 0.8));
            const QImage picture = g_emojiPicture(m_text.mid(e.start, e.length), qMax(1, int(std::ceil(side))));
            if (picture.isNull())
                continue;
            const QPointF topLeft(at.x() + (x0 + x1 - side) / 2, at.y() + l.y() + (l.height() - side) / 2);
            p.drawImage(QRectF(topLeft, QSizeF(side, side)), picture);
        }
        return from;
    }

    QString m_text;
    QList<EmojiSpan> m_emoji;
    std::vector<std::unique_ptr<QTextLayout>> m_layouts;
    std::vector<Line> m_lines;
    qreal m_width = 0;
    qreal m_height = 0;
};

QFont appFontAt(int points)
{
    QFont f = QGuiApplication::font();
    f.setPointSize(points);
    return f;
}

const QFont& bubbleFont(int type)
{
    static const QFont center = centerTextFont();
    static const QFont msg = msgTextFont();
    return type == BUBBLE_CENTER ? center : msg;
}

// Extra height and minimum width that a name above and a time below add.
struct Decorations
{
    QSizeF name;
    QSizeF time;
    qreal above() const { return name.isEmpty() ? 0 : std::ceil(name.height()) + kLineGap; }
    qreal below() const { return time.isEmpty() ? 0 : std::ceil(time.height()) + kLineGap; }
};

Decorations decorations(const QString& time, const QString& name)
{
    return {lineSize(name, msgTextFont()), lineSize(time, timeTextFont())};
}

// Frame, name and time of a bubble whose body is drawn by the caller.
void paintFrame(QPainter& p, const QSize& size, const BubbleMetrics& m, int type, const QString& time,
                const QString& name, const QColor& nameColor, const Decorations& d)
{
    print_bubble(p, QRect(QPoint(0, 0), size), g_bubbleNine(type), m.border);
    const qreal innerW = size.width() - m.padding[1] - m.padding[3];
    if (!name.isEmpty()) {
        p.setFont(msgTextFont());
        p.setPen(nameColor);
        const QFontMetricsF fm(msgTextFont(), metricsDevice());
        p.drawText(QRectF(m.padding[3], m.padding[0], innerW, d.name.height()), Qt::AlignLeft | Qt::AlignTop,
                   fm.elidedText(name, Qt::ElideRight, innerW));
    }
    if (!time.isEmpty()) {
        p.setFont(timeTextFont());
        p.setPen(BubbleColor::time());
        p.drawText(QRectF(m.padding[3], size.height() - m.padding[2] - d.time.height(), innerW, d.time.height()),
                   Qt::AlignRight | Qt::AlignBottom, time);
    }
}

qreal availableTextWidth(int width, const BubbleMetrics& m)
{
    return width - m.padding[1] - m.padding[3];
}

QSize fitInside(const QSize& src, int maxSide)
{
    if (src.width() >= src.height() && src.width() > maxSide)
        return QSize(maxSide, qMax(1, int(qint64(src.height()) * maxSide / src.width())));
    if (src.height() > src.width() && src.height() > maxSide)
        return QSize(qMax(1, int(qint64(src.width()) * maxSide / src.height())), maxSide);
    return src;
}

QImage readBounded(const QString& path, const char* format, int maxSide)
{
    QImageReader reader(path, format);
    reader.setAutoDetectImageFormat(format == nullptr);
    if (!reader.canRead())
        return {};
    const QSize src = reader.size();
    if (!src.isValid() || src.isEmpty())
        return {};
    const bool shrinksWhileDecoding = reader.supportsOption(QImageIOHandler::ScaledSize);
    const qint64 pixels = qint64(src.width()) * src.height();
    if (pixels > (shrinksWhileDecoding ? kMaxScaledSourcePixels : kMaxDecodedPixels))
        return {};
    const QSize target = fitInside(src, maxSide);
    if (shrinksWhileDecoding && target != src)
        reader.setScaledSize(target);
    QImage img = reader.read();
    if (img.isNull())
        return {};
    if (img.size() != target)
        img = img.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return img;
}
} // namespace

const BubbleMetrics* g_bubbleMetrics(int type)
{
    return type >= 0 && type < 3 ? &kMetrics[type] : nullptr;
}

QString g_bubbleImageStem(int type)
{
    switch (type) {
    case BUBBLE_CENTER:
        return QStringLiteral("r");
    case BUBBLE_RECEIVED:
        return QStringLiteral("bb1");
    case BUBBLE_OWN:
        return QStringLiteral("bb2");
    default:
        return QString();
    }
}

const QImage* g_bubbleNine(int type)
{
    if (!g_bubbleMetrics(type))
        return nullptr;
    // Function-local statics are initialised once even when several threads
    // print at the same time.
    static const std::array<std::array<QImage, 9>, 3> sets = [] {
        std::array<std::array<QImage, 9>, 3> all;
        const QString dir = g_bubbleSrcDir() + QStringLiteral("/vbbb/");
        for (int t = 0; t < 3; ++t) {
            const QList<QImage> drawn = g_drawBubbleNine(t);
            const BubbleMetrics& m = kMetrics[t];
            for (int i = 0; i < 9; ++i) {
                QImage img;
                const QString file = dir + QStringLiteral("%1_%2.png").arg(g_bubbleImageStem(t)).arg(i + 1, 2, 10, QLatin1Char('0'));
                // Pieces are small; anything large is not ours and is not trusted.
                const QImage loaded = readBounded(file, "png", 4 * (m.border[1] + m.border[3] + m.border[0] + m.border[2]));
                all[t][i] = loaded.isNull() ? drawn.value(i) : loaded;
            }
        }
        return all;
    }();
    return sets[type].data();
}

QFont msgTextFont()
{
    return appFontAt(12);
}

QFont timeTextFont()
{
    return appFontAt(10);
}

QFont centerTextFont()
{
    return appFontAt(10);
}

QSize bubbleSize(const QImage& bubble)
{
    return bubble.deviceIndependentSize().toSize();
}

struct BubbleLayout::Body
{
    int type = 0;
    const BubbleMetrics* metrics = nullptr;
    QString time, name;
    QColor nameColor;
    Decorations decorations;
    // Text body
    std::unique_ptr<WrappedText> text;
    qreal textHeight = 0;
    // Picture body
    QImage picture;
    QSize pictureSize;
};

namespace {
// The bubble around a body of bodySize: paddings, the style's minimum, room
// for the name above (widening up to maxNameWidth) and the time below.
QSize bubbleFrameSize(const QSizeF& bodySize, const BubbleLayout::Body& b, qreal maxNameWidth)
{
    const BubbleMetrics& m = *b.metrics;
    const Decorations& d = b.decorations;
    const int padX = m.padding[1] + m.padding[3];
    qreal w = qMax<qreal>(std::ceil(bodySize.width()) + padX, m.minSize.width());
    qreal h = qMax<qreal>(std::ceil(bodySize.height()) + m.padding[0] + m.padding[2], m.minSize.height());
    if (!b.time.isEmpty())
        w = qMax<qreal>(w, std::ceil(d.time.width()) + padX);
    if (!b.name.isEmpty())
        w = qMax<qreal>(w, qMin<qreal>(std::ceil(d.name.width()) + padX, maxNameWidth));
    h += d.above() + d.below();
    return QSize{int(w), int(h)};
}

std::shared_ptr<BubbleLayout::Body> newBody(int type, const QString& time, const QString& name,
                                            const QColor& nameColor)
{
    auto b = std::make_shared<BubbleLayout::Body>();
    b->type = type;
    b->metrics = g_bubbleMetrics(type);
    b->time = time;
    b->name = name;
    b->nameColor = nameColor;
    b->decorations = decorations(time, name);
    return b;
}
} // namespace

BubbleLayout BubbleLayout::forText(const QString& text, int width, int type, const QString& time,
                                   const QString& name, const QColor& nameColor)
{
    BubbleLayout layout;
    const BubbleMetrics* m = g_bubbleMetrics(type);
    if (!m)
        return layout;
    const qreal avail = availableTextWidth(width, *m);
    if (avail < 1)
        return layout;
    auto b = newBody(type, time, name, nameColor);
    b->text = std::make_unique<WrappedText>(text, bubbleFont(type), avail, kMaxBubbleHeight);
    b->textHeight = qMin<qreal>(b->text->height(), kMaxBubbleHeight);
    layout.m_size = bubbleFrameSize(QSizeF(b->text->width(), b->textHeight), *b, width);
    layout.m_body = std::move(b);
    return layout;
}

BubbleLayout BubbleLayout::forPicture(const QImage& picture, int type, const QString& time, const QString& name,
                                      const QColor& nameColor)
{
    BubbleLayout layout;
    const BubbleMetrics* m = g_bubbleMetrics(type);
    if (!m)
        return layout;
    auto b = newBody(type, time, name, nameColor);
    b->picture = picture;
    b->pictureSize =
        picture.deviceIndependentSize().toSize().boundedTo(QSize(kMaxBubbleHeight, kMaxBubbleHeight));
    // The name never widens a picture bubble; it is shortened instead.
    const int frameWidth = qMax(b->pictureSize.width() + m->padding[1] + m->padding[3], m->minSize.width());
    layout.m_size = bubbleFrameSize(QSizeF(b->pictureSize), *b, frameWidth);
    layout.m_body = std::move(b);
    return layout;
}

void BubbleLayout::paint(QPainter& p, const QPoint& at) const
{
    if (!m_body)
        return;
    const Body& b = *m_body;
    p.save();
    p.translate(at);
    paintFrame(p, m_size, *b.metrics, b.type, b.time, b.name, b.nameColor, b.decorations);
    const QPointF body(b.metrics->padding[3], b.metrics->padding[0] + b.decorations.above());
    if (b.text) {
        p.setPen(BubbleColor::text());
        b.text->draw(p, body, b.type == BUBBLE_CENTER, b.textHeight);
    } else {
        p.drawImage(QRectF(body, QSizeF(b.pictureSize)), b.picture);
    }
    p.restore();
}

QImage BubbleLayout::toImage() const
{
    if (!m_body)
        return {};
    QImage img = newCanvas(m_size);
    if (img.isNull())
        return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    paint(p, QPoint(0, 0));
    return img;
}

QImage text_bubble(const QString& text, int width, int type, const QString& time, const QString& name,
                   const QColor& nameColor)
{
    return BubbleLayout::forText(text, width, type, time, name, nameColor).toImage();
}

QStringList split_text_bubble(const QString& text, int width, int type, const QString& time, const QString& name,
                              int maxHeight)
{
    const BubbleMetrics* m = g_bubbleMetrics(type);
    const qreal avail = m ? availableTextWidth(width, *m) : 0;
    if (!m || avail < 1)
        return {text};
    const WrappedText body(text, bubbleFont(type), avail);
    const Decorations d = decorations(time, name);
    const qreal pads = m->padding[0] + m->padding[2] + d.below() + 1;
    if (body.height() + pads + d.above() <= maxHeight)
        return {text};

    // Every piece keeps room for the time, since any one of them may be last.
    QStringList pieces;
    qsizetype start = 0;
    qreal used = 0;
    qreal room = maxHeight - pads - d.above();
    for (int i = 0; i < body.lineCount(); ++i) {
        const qreal lineH = body.lineHeight(i);
        if (used > 0 && used + lineH > room) {
            const qsizetype lineStart = body.lineStart(i);
            pieces.append(body.text().mid(start, lineStart - start));
            start = lineStart;
            used = 0;
            room = maxHeight - pads;
        }
        used += lineH;
    }
    pieces.append(body.text().mid(start));
    return pieces;
}

QImage picture_bubble(const QImage& picture, int type, const QString& time, const QString& name,
                      const QColor& nameColor)
{
    return BubbleLayout::forPicture(picture, type, time, name, nameColor).toImage();
}

QImage g_loadPrintPicture(const QString& path, int maxSide)
{
    const int side = qBound(1, maxSide, 4096);
    if (!path.isEmpty()) {
        for (const char* format : {"jpeg", "png", static_cast<const char*>(nullptr)}) {
            const QImage img = readBounded(path, format, side);
            if (!img.isNull())
                return img;
        }
    }
    const QImage placeholder = readBounded(g_bubbleSrcDir() + QStringLiteral("/vbbb/empty_photo.jpg"), "jpeg", side);
    if (!placeholder.isNull())
        return placeholder;
    return g_drawEmptyPhoto(fitInside(QSize(128, 128), side));
}

void print_bubble(QPainter& painter, const QRect& r, const QImage* nine, const int* border)
{
    if (!nine || !border || r.isEmpty())
        return;
    const int top = qMin(border[0], r.height()), bottom = qMin(border[2], r.height() - top);
    const int left = qMin(border[3], r.width()), right = qMin(border[1], r.width() - left);
    const int xs[4] = {r.left(), r.left() + left, r.left() + r.width() - right, r.left() + r.width()};
    const int ys[4] = {r.top(), r.top() + top, r.top() + r.height() - bottom, r.top() + r.height()};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QImage& piece = nine[row * 3 + col];
            const QRect target(QPoint(xs[col], ys[row]), QPoint(xs[col + 1] - 1, ys[row + 1] - 1));
            if (!piece.isNull() && !target.isEmpty())
                painter.drawImage(target, piece);
        }
    }
}
