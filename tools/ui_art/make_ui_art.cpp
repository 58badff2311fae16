// Draws the application's icons and background pictures at build time:
//   make_ui_art OUTDIR NAME...
// NAME is a file name such as "backup.png" or "main_bg.jpg"; "ferrowick@48.png"
// draws an icon at 48 by 48 pixels instead of 128. Icons are white
// glyphs on rounded, gradient-filled tiles, so they read the same on light and
// dark desktops.
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

namespace {
constexpr int kSize = 128;

const QColor kSource(47, 128, 237);   // data sources
const QColor kTransfer(142, 68, 173); // moving messages to a phone
const QColor kOutput(22, 160, 133);   // exports and extraction
const QColor kDanger(231, 76, 60);    // deleting
const QColor kApp(243, 140, 18);      // the application itself, help
const QColor kPeople(93, 109, 126);   // contacts
const QColor kSent(76, 175, 80);
const QColor kReceived(41, 128, 185);

QPen glyphPen(qreal width = 9)
{
    return QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void tile(QPainter& p, const QColor& c)
{
    QLinearGradient g(0, 0, 0, kSize);
    g.setColorAt(0, c.lighter(125));
    g.setColorAt(1, c.darker(115));
    QPainterPath path;
    path.addRoundedRect(QRectF(6, 6, kSize - 12, kSize - 12), 26, 26);
    p.setPen(QPen(c.darker(140), 2));
    p.setBrush(g);
    p.drawPath(path);
    // A soft highlight over the upper half.
    QLinearGradient shine(0, 6, 0, kSize / 2);
    shine.setColorAt(0, QColor(255, 255, 255, 70));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    QPainterPath top;
    top.addRoundedRect(QRectF(9, 9, kSize - 18, kSize / 2 - 6), 22, 22);
    p.drawPath(top);
    p.setPen(glyphPen());
    p.setBrush(Qt::NoBrush);
}

void arrow(QPainter& p, QPointF from, QPointF to, qreal head = 16)
{
    p.drawLine(from, to);
    const qreal a = std::atan2(to.y() - from.y(), to.x() - from.x());
    const qreal spread = 0.6;
    p.drawLine(to, to - QPointF(std::cos(a - spread), std::sin(a - spread)) * head);
    p.drawLine(to, to - QPointF(std::cos(a + spread), std::sin(a + spread)) * head);
}

void phone(QPainter& p, QRectF r)
{
    p.drawRoundedRect(r, r.width() * 0.18, r.width() * 0.18);
    const qreal y = r.bottom() - r.height() * 0.12;
    p.drawPoint(QPointF(r.center().x(), y));
}

void cylinder(QPainter& p, QRectF r)
{
    const qreal eh = r.height() * 0.28;
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), eh));
    QPainterPath body;
    body.moveTo(r.left(), r.top() + eh / 2);
    body.lineTo(r.left(), r.bottom() - eh / 2);
    body.arcTo(QRectF(r.left(), r.bottom() - eh, r.width(), eh), 180, 180);
    body.lineTo(r.right(), r.top() + eh / 2);
    p.drawPath(body);
    QPainterPath mid;
    mid.moveTo(r.left(), r.center().y());
    mid.arcTo(QRectF(r.left(), r.center().y() - eh / 2, r.width(), eh), 180, 180);
    p.drawPath(mid);
}

void person(QPainter& p, QPointF c, qreal s)
{
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(c.x(), c.y() - s * 0.42), s * 0.26, s * 0.26);
    QPainterPath body;
    body.moveTo(c.x() - s * 0.5, c.y() + s * 0.52);
    body.cubicTo(c.x() - s * 0.5, c.y() - s * 0.12, c.x() + s * 0.5, c.y() - s * 0.12, c.x() + s * 0.5,
                 c.y() + s * 0.52);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(Qt::NoBrush);
    p.setPen(glyphPen());
}

