#include "stores/DemoMedia.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>

#include <cmath>

QImage g_demoPicture(int width, int height, const QColor& sky, const QColor& land, int seed)
{
    QImage img(width, height, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, height);
    g.setColorAt(0, sky.lighter(130));
    g.setColorAt(1, sky);
    p.fillRect(img.rect(), g);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 230, 120));
    p.drawEllipse(QPointF(width * (0.2 + 0.6 * ((seed * 37) % 100) / 100.0), height * 0.25), height * 0.1, height * 0.1);
    for (int layer = 0; layer < 3; ++layer) {
        QPainterPath hills;
        hills.moveTo(0, height);
        for (int x = 0; x <= width; x += 8) {
            const double y = height * (0.55 + 0.12 * layer)
                             + std::sin((x + seed * 50 + layer * 90) / (60.0 + 20 * layer)) * height * 0.06;
            hills.lineTo(x, y);
        }
        hills.lineTo(width, height);
        p.setBrush(land.darker(100 + 25 * layer));
        p.drawPath(hills);
    }
    return img;
}

QImage g_demoAvatar(const QColor& color)
{
    QImage img(120, 120, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(img.rect().adjusted(4, 4, -4, -4));
    // A head-and-shoulders figure; text would need a GUI application's fonts,
    // which the command-line program does not have.
    p.setBrush(color.lighter(160));
    p.drawEllipse(QPointF(60, 48), 20, 20);
    p.drawChord(QRectF(25, 72, 70, 60), 0, 180 * 16);
    return img;
}

QImage g_demoSticker(int seed)
{
    QImage img(160, 160, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 4));
    p.setBrush(QColor::fromHsv((seed * 67) % 360, 160, 250));
    p.drawEllipse(QRectF(10, 10, 140, 140));
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(55, 65), 9, 12);
    p.drawEllipse(QPointF(105, 65), 9, 12);
    p.setBrush(Qt::NoBrush);
    const int span = seed % 2 ? -180 * 16 : 180 * 16;
    p.drawArc(QRectF(45, seed % 2 ? 80 : 95, 70, 40), 0, span);
    return img;
}

namespace {
void put16(QByteArray& b, quint16 v)
{
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}

void put32(QByteArray& b, quint32 v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

void set32(QByteArray& b, qsizetype at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
}

// Appends a chunk header and returns where its size field is.
qsizetype beginChunk(QByteArray& b, const char* id, const char* listType = nullptr)
{
    b.append(id, 4);
    const qsizetype at = b.size();
    put32(b, 0);
    if (listType)
        b.append(listType, 4);
    return at;
}

void endChunk(QByteArray& b, qsizetype sizeAt)
{
    set32(b, sizeAt, quint32(b.size() - sizeAt - 4));
    if (b.size() % 2)
        b.append('\0');
}
} // namespace

QByteArray g_demoWav(double seconds, int seed)
{
    const int rate = 8000;
    const int samples = int(seconds * rate);
    QByteArray data;
    data.reserve(samples * 2);
    for (int i = 0; i < samples; ++i) {
        const double t = double(i) / rate;
        const double f = 220.0 * std::pow(2.0, ((int(t * 4) + seed) % 8) / 12.0);
        const double envelope = 0.5 + 0.5 * std::sin(t * 6.28 * 2);
        put16(data, quint16(qint16(std::sin(2 * M_PI * f * t) * 9000 * envelope)));
    }
    QByteArray b;
    const qsizetype riff = beginChunk(b, "RIFF", "WAVE");
    const qsizetype fmt = beginChunk(b, "fmt ");
    put16(b, 1); // PCM
    put16(b, 1); // mono
    put32(b, rate);
    put32(b, rate * 2);
    put16(b, 2);
    put16(b, 16);
    endChunk(b, fmt);
    const qsizetype dat = beginChunk(b, "data");
    b.append(data);
    endChunk(b, dat);
    endChunk(b, riff);
    return b;
}

QByteArray g_demoAvi(int width, int height, int frames, int fps, int seed)
{
    QList<QByteArray> jpegs;
    quint32 largest = 0;
    for (int i = 0; i < frames; ++i) {
        QByteArray jpeg;
        QBuffer buf(&jpeg);
        buf.open(QIODevice::WriteOnly);
        g_demoPicture(width, height, QColor(90, 150, 220), QColor(70, 150, 80), seed + i).save(&buf, "JPEG", 70);
        largest = qMax(largest, quint32(jpeg.size()));
        jpegs << jpeg;
    }
    QByteArray b;
    const qsizetype riff = beginChunk(b, "RIFF", "AVI ");
    const qsizetype hdrl = beginChunk(b, "LIST", "hdrl");
    const qsizetype avih = beginChunk(b, "avih");
    put32(b, 1000000 / fps);           // microseconds per frame
    put32(b, largest * fps);           // max bytes per second
    put32(b, 0);                       // padding granularity
    put32(b, 0x10);                    // AVIF_HASINDEX
    put32(b, frames);
    put32(b, 0);                       // initial frames
    put32(b, 1);                       // streams
    put32(b, largest);                 // suggested buffer size
    put32(b, width);
    put32(b, height);
    for (int i = 0; i < 4; ++i)
        put32(b, 0);
    endChunk(b, avih);
    const qsizetype strl = beginChunk(b, "LIST", "strl");
    const qsizetype strh = beginChunk(b, "strh");
    b.append("vidsMJPG", 8);
    put32(b, 0); // flags
    put16(b, 0); // priority
    put16(b, 0); // language
    put32(b, 0); // initial frames
    put32(b, 1); // scale
    put32(b, fps);
    put32(b, 0); // start
    put32(b, frames);
    put32(b, largest);
    put32(b, quint32(-1)); // quality
    put32(b, 0);           // sample size
    put16(b, 0);
    put16(b, 0);
    put16(b, quint16(width));
    put16(b, quint16(height));
    endChunk(b, strh);
    const qsizetype strf = beginChunk(b, "strf");
    put32(b, 40);
    put32(b, width);
    put32(b, height);
    put16(b, 1);
    put16(b, 24);
    b.append("MJPG", 4);
    put32(b, quint32(width * height * 3));
    for (int i = 0; i < 4; ++i)
        put32(b, 0);
    endChunk(b, strf);
    endChunk(b, strl);
    endChunk(b, hdrl);

    const qsizetype movi = beginChunk(b, "LIST", "movi");
    QList<QPair<quint32, quint32>> index;
    for (const QByteArray& jpeg : jpegs) {
        index << qMakePair(quint32(b.size() - movi - 4), quint32(jpeg.size()));
        const qsizetype frame = beginChunk(b, "00dc");
        b.append(jpeg);
        endChunk(b, frame);
    }
    endChunk(b, movi);
    const qsizetype idx = beginChunk(b, "idx1");
    for (const auto& [offset, size] : index) {
        b.append("00dc", 4);
        put32(b, 0x10); // key frame
        put32(b, offset);
        put32(b, size);
    }
    endChunk(b, idx);
    endChunk(b, riff);
    return b;
}
