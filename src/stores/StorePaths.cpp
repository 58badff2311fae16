#include "stores/StorePaths.h"

#include "model/ViberData.h"
#include "model/ViberRecords.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <cmath>

bool g_isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && !name.contains(QLatin1Char('/'))
           && !name.contains(QLatin1Char('\\')) && !name.contains(QLatin1String(".."))
           && !name.contains(QChar(0));
}

bool g_isAsciiDigits(const QString& s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

namespace {
bool isAscii(QByteArrayView v)
{
    for (char c : v) {
        if (uchar(c) >= 0x80)
            return false;
    }
    return true;
}
} // namespace

bool g_utf8EqualsNoCase(QByteArrayView utf8, const char* word)
{
    // ASCII folds byte for byte: texts of other lengths never match.
    if (isAscii(utf8)) {
        const QByteArrayView w(word);
        return utf8.size() == w.size() && utf8.compare(w, Qt::CaseInsensitive) == 0;
    }
    return QString::fromUtf8(utf8).compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool g_utf8ContainsNoCase(QByteArrayView utf8, const char* word)
{
    return QString::fromUtf8(utf8).contains(QLatin1String(word), Qt::CaseInsensitive);
}

QString g_iosStickerPreviewPath(const QString& mediaId)
{
    bool ok = false;
    const qint64 n = mediaId.toLongLong(&ok);
    const qint64 folder = ok ? n / 100 * 100 : 0;
    return QStringLiteral("Documents/stickers/%1/100/%2.png").arg(folder).arg(mediaId, 8, QLatin1Char('0'));
}

QString g_iosCustomLocationImageName(double latitude, double longitude)
{
    QString lat = QString::number(latitude, 'g', 8);
    const qsizetype dot = lat.indexOf(QLatin1Char('.'));
    const qsizetype width = dot >= 0 ? dot + 7 : 6;
    if (lat.size() < width)
        lat += QString(width - lat.size(), QLatin1Char('0'));
    const double lon = std::isfinite(longitude) ? std::trunc(longitude) : 0.0;
    const qint64 lonInt = std::fabs(lon) < 9e18 ? qint64(lon) : 0;
    return QStringLiteral("%1_%2.jpg").arg(lat).arg(lonInt);
}

namespace {
bool insideBase(const QString& canonical, const QString& base)
{
    return canonical == base || canonical.startsWith(base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/'));
}

// The deepest existing folder on the way to dir, with links resolved.
QString existingAncestor(QString dir)
{
    while (!dir.isEmpty()) {
        const QFileInfo fi(dir);
        if (fi.exists())
            return fi.canonicalFilePath();
        const QString up = fi.absolutePath();
        if (up == dir)
            break;
        dir = up;
    }
    return QString();
}
constexpr int kPreviewSide = 400;

// The size of a preview of a picture of size full: kPreviewSide on its
// longer side (the width when square is not the case), as QImage's
// scaledToWidth / scaledToHeight round it.
QSize previewSize(const QSize& full)
{
    return full.width() > full.height()
               ? QSize(kPreviewSide, qMax(1, qRound(full.height() * double(kPreviewSide) / full.width())))
               : QSize(qMax(1, qRound(full.width() * double(kPreviewSide) / full.height())), kPreviewSide);
}

// A JPEG or PNG picture brought to its preview size; null when src is
// neither. A photo several times larger than its preview is decoded at a
// fraction of its size (the JPEG decoder leaves out the detail the preview
// drops, most of the cost of a whole decode); pictures the decoder would
// refuse whole are still refused, so a crafted size allocates no more.
QImage previewImage(const QString& src)
{
    QImageReader jpeg(src, "JPEG");
    const QSize full = jpeg.size();
    const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    if (full.isValid() && qMax(full.width(), full.height()) >= 2 * kPreviewSide &&
        (limit <= 0 || qint64(full.width()) * full.height() * 4 <= limit)) {
        const QSize target = previewSize(full);
        jpeg.setScaledSize(target);
        const QImage img = jpeg.read();
        if (!img.isNull())
            return img.size() == target ? img : img.scaled(target, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    QImage img;
    if (!img.load(src, "JPEG") && !img.load(src, "PNG"))
        return QImage();
    return img.width() > img.height() ? img.scaledToWidth(kPreviewSide, Qt::FastTransformation)
                                      : img.scaledToHeight(kPreviewSide, Qt::FastTransformation);
}
} // namespace

void g_makeImagePreview(const QString& src, const QString& dst, const QDir& base)
{
    if (!QFileInfo(src).isFile() || !QDir().mkpath(base.absolutePath()))
        return;
    const QString baseCanon = QFileInfo(base.absolutePath()).canonicalFilePath();
    if (baseCanon.isEmpty())
        return;
    const QString dstDir = QFileInfo(dst).absolutePath();
    if (!insideBase(existingAncestor(dstDir), baseCanon))
        return;
    const QImage small = previewImage(src);
    if (small.isNull())
        return;
    if (!QDir().mkpath(dstDir) || !insideBase(QFileInfo(dstDir).canonicalFilePath(), baseCanon))
        return;
    small.save(dst);
}

int g_callTypeOfText(QByteArrayView utf8)
{
    if (g_utf8ContainsNoCase(utf8, "incoming"))
        return CALL_INCOMING;
    if (g_utf8ContainsNoCase(utf8, "outgoing"))
        return CALL_OUTGOING;
    if (g_utf8ContainsNoCase(utf8, "missed"))
        return CALL_MISSED;
    return 0;
}

_ViberChat* g_addCallChat(__ViberData* d, _ViberPerson* person)
{
    qint64 key = -qint64(d->chats.size());
    while (d->chats.contains(key))
        --key;
    auto* chat = new _ViberChat;
    chat->id = key;
    chat->name = person->name;
    chat->members.insert(person->id, person);
    d->chats.insert(key, chat);
    return chat;
}

void g_addCallMessage(__ViberData* d, _ViberCall* call, _ViberChat* chat)
{
    auto* m = new _ViberMsg;
    m->id = -call->id;
    d->msgs.insert(m->id, m);
    m->date = call->date;
    m->type = MSG_TYPE_CALL;
    m->call = call;
    m->chat = chat;
    chat->msgs.append(m);
    if (call->date > chat->date)
        chat->date = call->date;
}

QString g_iosCallTypeText(int type, bool video)
{
    // The video kinds are the words Viber itself writes; a reader that only
    // looks for incoming, outgoing or missed still finds the direction.
    const QString suffix = video ? QStringLiteral("_with_video") : QString();
    switch (type) {
    case CALL_MISSED:
        return QStringLiteral("missed") + suffix;
    case CALL_OUTGOING:
        return QStringLiteral("outgoing_viber") + suffix;
    case CALL_INCOMING:
        return QStringLiteral("incoming") + suffix;
    default:
        return QString();
    }
}

QString g_iosAttachmentTypeText(int msgType)
{
    switch (msgType) {
    case MSG_TYPE_IMAGE:
        return QStringLiteral("picture");
    case MSG_TYPE_LOCATION:
        return QStringLiteral("customLocation");
    case MSG_TYPE_AUDIO:
        return QStringLiteral("audio");
    case MSG_TYPE_STICKER:
        return QStringLiteral("sticker");
    case MSG_TYPE_VIDEO:
        return QStringLiteral("video");
    default:
        return QString();
    }
}

QString g_attachmentPath(const QString& name)
{
    return QStringLiteral("Documents/Attachments/") + name;
}

qint64 g_wholeSeconds(double t)
{
    if (!std::isfinite(t) || std::fabs(t) > 1e15)
        return 0;
    return qint64(std::trunc(t));
}
