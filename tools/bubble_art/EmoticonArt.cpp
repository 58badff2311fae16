#include "EmoticonArt.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <functional>

// Every drawing works on a 64 x 64 grid; the painter is scaled to the size.
namespace {
enum Eyes { DOTS, CLOSED, WINK, SHADES, GLASSES, HEARTS, ROUND, SLEEPY, ANGRY };
enum Mouth { SMILE, GRIN, FROWN, FLAT, OPEN, TONGUE, TEETH, ZIGZAG, KISS, TAPE };

struct Face
{
    QColor skin = QColor(255, 204, 77);
    Eyes eyes = DOTS;
    Mouth mouth = SMILE;
    bool tear = false;
    bool blush = false;
    bool halo = false;
    bool horns = false;
};

const QColor kInk(70, 45, 20);

QPen inkPen(qreal w = 3.0, QColor c = kInk)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPainterPath heartPath(const QRectF& r)
{
    QPainterPath p;
    const qreal x = r.x(), y = r.y(), w = r.width(), h = r.height();
    p.moveTo(x + w / 2, y + h);
    p.cubicTo(x - w * 0.1, y + h * 0.55, x + w * 0.05, y - h * 0.15, x + w / 2, y + h * 0.25);
    p.cubicTo(x + w * 0.95, y - h * 0.15, x + w * 1.1, y + h * 0.55, x + w / 2, y + h);
    return p;
}

void drawHeart(QPainter& p, const QRectF& r, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(heartPath(r));
}

void drawEyes(QPainter& p, Eyes eyes)
{
    p.setPen(inkPen());
    p.setBrush(kInk);
    switch (eyes) {
    case DOTS:
        p.drawEllipse(QPointF(23, 26), 3.5, 5);
        p.drawEllipse(QPointF(41, 26), 3.5, 5);
        break;
    case CLOSED:
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(17, 22, 12, 10), 0, 180 * 16);
        p.drawArc(QRectF(35, 22, 12, 10), 0, 180 * 16);
        break;
    case WINK:
        p.drawEllipse(QPointF(23, 26), 3.5, 5);
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(36, 27), QPointF(46, 27));
        break;
    case SHADES:
        p.setBrush(QColor(40, 40, 50));
        p.drawRoundedRect(QRectF(14, 20, 16, 11), 4, 4);
        p.drawRoundedRect(QRectF(34, 20, 16, 11), 4, 4);
        p.drawLine(QPointF(30, 23), QPointF(34, 23));
        break;
    case GLASSES:
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(23, 26), 8, 8);
        p.drawEllipse(QPointF(41, 26), 8, 8);
        p.setBrush(kInk);
        p.drawEllipse(QPointF(23, 27), 2.5, 2.5);
        p.drawEllipse(QPointF(41, 27), 2.5, 2.5);
        break;
    case HEARTS:
        drawHeart(p, QRectF(15, 19, 15, 13), QColor(230, 40, 60));
        drawHeart(p, QRectF(34, 19, 15, 13), QColor(230, 40, 60));
        break;
    case ROUND:
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(23, 25), 7, 8);
        p.drawEllipse(QPointF(41, 25), 7, 8);
        p.setBrush(kInk);
        p.drawEllipse(QPointF(23, 26), 3, 3);
        p.drawEllipse(QPointF(41, 26), 3, 3);
        break;
    case SLEEPY:
        p.drawLine(QPointF(17, 27), QPointF(28, 27));
        p.drawLine(QPointF(36, 27), QPointF(47, 27));
        break;
    case ANGRY:
        p.drawLine(QPointF(16, 18), QPointF(28, 23));
        p.drawLine(QPointF(48, 18), QPointF(36, 23));
        p.drawEllipse(QPointF(24, 28), 3, 3.5);
        p.drawEllipse(QPointF(40, 28), 3, 3.5);
        break;
    }
}