void document(QPainter& p, QRectF r)
{
    QPainterPath d;
    const qreal fold = r.width() * 0.32;
    d.moveTo(r.left(), r.top());
    d.lineTo(r.right() - fold, r.top());
    d.lineTo(r.right(), r.top() + fold);
    d.lineTo(r.right(), r.bottom());
    d.lineTo(r.left(), r.bottom());
    d.closeSubpath();
    p.drawPath(d);
}

void bubble(QPainter& p, QRectF r, bool tailLeft)
{
    QPainterPath b;
    b.addRoundedRect(r, 16, 16);
    QPainterPath tail;
    const qreal x = tailLeft ? r.left() + 16 : r.right() - 16;
    tail.moveTo(x - 8, r.bottom() - 2);
    tail.lineTo(tailLeft ? r.left() + 2 : r.right() - 2, r.bottom() + 16);
    tail.lineTo(x + 8, r.bottom() - 2);
    p.drawPath(b.united(tail));
}

void folder(QPainter& p, QRectF r)
{
    QPainterPath f;
    f.moveTo(r.left(), r.bottom());
    f.lineTo(r.left(), r.top());
    f.lineTo(r.left() + r.width() * 0.38, r.top());
    f.lineTo(r.left() + r.width() * 0.48, r.top() + r.height() * 0.16);
    f.lineTo(r.right(), r.top() + r.height() * 0.16);
    f.lineTo(r.right(), r.bottom());
    f.closeSubpath();
    p.drawPath(f);
    p.drawLine(QPointF(r.left(), r.top() + r.height() * 0.32),
               QPointF(r.right(), r.top() + r.height() * 0.32));
}

void magnifier(QPainter& p, QPointF c, qreal r)
{
    p.drawEllipse(c, r, r);
    p.drawLine(c + QPointF(r * 0.72, r * 0.72), c + QPointF(r * 1.7, r * 1.7));
}

