#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

class QPainter;
class QRect;

// The three looks of a printed bubble.
enum BubbleType : int {
    BUBBLE_CENTER = 0,   // dates, calls, system messages
    BUBBLE_RECEIVED = 1, // left side
    BUBBLE_OWN = 2,      // right side
};

// Sizes of one bubble style. Quadruples are (top, right, bottom, left).
struct BubbleMetrics
{
    int border[4];
    int padding[4];
    QSize minSize;
};

// Null for an unknown type.
const BubbleMetrics* g_bubbleMetrics(int type);

// The nine pieces of a style in row order (top-left .. bottom-right), read
// from g_bubbleSrcDir()/vbbb once per process; a piece that cannot be read is
// drawn in code instead, so printing never depends on the folder being there.
// Null for an unknown type.
const QImage* g_bubbleNine(int type);

// File name stem of a style's pieces inside vbbb/ ("r", "bb1", "bb2").
QString g_bubbleImageStem(int type);

QFont msgTextFont();
QFont timeTextFont();
QFont centerTextFont();

namespace BubbleColor {
inline QColor background() { return QColor(213, 231, 236); }
inline QColor text() { return QColor(0, 0, 0); }
inline QColor time() { return QColor(141, 141, 141); }
inline QColor name() { return QColor(123, 81, 157); }
inline QColor pageNumber() { return QColor(146, 146, 165); }
} // namespace BubbleColor

// Bubble images are painted at this many device pixels per layout pixel so
// that text stays sharp in a PDF; their layout size is bubbleSize().
constexpr qreal kBubbleRenderScale = 2.0;
QSize bubbleSize(const QImage& bubble);

// A bubble holding text wrapped within `width` (paddings included), with an
// optional sender name above and time below. An unknown type or a width too
// small for the paddings gives a null image.
QImage text_bubble(const QString& text, int width, int type, const QString& time = QString(),
                   const QString& name = QString(), const QColor& nameColor = BubbleColor::name());

// The pieces of `text` whose bubbles (name on the first, time on the last) are
// each at most maxHeight high, cut at line breaks of the wrapped layout. A text
// whose bubble fits comes back whole; a single line higher than maxHeight
// stays one piece.
QStringList split_text_bubble(const QString& text, int width, int type, const QString& time,
                              const QString& name, int maxHeight);

// A bubble around a picture (drawn at its own size) with optional name and time.
QImage picture_bubble(const QImage& picture, int type, const QString& time = QString(),
                      const QString& name = QString(), const QColor& nameColor = BubbleColor::name());

// One bubble laid out once and painted straight onto any painter: on a PDF
// its text stays text (selectable, searchable) and its frame pieces and
// picture are shared images, not a picture of the whole bubble. Sizes are as
// the bubble images above have them.
class BubbleLayout
{
public:
    // Null for an unknown type or a width too small for the paddings.
    static BubbleLayout forText(const QString& text, int width, int type, const QString& time = QString(),
                                const QString& name = QString(), const QColor& nameColor = BubbleColor::name());
    static BubbleLayout forPicture(const QImage& picture, int type, const QString& time = QString(),
                                   const QString& name = QString(), const QColor& nameColor = BubbleColor::name());

    bool isNull() const { return !m_body; }
    QSize size() const { return m_size; }
    // Paints the bubble with its top-left corner at `at`.
    void paint(QPainter& painter, const QPoint& at) const;
    // The bubble as an image (kBubbleRenderScale pixels per layout pixel).
    QImage toImage() const;

    struct Body; // what is inside the frame: wrapped text or a picture

private:
    std::shared_ptr<const Body> m_body;
    QSize m_size;
};

// Reads a picture for printing: JPEG, then PNG, then any readable format;
// shrunk so that its longer side is at most maxSide. A missing, broken or
// absurdly large file gives vbbb/empty_photo.jpg, or a drawn stand-in when that
// is missing too, so the result is never null.
QImage g_loadPrintPicture(const QString& path, int maxSide = 200);

// Nine-slice drawing: corners keep the border sizes, edges stretch along
// their edge, the centre fills the rest. border is (top, right, bottom, left).
void print_bubble(QPainter& painter, const QRect& r, const QImage* nine, const int* border);