void drawMouth(QPainter& p, Mouth mouth)
{
    p.setPen(inkPen());
    p.setBrush(Qt::NoBrush);
    switch (mouth) {
    case SMILE:
        p.drawArc(QRectF(19, 30, 26, 18), 200 * 16, 140 * 16);
        break;
    case GRIN: {
        QPainterPath m;
        m.moveTo(17, 37);
        m.quadTo(32, 60, 47, 37);
        m.closeSubpath();
        p.setBrush(QColor(150, 40, 40));
        p.drawPath(m);
        break;
    }
    case FROWN:
        p.drawArc(QRectF(21, 40, 22, 14), 20 * 16, 140 * 16);
        break;
    case FLAT:
        p.drawLine(QPointF(23, 44), QPointF(41, 44));
        break;
    case OPEN:
        p.setBrush(QColor(150, 40, 40));
        p.drawEllipse(QPointF(32, 44), 6, 8);
        break;
    case TONGUE:
        p.drawArc(QRectF(19, 30, 26, 16), 200 * 16, 140 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(235, 90, 110));
        p.drawRoundedRect(QRectF(27, 43, 11, 11), 5, 5);
        break;
    case TEETH:
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(19, 37, 26, 12), 5, 5);
        p.drawLine(QPointF(19, 43), QPointF(45, 43));
        break;
    case ZIGZAG: {
        QPainterPath z;
        z.moveTo(20, 45);
        for (int i = 1; i <= 4; ++i)
            z.lineTo(20 + i * 6, i % 2 ? 41 : 45);
        p.drawPath(z);
        break;
    }
    case KISS:
        p.drawArc(QRectF(28, 38, 8, 6), 270 * 16, 180 * 16);
        p.drawArc(QRectF(28, 44, 8, 6), 270 * 16, 180 * 16);
        break;
    case TAPE:
        p.setPen(inkPen(1.5, QColor(120, 120, 120)));
        p.setBrush(QColor(215, 215, 205));
        p.save();
        p.translate(32, 43);
        p.rotate(-12);
        p.drawRect(QRectF(-15, -5, 30, 10));
        p.restore();
        break;
    }
}

void drawFace(QPainter& p, const Face& f)
{
    if (f.halo) {
        p.setPen(inkPen(3, QColor(250, 200, 40)));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(16, 1, 32, 8));
    }
    if (f.horns) {
        p.setPen(Qt::NoPen);
        p.setBrush(f.skin.darker(130));
        QPainterPath h;
        h.moveTo(12, 16); h.lineTo(8, 2); h.lineTo(24, 10); h.closeSubpath();
        h.moveTo(52, 16); h.lineTo(56, 2); h.lineTo(40, 10); h.closeSubpath();
        p.drawPath(h);
    }
    p.setPen(inkPen(2, f.skin.darker(140)));
    p.setBrush(f.skin);
    p.drawEllipse(QRectF(6, 8, 52, 52).adjusted(0, f.halo ? 2 : 0, 0, 0));
    if (f.blush) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(240, 110, 110, 120));
        p.drawEllipse(QPointF(16, 38), 5, 3);
        p.drawEllipse(QPointF(48, 38), 5, 3);
    }
    drawEyes(p, f.eyes);
    drawMouth(p, f.mouth);
    if (f.tear) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(90, 170, 240));
        QPainterPath t;
        t.moveTo(18, 32);
        t.quadTo(12, 42, 18, 44);
        t.quadTo(24, 42, 18, 32);
        p.drawPath(t);
    }
}

// Animal heads: a face in the animal's colour with ears and a snout.
enum Ears { POINTED, FLOPPY, ROUNDED, NONE };
void drawAnimal(QPainter& p, QColor fur, Ears ears, QColor earColor, std::function<void(QPainter&)> extra = {})
{
    p.setPen(inkPen(2, fur.darker(150)));
    p.setBrush(earColor);
    switch (ears) {
    case POINTED: {
        QPainterPath e;
        e.moveTo(9, 24); e.lineTo(12, 4); e.lineTo(28, 14); e.closeSubpath();
        e.moveTo(55, 24); e.lineTo(52, 4); e.lineTo(36, 14); e.closeSubpath();
        p.drawPath(e);
        break;
    }
    case FLOPPY:
        p.drawEllipse(QRectF(2, 12, 14, 28));
        p.drawEllipse(QRectF(48, 12, 14, 28));
        break;
    case ROUNDED:
        p.drawEllipse(QRectF(4, 6, 18, 18));
        p.drawEllipse(QRectF(42, 6, 18, 18));
        break;
    case NONE:
        break;
    }
    Face f;
    f.skin = fur;
    f.mouth = SMILE;
    drawFace(p, f);
    if (extra)
        extra(p);
}

void drawBall(QPainter& p, QColor c, std::function<void(QPainter&)> lines)
{
    p.setPen(inkPen(2, c.darker(160)));
    p.setBrush(c);
    p.drawEllipse(QRectF(6, 6, 52, 52));
    lines(p);
}

