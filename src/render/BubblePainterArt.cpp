#include "render/BubblePainterArt.h"

#include "render/BubblePainter.h"

#include <QPainter>
#include <QPainterPath>

namespace {
// Width of the stretchable middle of the drawn bubble before it is cut.
constexpr int kMiddle = 8;
// How far the tail of a side bubble reaches out beside the body.
constexpr qreal kTail = 6.0;

QColor fillColor(int type)
{
    switch (type) {
    case BUBBLE_CENTER:
        return QColor(240, 247, 250);
    case BUBBLE_RECEIVED:
        return QColor(255, 255, 255);
    default:
        return QColor(233, 224, 250);
    }
}

// The whole bubble (tail on the left for side bubbles) on a small canvas whose
// middle row and column are uniform, so cutting it gives stretchable pieces.
QImage drawWholeBubble(int type, const BubbleMetrics& m)
{
    const int top = m.border[0], right = m.border[1], bottom = m.border[2], left = m.border[3];
    const int w = left + kMiddle + right;
    const int h = top + kMiddle + bottom;
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    const bool side = type != BUBBLE_CENTER;
    const qreal radius = side ? 9.0 : 7.0;
    const QRectF body(side ? kTail : 1.0, 0.5, w - (side ? kTail : 1.0) - 1.0, h - 2.5);
    QPainterPath shape;
    shape.addRoundedRect(body, radius, radius);
    if (side) {
        // A small curved tail at the bottom corner, as chat bubbles have.
        QPainterPath tail;
        tail.moveTo(kTail, body.bottom() - 10);
        tail.quadTo(kTail, body.bottom(), 0.0, body.bottom());
        tail.lineTo(kTail + 8, body.bottom());
        tail.closeSubpath();
        shape = shape.united(tail);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 34));
    p.drawPath(shape.translated(0, 1.2));
    p.setBrush(fillColor(type));
    p.drawPath(shape);
    p.end();
    return type == BUBBLE_OWN ? img.mirrored(true, false) : img;
}
} // namespace

QList<QImage> g_drawBubbleNine(int type)
{
    const BubbleMetrics* m = g_bubbleMetrics(type);
    if (!m)
        return {};
    const QImage whole = drawWholeBubble(type, *m);
    const int xs[4] = {0, m->border[3], m->border[3] + kMiddle, whole.width()};
    const int ys[4] = {0, m->border[0], m->border[0] + kMiddle, whole.height()};
    QList<QImage> pieces;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            pieces.append(whole.copy(xs[col], ys[row], xs[col + 1] - xs[col], ys[row + 1] - ys[row]));
    return pieces;
}

QImage g_drawEmptyPhoto(const QSize& size)
{
    const QSize s = size.isValid() && !size.isEmpty() ? size : QSize(128, 128);
    QImage img(s, QImage::Format_RGB32);
    img.fill(QColor(226, 230, 234));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const qreal w = s.width(), h = s.height();
    // A sun over two hills: the usual sign for "a picture belongs here".
    p.setBrush(QColor(250, 250, 252));
    p.drawEllipse(QPointF(w * 0.7, h * 0.32), w * 0.09, w * 0.09);
    QPainterPath hills;
    hills.moveTo(0, h * 0.82);
    hills.lineTo(w * 0.35, h * 0.45);
    hills.lineTo(w * 0.6, h * 0.7);
    hills.lineTo(w * 0.75, h * 0.56);
    hills.lineTo(w, h * 0.82);
    hills.lineTo(w, h);
    hills.lineTo(0, h);
    hills.closeSubpath();
    p.setBrush(QColor(178, 188, 198));
    p.drawPath(hills);
    return img;
}

QImage g_drawVoiceIcon(int size)
{
    const int s = qBound(8, size, 512);
    QImage img(s, s, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(s / 64.0, s / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(123, 81, 157));
    p.drawEllipse(QRectF(2, 2, 60, 60));
    // A microphone: capsule, holder arc and stand.
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(25, 13, 14, 24), 7, 7);
    QPen pen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(19, 20, 26, 24), 200 * 16, 140 * 16);
    p.drawLine(QPointF(32, 44), QPointF(32, 51));
    p.drawLine(QPointF(25, 51), QPointF(39, 51));
    return img;
}