void handset(QPainter& p, QPointF c, qreal s)
{
    // A receiver seen from the side: a thick bow with an ear piece and a
    // mouth piece at its ends.
    const qreal r = s * 0.62;
    const QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
    auto at = [&](qreal deg) {
        return c + QPointF(std::cos(deg * M_PI / 180) * r, -std::sin(deg * M_PI / 180) * r);
    };
    p.setPen(QPen(Qt::white, s * 0.22, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(box, 150 * 16, 150 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (qreal deg : {150.0, 300.0}) {
        p.save();
        p.translate(at(deg));
        p.rotate(-deg);
        p.drawRoundedRect(QRectF(-s * 0.2, -s * 0.22, s * 0.4, s * 0.44), s * 0.12, s * 0.12);
        p.restore();
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(glyphPen());
}

void circularArrows(QPainter& p, QPointF c, qreal r)
{
    QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
    p.drawArc(box, 30 * 16, 140 * 16);
    p.drawArc(box, 210 * 16, 140 * 16);
    auto at = [&](qreal deg) {
        return c + QPointF(std::cos(deg * M_PI / 180) * r, -std::sin(deg * M_PI / 180) * r);
    };
    arrow(p, at(40), at(30), 14);
    arrow(p, at(220), at(210), 14);
}

using Painter = std::function<void(QPainter&)>;

std::map<QString, Painter> icons()
{
    std::map<QString, Painter> m;
    m["devices"] = [](QPainter& p) {
        tile(p, kSource);
        phone(p, QRectF(30, 30, 40, 68));
        phone(p, QRectF(62, 40, 36, 60));
    };
    m["iphone"] = [](QPainter& p) {
        tile(p, kSource);
        phone(p, QRectF(42, 24, 44, 80));
    };
    m["databases"] = [](QPainter& p) {
        tile(p, kSource);
        cylinder(p, QRectF(24, 28, 48, 62));
        // The front store hides the one behind it.
        p.setBrush(kSource);
        cylinder(p, QRectF(56, 42, 48, 60));
        p.setBrush(Qt::NoBrush);
    };
    m["database"] = [](QPainter& p) {
        tile(p, kSource);
        cylinder(p, QRectF(36, 28, 56, 72));
    };
    m["contact"] = [](QPainter& p) {
        tile(p, kPeople);
        person(p, QPointF(64, 68), 64);
    };
    m["group"] = [](QPainter& p) {
        tile(p, kPeople);
        person(p, QPointF(46, 72), 48);
        person(p, QPointF(82, 66), 54);
    };
    m["icon_sms-sent"] = [](QPainter& p) {
        tile(p, kSent);
        bubble(p, QRectF(24, 28, 80, 56), false);
        arrow(p, QPointF(48, 68), QPointF(80, 44), 14);
    };
    m["icon_sms-receive"] = [](QPainter& p) {
        tile(p, kReceived);
        bubble(p, QRectF(24, 28, 80, 56), true);
        arrow(p, QPointF(80, 44), QPointF(48, 68), 14);
    };
    m["backup"] = [](QPainter& p) {
        tile(p, kSource);
        cylinder(p, QRectF(34, 52, 60, 52));
        arrow(p, QPointF(64, 20), QPointF(64, 62), 16);
    };
    m["i2i"] = [](QPainter& p) {
        tile(p, kTransfer);
        phone(p, QRectF(20, 34, 30, 58));
        phone(p, QRectF(78, 34, 30, 58));
        arrow(p, QPointF(56, 63), QPointF(72, 63), 10);
    };
    m["db2i"] = [](QPainter& p) {
        tile(p, kTransfer);
        cylinder(p, QRectF(18, 38, 36, 52));
        phone(p, QRectF(78, 34, 30, 58));
        arrow(p, QPointF(58, 63), QPointF(73, 63), 10);
    };
    m["extract_media"] = [](QPainter& p) {
        tile(p, kOutput);
        p.drawRoundedRect(QRectF(22, 28, 68, 56), 8, 8);
        p.drawPolyline(
            QPolygonF({QPointF(28, 78), QPointF(48, 56), QPointF(62, 70), QPointF(72, 62), QPointF(86, 76)}));
        p.drawEllipse(QPointF(72, 44), 6, 6);
        arrow(p, QPointF(70, 92), QPointF(104, 92), 12);
    };
    m["export"] = [](QPainter& p) {
        tile(p, kOutput);
        document(p, QRectF(28, 24, 50, 80));
        p.drawLine(QPointF(38, 56), QPointF(60, 56));
        p.drawLine(QPointF(38, 74), QPointF(56, 74));
        arrow(p, QPointF(66, 88), QPointF(106, 88), 14);
    };
    m["export_calls"] = [](QPainter& p) {
        tile(p, kOutput);
        handset(p, QPointF(56, 46), 54);
        arrow(p, QPointF(70, 96), QPointF(106, 96), 12);
    };
    m["print"] = [](QPainter& p) {
        tile(p, kOutput);
        p.drawRect(QRectF(40, 24, 48, 24));
        p.drawRoundedRect(QRectF(22, 48, 84, 40), 8, 8);
        p.setBrush(QColor(255, 255, 255));
        p.drawRect(QRectF(40, 74, 48, 30));
        p.setBrush(Qt::NoBrush);
    };
    m["delete"] = [](QPainter& p) {
        tile(p, kDanger);
        p.drawLine(QPointF(30, 38), QPointF(98, 38));
        p.drawLine(QPointF(52, 38), QPointF(56, 26));
        p.drawLine(QPointF(56, 26), QPointF(72, 26));
        p.drawLine(QPointF(72, 26), QPointF(76, 38));
        QPainterPath can;
        can.moveTo(38, 46);
        can.lineTo(44, 104);
        can.lineTo(84, 104);
        can.lineTo(90, 46);
        p.drawPath(can);
        p.drawLine(QPointF(56, 58), QPointF(57, 92));
        p.drawLine(QPointF(72, 58), QPointF(71, 92));
    };
    m["load_itunes"] = [](QPainter& p) {
        tile(p, kSource);
        // A note inside a ring: the backup of the phone's media program.
        p.drawEllipse(QPointF(64, 60), 36, 36);
        p.drawLine(QPointF(58, 76), QPointF(58, 42));
        p.drawLine(QPointF(58, 42), QPointF(78, 38));
        p.drawLine(QPointF(78, 38), QPointF(78, 70));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(52, 77), 7, 6);
        p.drawEllipse(QPointF(72, 71), 7, 6);
        p.setBrush(Qt::NoBrush);
        arrow(p, QPointF(100, 84), QPointF(100, 110), 10);
    };
    m["open_db_folder"] = [](QPainter& p) {
        tile(p, kSource);
        folder(p, QRectF(22, 32, 84, 64));
    };
    m["exit"] = [](QPainter& p) {
        tile(p, kApp);
        QPainterPath door;
        door.moveTo(70, 36);
        door.lineTo(70, 26);
        door.lineTo(30, 26);
        door.lineTo(30, 102);
        door.lineTo(70, 102);
        door.lineTo(70, 92);
        p.drawPath(door);
        arrow(p, QPointF(52, 64), QPointF(102, 64), 16);
    };
    m["check-update"] = [](QPainter& p) {
        tile(p, kApp);
        circularArrows(p, QPointF(64, 64), 34);
    };
    m["clear-cache"] = [](QPainter& p) {
        tile(p, kApp);
        p.drawLine(QPointF(90, 22), QPointF(64, 64));
        QPainterPath brush;
        brush.moveTo(52, 58);
        brush.lineTo(80, 72);
        brush.lineTo(66, 104);
        brush.lineTo(30, 88);
        brush.closeSubpath();
        p.drawPath(brush);
        p.drawLine(QPointF(48, 96), QPointF(60, 74));
    };
    m["help"] = [](QPainter& p) {
        tile(p, kApp);
        QPainterPath q;
        q.moveTo(44, 48);
        q.cubicTo(44, 22, 86, 22, 86, 46);
        q.cubicTo(86, 62, 64, 62, 64, 78);
        p.setPen(glyphPen(12));
        p.drawPath(q);
        p.drawPoint(QPointF(64, 100));
    };
    m["feedback"] = [](QPainter& p) {
        tile(p, kApp);
        bubble(p, QRectF(22, 26, 84, 62), true);
        p.setPen(glyphPen(12));
        for (int x : {44, 64, 84})
            p.drawPoint(QPointF(x, 57));
    };
    m["about"] = [](QPainter& p) {
        tile(p, kApp);
        p.setPen(glyphPen(14));
        p.drawPoint(QPointF(64, 36));
        p.drawLine(QPointF(64, 58), QPointF(64, 98));
    };
    m["unmount"] = [](QPainter& p) {
        tile(p, kSource);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({QPointF(64, 28), QPointF(98, 70), QPointF(30, 70)}));
        p.drawRect(QRectF(30, 84, 68, 12));
        p.setBrush(Qt::NoBrush);
    };
    m["view-cache"] = [](QPainter& p) {
        tile(p, kSource);
        folder(p, QRectF(20, 28, 70, 54));
        p.setBrush(QColor(47, 128, 237));
        magnifier(p, QPointF(78, 76), 16);
        p.setBrush(Qt::NoBrush);
    };
    m["search"] = [](QPainter& p) {
        tile(p, kPeople);
        magnifier(p, QPointF(56, 56), 24);
    };
    m["ferrowick"] = [](QPainter& p) {
        tile(p, kApp);
        bubble(p, QRectF(20, 24, 66, 46), true);
        p.setBrush(QColor(243, 140, 18).darker(110));
        bubble(p, QRectF(44, 58, 64, 42), false);
        p.setBrush(Qt::NoBrush);
    };
    m["kill_viber"] = [](QPainter& p) {
        tile(p, kTransfer);
        phone(p, QRectF(38, 20, 52, 88));
        p.setPen(glyphPen(10));
        p.drawLine(QPointF(52, 48), QPointF(76, 72));
        p.drawLine(QPointF(76, 48), QPointF(52, 72));
    };
    // The list header's sort arrows: plain dark triangles, as the header
    // itself is always light.
    m["sort-up"] = [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(74, 85, 99));
        p.drawPolygon(QPolygonF({QPointF(64, 36), QPointF(104, 92), QPointF(24, 92)}));
    };
    m["sort-down"] = [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(74, 85, 99));
        p.drawPolygon(QPolygonF({QPointF(24, 36), QPointF(104, 36), QPointF(64, 92)}));
    };
    return m;
}