void drawCloud(QPainter& p, QColor c, qreal dy = 0)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QRectF(6, 24 + dy, 24, 20));
    p.drawEllipse(QRectF(18, 12 + dy, 28, 28));
    p.drawEllipse(QRectF(36, 22 + dy, 22, 22));
    p.drawRoundedRect(QRectF(12, 30 + dy, 40, 14), 7, 7);
}

void drawCup(QPainter& p, QColor body, QColor drink, bool handle, bool foam)
{
    p.setPen(inkPen(2, body.darker(160)));
    if (handle) {
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(38, 24, 16, 18));
    }
    p.setBrush(body);
    p.drawRoundedRect(QRectF(14, 16, 30, 40), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(drink);
    p.drawRect(QRectF(17, 22, 24, 31));
    if (foam) {
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(11, 8, 14, 14));
        p.drawEllipse(QRectF(21, 6, 14, 14));
        p.drawEllipse(QRectF(31, 8, 14, 14));
    }
}

void drawBadge(QPainter& p, const QString& token)
{
    const uint h = qHash(token);
    const QColor c = QColor::fromHsv(int(h % 360), 150, 210);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QRectF(4, 4, 56, 56));
    QString label = token.mid(1, token.size() - 2);
    label = label.left(label.size() <= 2 ? 2 : 1).toUpper();
    QFont f = p.font();
    f.setPixelSize(label.size() > 1 ? 24 : 32);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(4, 4, 56, 56), Qt::AlignCenter, label);
}

using Drawer = std::function<void(QPainter&)>;

Drawer face(Face f)
{
    return [f](QPainter& p) { drawFace(p, f); };
}

Face makeFace(Eyes e, Mouth m, QColor skin = QColor(255, 204, 77))
{
    Face f;
    f.eyes = e;
    f.mouth = m;
    f.skin = skin;
    return f;
}

