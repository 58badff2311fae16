// Writes the generated benchmark store with n messages (the one the other
// benchmarks read) and prints its container folder, for scripts comparing
// ferrowick-cli with bare tools. --chats N spreads the messages over N chats
// instead of 1 000 (a store of its own). With --media, every picture, video and voice
// attachment also gets a file: one JPEG photo shared by all pictures and
// videos, a small blob for voice messages.
#include "BenchIosStore.h"

#include "sqlite/Sqlite3Cursor.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {
QByteArray photo()
{
    QImage img(1280, 960, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            line[x] = qRgb((x * 7 + y) & 255, (y * 5 + (x ^ y)) & 255, ((x * y) >> 4) & 255);
    }
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPG", 90);
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    if (QFileInfo::exists(path))
        return true;
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

int writeMedia(const QDir& root)
{
    const QByteArray jpeg = photo();
    const QByteArray voice(16 * 1024, 'v');
    root.mkpath(QStringLiteral("Documents/Attachments"));
    root.mkpath(QStringLiteral("Documents/VoiceMessages"));
    Sqlite3DB db;
    db.openThrow(root.filePath(QStringLiteral("Documents/Contacts.data")), 1);
    Sqlite3Cursor c = db.queryThrow("select ZNAME, ZTYPE from ZATTACHMENT");
    int files = 0;
    while (c.moveNext()) {
        const QString name = c.getText(0), type = c.getText(1);
        bool ok = true;
        if (type == QLatin1String("picture") || type == QLatin1String("video"))
            ok = writeFile(root.filePath(QStringLiteral("Documents/Attachments/") + name), jpeg);
        else if (type == QLatin1String("audio"))
            ok = writeFile(root.filePath(QStringLiteral("Documents/VoiceMessages/") + name), voice);
        else
            continue;
        if (!ok)
            return -1;
        ++files;
    }
    return files;
}
} // namespace

int main(int argc, char** argv)
{
    // Encoding the photo needs a GUI application, never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool ok = false;
    const int n = args.value(1).toInt(&ok);
    int chats = 1000;
    if (const qsizetype at = args.indexOf(QStringLiteral("--chats")); at >= 0)
        chats = args.value(at + 1).toInt();
    if (!ok || n < 1 || chats < 1) {
        std::fprintf(stderr, "usage: bench_make_store MESSAGES [--chats N] [--media]\n");
        return 2;
    }
    try {
        const QDir root = bench_store::store(n, chats);
        if (args.contains(QStringLiteral("--media")) && writeMedia(root) < 0) {
            std::fprintf(stderr, "bench_make_store: cannot write the media files\n");
            return 1;
        }
        std::printf("%s\n", qPrintable(root.absolutePath()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_make_store: %s\n", e.what());
        return 1;
    }
    return 0;
}