QImage drawIcon(const Painter& paint, int size = kSize)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn as vectors at any size, so small icons stay sharp.
    p.scale(qreal(size) / kSize, qreal(size) / kSize);
    paint(p);
    return image;
}

// The main window's backdrop: a calm blue-grey gradient with faint diagonal
// lines, dark enough for white tool-bar text and light enough for the panes.
QImage drawMainBackground()
{
    QImage image(1200, 800, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 0, image.height());
    g.setColorAt(0, QColor(58, 78, 104));
    g.setColorAt(1, QColor(34, 46, 64));
    p.fillRect(image.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 10), 1));
    for (int x = -image.height(); x < image.width(); x += 14)
        p.drawLine(x, image.height(), x + image.height(), 0);
    QRadialGradient glow(QPointF(image.width() * 0.2, 0), image.width() * 0.6);
    glow.setColorAt(0, QColor(255, 170, 60, 40));
    glow.setColorAt(1, QColor(255, 170, 60, 0));
    p.fillRect(image.rect(), glow);
    return image;
}

// The dialogs' backdrop: warm off-white with a soft light from the top.
QImage drawSubBackground()
{
    QImage image(600, 400, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 0, image.height());
    g.setColorAt(0, QColor(255, 253, 247));
    g.setColorAt(1, QColor(240, 236, 226));
    p.fillRect(image.rect(), g);
    p.setPen(QPen(QColor(243, 140, 18), 3));
    p.drawLine(0, 1, image.width(), 1);
    return image;
}
} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_ui_art OUTDIR NAME...\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    const std::map<QString, Painter> table = icons();
    for (int i = 2; i < argc; ++i) {
        const QString name = QString::fromLocal8Bit(argv[i]);
        QImage image;
        if (name == QLatin1String("main_bg.jpg"))
            image = drawMainBackground();
        else if (name == QLatin1String("sub_bg.jpg"))
            image = drawSubBackground();
        else if (name.endsWith(QLatin1String(".png"))) {
            QString stem = name.chopped(4);
            int size = kSize;
            const qsizetype at = stem.indexOf(u'@');
            if (at > 0) {
                size = stem.mid(at + 1).toInt();
                stem.truncate(at);
            }
            if (size > 0 && size <= 1024 && table.count(stem))
                image = drawIcon(table.at(stem), size);
        }
        if (image.isNull()) {
            std::fprintf(stderr, "make_ui_art: nothing to draw for %s\n", argv[i]);
            return 1;
        }
        // The quality is for the JPEG backdrops; PNG icons keep zlib's default
        // compression (a quality there would mean barely compressed files).
        const int quality = name.endsWith(QLatin1String(".jpg")) ? 92 : -1;
        if (!image.save(out.filePath(name), nullptr, quality)) {
            std::fprintf(stderr, "make_ui_art: cannot write %s\n", qPrintable(out.filePath(name)));
            return 1;
        }
    }
    return 0;
}