const QHash<QString, Drawer>& drawers()
{
    static const QHash<QString, Drawer> table = [] {
        QHash<QString, Drawer> t;
        const QColor red(220, 50, 50), blue(170, 200, 235), green(170, 215, 120), purple(150, 90, 190);
        t["(smiley)"] = face(makeFace(DOTS, SMILE));
        t["(happy)"] = face(makeFace(CLOSED, SMILE));
        t["(laugh)"] = face(makeFace(CLOSED, GRIN));
        t["(wink)"] = face(makeFace(WINK, SMILE));
        t["(sad)"] = face(makeFace(DOTS, FROWN));
        Face cry = makeFace(DOTS, FROWN);
        cry.tear = true;
        t["(cry)"] = face(cry);
        t["(angry)"] = face(makeFace(ANGRY, FROWN, QColor(240, 120, 80)));
        t["(mad)"] = face(makeFace(ANGRY, FLAT, QColor(225, 80, 70)));
        t["(cool)"] = face(makeFace(SHADES, SMILE));
        t["(crazy)"] = face(makeFace(ROUND, TONGUE));
        t["(confused)"] = face(makeFace(DOTS, ZIGZAG));
        Face devil = makeFace(ANGRY, GRIN, purple);
        devil.horns = true;
        t["(devil)"] = face(devil);
        Face angel = makeFace(CLOSED, SMILE);
        angel.halo = true;
        t["(angel)"] = face(angel);
        Face flirt = makeFace(WINK, SMILE);
        flirt.blush = true;
        t["(flirt)"] = face(flirt);
        t["(inlove)"] = face(makeFace(HEARTS, SMILE));
        Face kiss = makeFace(CLOSED, KISS);
        kiss.blush = true;
        t["(kiss)"] = face(kiss);
        t["(moa)"] = face(makeFace(WINK, KISS));
        t["(nerd)"] = face(makeFace(GLASSES, TEETH));
        t["(not_sure)"] = face(makeFace(DOTS, FLAT));
        Face shy = makeFace(CLOSED, SMILE);
        shy.blush = true;
        t["(shy)"] = face(shy);
        t["(sick)"] = face(makeFace(SLEEPY, FLAT, green));
        t["(surprised)"] = face(makeFace(ROUND, OPEN));
        t["(scream)"] = face(makeFace(ROUND, OPEN, blue));
        t["(teeth)"] = face(makeFace(DOTS, TEETH));
        t["(tongue)"] = face(makeFace(DOTS, TONGUE));
        t["(yummi)"] = face(makeFace(CLOSED, TONGUE));
        t["(relax)"] = face(makeFace(SLEEPY, SMILE));
        t["(depressed)"] = face(makeFace(SLEEPY, FROWN, blue));
        t["(tape)"] = face(makeFace(DOTS, TAPE));
        t["(zzz)"] = [](QPainter& p) {
            drawFace(p, makeFace(SLEEPY, FLAT));
            p.setPen(inkPen(3, QColor(60, 90, 200)));
            QPainterPath z;
            z.moveTo(44, 2); z.lineTo(58, 2); z.lineTo(44, 16); z.lineTo(58, 16);
            p.drawPath(z);
        };

        t["(heart)"] = [red](QPainter& p) { drawHeart(p, QRectF(6, 10, 52, 46), red); };
        t["(purple_heart)"] = [purple](QPainter& p) { drawHeart(p, QRectF(6, 10, 52, 46), purple); };
        t["(heart_break)"] = [red](QPainter& p) {
            drawHeart(p, QRectF(6, 10, 52, 46), red);
            p.setPen(inkPen(3.5, Qt::white));
            p.setBrush(Qt::NoBrush);
            QPainterPath crack;
            crack.moveTo(32, 20); crack.lineTo(27, 31); crack.lineTo(36, 38); crack.lineTo(30, 54);
            p.drawPath(crack);
        };
        t["(sun)"] = [](QPainter& p) {
            p.setPen(inkPen(4, QColor(245, 170, 30)));
            for (int i = 0; i < 8; ++i) {
                p.save();
                p.translate(32, 32);
                p.rotate(i * 45);
                p.drawLine(QPointF(0, 20), QPointF(0, 28));
                p.restore();
            }
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 205, 50));
            p.drawEllipse(QPointF(32, 32), 15, 15);
        };
        t["(moon)"] = [](QPainter& p) {
            QPainterPath moon;
            moon.addEllipse(QRectF(8, 8, 48, 48));
            QPainterPath bite;
            bite.addEllipse(QRectF(22, 2, 44, 44));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(250, 215, 90));
            p.drawPath(moon.subtracted(bite));
        };
        t["(cloud)"] = [](QPainter& p) { drawCloud(p, QColor(200, 215, 230)); };
        t["(rain)"] = [](QPainter& p) {
            drawCloud(p, QColor(150, 170, 195), -8);
            p.setPen(inkPen(3.5, QColor(70, 140, 230)));
            for (int x : {18, 32, 46})
                p.drawLine(QPointF(x, 44), QPointF(x - 4, 56));
        };
        t["(fire)"] = [](QPainter& p) {
            QPainterPath f;
            f.moveTo(32, 4);
            f.cubicTo(44, 20, 56, 30, 50, 46);
            f.cubicTo(46, 60, 18, 60, 14, 46);
            f.cubicTo(10, 32, 24, 26, 32, 4);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(240, 90, 30));
            p.drawPath(f);
            p.setBrush(QColor(255, 200, 50));
            p.drawEllipse(QRectF(23, 36, 18, 20));
        };
        t["(flower)"] = [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(240, 110, 160));
            for (int i = 0; i < 6; ++i) {
                p.save();
                p.translate(32, 32);
                p.rotate(i * 60);
                p.drawEllipse(QRectF(-8, -27, 16, 22));
                p.restore();
            }
            p.setBrush(QColor(255, 210, 60));
            p.drawEllipse(QPointF(32, 32), 8, 8);
        };
        t["(soccer)"] = [](QPainter& p) {
            drawBall(p, Qt::white, [](QPainter& q) {
                q.setPen(Qt::NoPen);
                q.setBrush(QColor(40, 40, 40));
                QPolygonF pent;
                for (int i = 0; i < 5; ++i) {
                    const qreal a = (i * 72 - 90) * 3.14159265 / 180;
                    pent << QPointF(32 + 10 * std::cos(a), 32 + 10 * std::sin(a));
                }
                q.drawPolygon(pent);
            });
        };
        t["(basketball)"] = [](QPainter& p) {
            drawBall(p, QColor(240, 130, 40), [](QPainter& q) {
                q.setPen(inkPen(2, QColor(90, 40, 10)));
                q.setBrush(Qt::NoBrush);
                q.drawLine(QPointF(6, 32), QPointF(58, 32));
                q.drawLine(QPointF(32, 6), QPointF(32, 58));
                q.drawArc(QRectF(-10, 10, 30, 44), -60 * 16, 120 * 16);
                q.drawArc(QRectF(44, 10, 30, 44), 120 * 16, 120 * 16);
            });
        };
        t["(baseball)"] = [](QPainter& p) {
            drawBall(p, QColor(250, 250, 245), [](QPainter& q) {
                q.setPen(inkPen(2.5, QColor(210, 40, 40)));
                q.setBrush(Qt::NoBrush);
                q.drawArc(QRectF(-14, 8, 36, 48), -50 * 16, 100 * 16);
                q.drawArc(QRectF(42, 8, 36, 48), 130 * 16, 100 * 16);
            });
        };
        t["(football)"] = [](QPainter& p) {
            p.setPen(inkPen(2, QColor(90, 50, 20)));
            p.setBrush(QColor(150, 80, 35));
            p.drawEllipse(QRectF(4, 16, 56, 32));
            p.setPen(inkPen(2.5, Qt::white));
            p.drawLine(QPointF(22, 32), QPointF(42, 32));
            for (int x = 25; x <= 39; x += 7)
                p.drawLine(QPointF(x, 28), QPointF(x, 36));
        };
        t["(coffee)"] = [](QPainter& p) { drawCup(p, Qt::white, QColor(110, 65, 30), true, false); };
        t["(beer)"] = [](QPainter& p) { drawCup(p, QColor(230, 235, 240), QColor(245, 180, 40), true, true); };
        t["(soda)"] = [](QPainter& p) { drawCup(p, QColor(220, 40, 50), QColor(235, 70, 70), false, false); };
        t["(wine)"] = [](QPainter& p) {
            p.setPen(inkPen(2.5, QColor(120, 120, 130)));
            p.drawLine(QPointF(32, 36), QPointF(32, 56));
            p.drawLine(QPointF(22, 57), QPointF(42, 57));
            QPainterPath glass;
            glass.moveTo(16, 6);
            glass.lineTo(48, 6);
            glass.cubicTo(50, 30, 40, 38, 32, 38);
            glass.cubicTo(24, 38, 14, 30, 16, 6);
            p.setBrush(QColor(240, 245, 250));
            p.drawPath(glass);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(150, 20, 50));
            p.drawEllipse(QRectF(19, 16, 26, 20));
        };
        t["(!)"] = [red](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(red);
            p.drawEllipse(QRectF(4, 4, 56, 56));
            p.setBrush(Qt::white);
            p.drawRoundedRect(QRectF(28, 13, 8, 26), 4, 4);
            p.drawEllipse(QPointF(32, 48), 4.5, 4.5);
        };
        const Drawer money = [](QPainter& p) {
            p.setPen(inkPen(2, QColor(40, 110, 50)));
            p.setBrush(QColor(120, 200, 110));
            p.drawRoundedRect(QRectF(4, 16, 56, 32), 4, 4);
            p.setBrush(QColor(90, 170, 85));
            p.drawEllipse(QPointF(32, 32), 10, 10);
        };
        t["($)"] = money;
        t["(money)"] = money;
        t["(light_bulb)"] = [](QPainter& p) {
            p.setPen(inkPen(2, QColor(200, 150, 20)));
            p.setBrush(QColor(255, 225, 80));
            p.drawEllipse(QRectF(14, 4, 36, 36));
            p.setBrush(QColor(160, 160, 170));
            p.drawRoundedRect(QRectF(22, 38, 20, 16), 3, 3);
        };
        t["(music)"] = [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(80, 70, 180));
            p.drawEllipse(QRectF(10, 42, 16, 12));
            p.drawEllipse(QRectF(36, 36, 16, 12));
            p.drawRect(QRectF(22, 10, 4, 38));
            p.drawRect(QRectF(48, 4, 4, 38));
            p.drawPolygon(QPolygonF({QPointF(22, 10), QPointF(52, 4), QPointF(52, 12), QPointF(22, 18)}));
        };
        t["(time)"] = [](QPainter& p) {
            p.setPen(inkPen(3, QColor(60, 60, 70)));
            p.setBrush(Qt::white);
            p.drawEllipse(QRectF(6, 6, 52, 52));
            p.drawLine(QPointF(32, 32), QPointF(32, 15));
            p.drawLine(QPointF(32, 32), QPointF(44, 38));
        };
        t["(phone)"] = [](QPainter& p) {
            p.setPen(inkPen(2, QColor(40, 40, 50)));
            p.setBrush(QColor(60, 60, 75));
            p.drawRoundedRect(QRectF(18, 4, 28, 56), 5, 5);
            p.setBrush(QColor(150, 200, 240));
            p.drawRect(QRectF(21, 10, 22, 38));
        };
        t["(TV)"] = [](QPainter& p) {
            p.setPen(inkPen(2.5, QColor(60, 60, 70)));
            p.drawLine(QPointF(24, 4), QPointF(32, 14));
            p.drawLine(QPointF(40, 4), QPointF(32, 14));
            p.setBrush(QColor(60, 60, 75));
            p.drawRoundedRect(QRectF(4, 14, 56, 40), 5, 5);
            p.setBrush(QColor(120, 190, 230));
            p.drawRect(QRectF(10, 19, 44, 30));
        };
        t["(car)"] = [red](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(red);
            p.drawRoundedRect(QRectF(4, 30, 56, 16), 5, 5);
            p.drawRoundedRect(QRectF(14, 18, 32, 18), 6, 6);
            p.setBrush(QColor(170, 215, 245));
            p.drawRect(QRectF(18, 22, 11, 9));
            p.drawRect(QRectF(32, 22, 11, 9));
            p.setBrush(QColor(40, 40, 40));
            p.drawEllipse(QPointF(17, 47), 7, 7);
            p.drawEllipse(QPointF(47, 47), 7, 7);
        };
        t["(christmas_tree)"] = [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(120, 70, 30));
            p.drawRect(QRectF(28, 50, 8, 10));
            p.setBrush(QColor(40, 150, 60));
            p.drawPolygon(QPolygonF({QPointF(32, 4), QPointF(48, 26), QPointF(16, 26)}));
            p.drawPolygon(QPolygonF({QPointF(32, 16), QPointF(54, 50), QPointF(10, 50)}));
            p.setBrush(QColor(250, 210, 40));
            p.drawEllipse(QPointF(32, 6), 4, 4);
        };
        t["(ice_cream)"] = [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(220, 170, 100));
            p.drawPolygon(QPolygonF({QPointF(18, 30), QPointF(46, 30), QPointF(32, 60)}));
            p.setBrush(QColor(250, 180, 200));
            p.drawEllipse(QRectF(14, 6, 36, 30));
        };
        t["(cupcake)"] = [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(90, 160, 220));
            p.drawPolygon(QPolygonF({QPointF(14, 34), QPointF(50, 34), QPointF(44, 58), QPointF(20, 58)}));
            p.setBrush(QColor(250, 180, 200));
            p.drawEllipse(QRectF(10, 12, 44, 28));
            p.setBrush(QColor(220, 40, 60));
            p.drawEllipse(QPointF(32, 10), 5, 5);
        };
        t["(burger)"] = [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(225, 160, 70));
            p.drawChord(QRectF(6, 8, 52, 40), 0, 180 * 16);
            p.setBrush(QColor(90, 170, 60));
            p.drawRect(QRectF(6, 28, 52, 5));
            p.setBrush(QColor(110, 60, 30));
            p.drawRoundedRect(QRectF(6, 33, 52, 9), 4, 4);
            p.setBrush(QColor(225, 160, 70));
            p.drawRoundedRect(QRectF(6, 43, 52, 10), 5, 5);
        };
        t["(pizza)"] = [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(245, 200, 90));
            p.drawPolygon(QPolygonF({QPointF(6, 10), QPointF(58, 10), QPointF(32, 60)}));
            p.setBrush(QColor(200, 130, 60));
            p.drawRect(QRectF(6, 6, 52, 7));
            p.setBrush(QColor(200, 40, 40));
            p.drawEllipse(QPointF(24, 22), 5, 5);
            p.drawEllipse(QPointF(38, 28), 5, 5);
            p.drawEllipse(QPointF(32, 42), 4, 4);
        };
        t["(skull)"] = [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(240, 240, 235));
            p.drawEllipse(QRectF(8, 4, 48, 44));
            p.drawRect(QRectF(20, 40, 24, 16));
            p.setBrush(QColor(40, 40, 40));
            p.drawEllipse(QPointF(23, 28), 7, 7);
            p.drawEllipse(QPointF(41, 28), 7, 7);
            p.drawPolygon(QPolygonF({QPointF(32, 36), QPointF(28, 43), QPointF(36, 43)}));
        };
        t["(poo)"] = [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(130, 85, 50));
            p.drawEllipse(QRectF(6, 38, 52, 20));
            p.drawEllipse(QRectF(12, 24, 40, 20));
            p.drawEllipse(QRectF(20, 10, 24, 18));
            drawEyes(p, DOTS);
        };
        const Drawer thumb = [](QPainter& p) {
            p.setPen(inkPen(2, QColor(180, 120, 40)));
            p.setBrush(QColor(255, 204, 77));
            p.drawRoundedRect(QRectF(22, 4, 12, 30), 6, 6);
            p.drawRoundedRect(QRectF(14, 26, 36, 30), 8, 8);
            p.setBrush(QColor(60, 110, 200));
            p.drawRect(QRectF(4, 28, 10, 28));
        };
        t["(like)"] = thumb;
        t["(unlike)"] = [thumb](QPainter& p) {
            p.translate(0, 64);
            p.scale(1, -1);
            thumb(p);
        };
        t["(cat)"] = [](QPainter& p) { drawAnimal(p, QColor(245, 170, 80), POINTED, QColor(245, 170, 80)); };
        t["(dog)"] = [](QPainter& p) { drawAnimal(p, QColor(225, 190, 140), FLOPPY, QColor(150, 100, 60)); };
        t["(koala)"] = [](QPainter& p) { drawAnimal(p, QColor(175, 180, 190), ROUNDED, QColor(220, 200, 210)); };
        t["(monkey)"] = [](QPainter& p) { drawAnimal(p, QColor(170, 110, 70), ROUNDED, QColor(230, 180, 140)); };
        t["(panda)"] = [](QPainter& p) {
            drawAnimal(p, QColor(250, 250, 250), ROUNDED, QColor(40, 40, 40), [](QPainter& q) {
                q.setPen(Qt::NoPen);
                q.setBrush(QColor(40, 40, 40));
                q.drawEllipse(QPointF(23, 27), 7, 8);
                q.drawEllipse(QPointF(41, 27), 7, 8);
                q.setBrush(Qt::white);
                q.drawEllipse(QPointF(23, 26), 2.5, 2.5);
                q.drawEllipse(QPointF(41, 26), 2.5, 2.5);
            });
        };
        t["(pig)"] = [](QPainter& p) {
            drawAnimal(p, QColor(250, 175, 190), POINTED, QColor(240, 150, 170), [](QPainter& q) {
                q.setPen(inkPen(1.5, QColor(200, 100, 120)));
                q.setBrush(QColor(240, 140, 160));
                q.drawEllipse(QRectF(24, 34, 16, 11));
                q.setBrush(QColor(160, 70, 90));
                q.drawEllipse(QPointF(29, 39.5), 1.5, 2);
                q.drawEllipse(QPointF(35, 39.5), 1.5, 2);
            });
        };
        t["(sheep)"] = [](QPainter& p) { drawAnimal(p, QColor(245, 245, 240), FLOPPY, QColor(90, 90, 90)); };
        t["(kangaroo)"] = [](QPainter& p) { drawAnimal(p, QColor(200, 140, 90), POINTED, QColor(180, 120, 70)); };
        t["(chick)"] = [](QPainter& p) {
            drawAnimal(p, QColor(255, 225, 80), NONE, QColor(), [](QPainter& q) {
                q.setPen(Qt::NoPen);
                q.setBrush(QColor(250, 150, 40));
                q.drawPolygon(QPolygonF({QPointF(26, 36), QPointF(38, 36), QPointF(32, 44)}));
            });
        };
        t["(ladybug)"] = [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(40, 40, 40));
            p.drawEllipse(QRectF(22, 4, 20, 16));
            p.setBrush(QColor(220, 40, 40));
            p.drawEllipse(QRectF(8, 12, 48, 48));
            p.setPen(inkPen(2, QColor(40, 40, 40)));
            p.drawLine(QPointF(32, 14), QPointF(32, 60));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(40, 40, 40));
            for (const QPointF& c : {QPointF(20, 28), QPointF(44, 28), QPointF(22, 46), QPointF(42, 46)})
                p.drawEllipse(c, 4.5, 4.5);
        };
        return t;
    }();
    return table;
}
} // namespace

QImage drawEmoticon(const QString& token, int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    const auto it = drawers().constFind(token);
    if (it != drawers().constEnd())
        (*it)(p);
    else
        drawBadge(p, token);
    return img;
}
