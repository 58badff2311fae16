#include "render/BubbleHtml.h"

#include "BuildSettings.h"
#include "render/BubbleResources.h"
#include "export/DateTimeText.h"
#include "model/EmojiText.h"
#include "model/ViberTime.h"

#include <QFileInfo>
#include <QHash>
#include <QUrl>

#include <cmath>
#include <mutex>

namespace {
const char* const kNinePieces =
    "<div class=\"bb_bg top_left\"></div><div class=\"bb_bg top_middle\"></div>"
    "<div class=\"bb_bg top_right\"></div><div class=\"bb_bg middle_left\"></div>"
    "<div class=\"bb_bg middle_middle\"></div><div class=\"bb_bg middle_right\"></div>"
    "<div class=\"bb_bg bottom_left\"></div><div class=\"bb_bg bottom_middle\"></div>"
    "<div class=\"bb_bg bottom_right\"></div>";

bool fileHasContent(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

// Whether the emoticon picture exists beside the application; asked once per
// token, since a long export would otherwise test the disk for every message.
bool vbEmojiPictureExists(const QString& token)
{
    static std::mutex lock;
    static QHash<QString, bool> known;
    std::lock_guard<std::mutex> guard(lock);
    const auto it = known.constFind(token);
    if (it != known.cend())
        return it.value();
    // A token is a file name here: one with a path separator never names a picture.
    const bool exists = !token.contains(u'/') && !token.contains(u'\\') &&
                        QFileInfo::exists(g_bubbleSrcDir() + QStringLiteral("/vb_emoji/") + token +
                                          QStringLiteral(".png"));
    known.insert(token, exists);
    return exists;
}

// Map and sticker pictures live on servers a build may name; without one the
// page refers to no remote address at all, so nothing leaves the machine.
bool mapHostConfigured()
{
    return !QStringLiteral(FERROWICK_MAP_HOST).isEmpty();
}

bool stickerHostConfigured()
{
    return !QStringLiteral(FERROWICK_STICKER_HOST).isEmpty();
}

QString durationText(double seconds)
{
    const qint64 whole = qint64(seconds);
    const qint64 minutes = whole / 60;
    return QStringLiteral("%1' %2''").arg(minutes).arg(whole - 60 * minutes);
}

// "03:05 pm" and "06 Jan 2020", as QTime and QDate write them with these formats.
const LocaleDateTimeText& clockText()
{
    static const LocaleDateTimeText text(QLocale::c(), QStringLiteral("hh:mm ap"));
    return text;
}

const LocaleDateTimeText& systemClockText()
{
    static const LocaleDateTimeText text(QLocale::system(), QLocale::system().timeFormat(QLocale::ShortFormat));
    return text;
}

const LocaleDateTimeText& clockFor(const BubbleHtmlOptions& o)
{
    return o.systemClock ? systemClockText() : clockText();
}

// The line above a bubble: the sender in a group; on a page of mixed chats,
// the chat as well ("To" it for one's own messages).
QString handleText(const _ViberMsg& m, const BubbleHtmlOptions& o)
{
    const bool group = m.chat && !m.chat->groupId.isEmpty();
    if (!o.nameChats || !m.chat)
        return group && m.person ? m.person->display() : QString();
    const QString chat = m.chat->display();
    if (m.isFromMe())
        return QStringLiteral("To ") + chat;
    if (group && m.person)
        return m.person->display() + QStringLiteral(" \u00B7 ") + chat;
    return chat;
}

const LocaleDateTimeText& dayText()
{
    static const LocaleDateTimeText text(QLocale::c(), QStringLiteral("dd MMM yyyy"));
    return text;
}

QString wrapDiv(const QString& inner, const BubbleHtmlOptions& o)
{
    return QStringLiteral("<div>") + inner + QStringLiteral("</div>") + o.separator;
}

QString localRef(const QString& path, const BubbleHtmlOptions& o)
{
    return o.localRef ? o.localRef(path) : g_fileUrlText(path);
}

// The picture of an attachment: the local preview when it has content, else
// the fallback (a web address, or the stand-in picture of the view).
QString pictureRef(const QString& localPath, const QString& fallback, const BubbleHtmlOptions& o)
{
    if (fileHasContent(localPath))
        return localRef(localPath, o);
    if (!fallback.isEmpty())
        return fallback;
    if (o.substituteMissing)
        return o.assetPrefix + QStringLiteral("empty_photo.jpg");
    return localPath.isEmpty() ? QString() : localRef(localPath, o);
}
} // namespace

BubbleHtmlOptions BubbleHtmlOptions::forView()
{
    BubbleHtmlOptions o;
    o.systemClock = true;
    return o;
}

BubbleHtmlOptions BubbleHtmlOptions::forExport(std::function<QString(const QString&)> copyIntoFiles)
{
    BubbleHtmlOptions o;
    o.assetPrefix = QStringLiteral("files/");
    o.emojiPrefix = QStringLiteral("files/emoji/");
    o.vbEmojiPrefix = QStringLiteral("files/vb_emoji/");
    o.separator = QStringLiteral("\n");
    o.linkTarget = QStringLiteral("_blank");
    o.imageMax = 200;
    o.otherMax = 128;
    o.substituteMissing = false;
    o.localRef = std::move(copyIntoFiles);
    return o;
}

QString g_htmlAttr(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        switch (c.unicode()) {
        case u'&': out += QStringLiteral("&amp;"); break;
        case u'"': out += QStringLiteral("&quot;"); break;
        case u'\'': out += QStringLiteral("&#39;"); break;
        case u'<': out += QStringLiteral("&lt;"); break;
        case u'>': out += QStringLiteral("&gt;"); break;
        default: out += c;
        }
    }
    return out;
}

QString g_fileUrlText(const QString& localPath)
{
    return QUrl::fromLocalFile(localPath).toString(QUrl::FullyEncoded);
}

namespace {
QString vbemojiReplace(const QString& text, const QString& prefix, const BubbleHtmlOptions* options)
{
    qsizetype pos = 0, start = 0, length = 0;
    // Most texts hold no token: they are shared, not copied.
    if (!viber_find_paren_token(text, pos, start, length))
        return text;
    QString out;
    out.reserve(text.size() + 64);
    do {
        const QString token = text.mid(start, length);
        out.append(QStringView(text).mid(pos, start - pos));
        if (vbEmojiPictureExists(token) &&
            (!options || !options->usePicture || options->usePicture(QStringLiteral("vb_emoji/") + token + QStringLiteral(".png")))) {
            // The token holds no quote or angle bracket (those are escaped
            // before this runs), but it may hold "#" or "?", so encode it.
            out += QStringLiteral("<img src=\"%1%2.png\" style=\"vertical-align:top;\" />")
                       .arg(prefix, QString::fromLatin1(QUrl::toPercentEncoding(token, "()!$")));
        } else {
            out += token;
        }
        pos = start + length;
    } while (viber_find_paren_token(text, pos, start, length));
    out.append(QStringView(text).mid(pos));
    return out;
}
} // namespace

QString vbemoji_replace(const QString& text, const QString& prefix)
{
    return vbemojiReplace(text, prefix, nullptr);
}

QString g_htmlEncode(const QString& text)
{
    return g_htmlEncode(text, BubbleHtmlOptions::forView());
}

QString g_htmlEncode(const QString& text, const BubbleHtmlOptions& options)
{
    // Runs without a character to escape are copied whole, and a text with
    // none at all is shared rather than copied.
    const auto escaped = [](char16_t u) -> QLatin1String {
        switch (u) {
        case u'&': return QLatin1String("&amp;");
        case u'<': return QLatin1String("&lt;");
        case u'>': return QLatin1String("&gt;");
        case u'\n': return QLatin1String("<br/>");
        default: return QLatin1String();
        }
    };
    const QStringView view(text);
    qsizetype run = 0;
    QString s;
    for (qsizetype i = 0; i < view.size(); ++i) {
        const QLatin1String e = escaped(view[i].unicode());
        if (e.isNull())
            continue;
        if (s.isNull())
            s.reserve(text.size() + 16);
        s.append(view.mid(run, i - run));
        s.append(e);
        run = i + 1;
    }
    if (run == 0)
        s = text;
    else
        s.append(view.mid(run));
    struct Ctx
    {
        const BubbleHtmlOptions* options;
    } ctx{&options};
    s = emoji_replace(
        s,
        [](void* c, const QString& code) {
            const BubbleHtmlOptions& o = *static_cast<Ctx*>(c)->options;
            if (o.usePicture && !o.usePicture(QStringLiteral("emoji/") + code + QStringLiteral(".png"))) {
                const char32_t point = code.toUInt(nullptr, 16);
                return QString::fromUcs4(&point, 1);
            }
            return QStringLiteral("<img src=\"%1%2.png\" style=\"vertical-align:top;\" />").arg(o.emojiPrefix, code);
        },
        &ctx);
    return vbemojiReplace(s, options.vbEmojiPrefix, &options);
}

QString g_locationText(const _ViberMsg& m)
{
    const QString address = m.address();
    if (!address.trimmed().isEmpty())
        return address;
    const double latitude = m.latitude(), longitude = m.longitude();
    if (!std::isfinite(latitude) || !std::isfinite(longitude) || (latitude == 0 && longitude == 0))
        return QString();
    return QString::number(latitude, 'f', 6) + QStringLiteral(", ") + QString::number(longitude, 'f', 6);
}

QString showCenterInfo(const QString& text, const BubbleHtmlOptions& options)
{
    return QStringLiteral("<div style=\"text-align:center; margin-bottom:20px;\"><div class=\"r\">") +
           QString::fromLatin1(kNinePieces) + g_htmlEncode(text, options) +
           QStringLiteral("</div><div class=\"clear\"></div></div>") + options.separator;
}

QString imgClickableHtml(const QString& link, const QString& src, int maxSize, const QString& extra,
                         const BubbleHtmlOptions& options)
{
    const QString target =
        options.linkTarget.isEmpty() ? QString() : QStringLiteral(" target=\"%1\"").arg(options.linkTarget);
    if (link.isEmpty())
        return QStringLiteral("<img style=\"max-width:%1px;max-height:%1px;\" src=\"%2\" %3>")
            .arg(QString::number(maxSize), g_htmlAttr(src), extra);
    return QStringLiteral("<a href=\"%1\"%2><img style=\"max-width:%3px;max-height:%3px;\" src=\"%4\" %5></a>")
        .arg(g_htmlAttr(link), target, QString::number(maxSize), g_htmlAttr(src), extra);
}

QString showMessage(const _ViberMsg& m, const BubbleHtmlOptions& o)
{
    QString h = QStringLiteral("<div class=\"%1\">").arg(m.isFromMe() ? QStringLiteral("bb2") : QStringLiteral("bb1"));
    h += QString::fromLatin1(kNinePieces);
    h += o.separator;
    const QString handle = handleText(m, o);
    if (!handle.isEmpty()) {
        h += QStringLiteral("<div class=\"handle\">%1</div><div class=\"clear\"></div>").arg(g_htmlEncode(handle, o));
        h += o.separator;
    }
    const _ViberAtta* a = m.atta;
    const bool needsAtta = m.type == MSG_TYPE_IMAGE || m.type == MSG_TYPE_AUDIO ||
                           m.type == MSG_TYPE_STICKER || m.type == MSG_TYPE_VIDEO;
    if (needsAtta && !a) {
        // Nothing to show but the time.
    } else {
        switch (m.type) {
        case MSG_TYPE_IMAGE:
        case MSG_TYPE_VIDEO: {
            const int size = m.type == MSG_TYPE_IMAGE ? o.imageMax : o.otherMax;
            const QString link = a->filePath.isEmpty() ? QString() : localRef(a->filePath, o);
            h += wrapDiv(imgClickableHtml(link, pictureRef(a->thumbPath, QString(), o), size, QString(), o), o);
            if (m.type == MSG_TYPE_VIDEO)
                h += wrapDiv(durationText(a->duration), o);
            if (!m.text.isEmpty())
                h += wrapDiv(g_htmlEncode(m.text, o), o);
            break;
        }
        case MSG_TYPE_LOCATION: {
            // The map picture when there is one; the place in words always.
            const QString web = mapHostConfigured() ? m.locationHttpPath() : QString();
            const QString picture = pictureRef(a ? a->thumbPath : QString(), web, o);
            if (!picture.isEmpty())
                h += wrapDiv(imgClickableHtml(web, picture, o.otherMax, QString(), o), o);
            h += wrapDiv(g_htmlEncode(g_locationText(m), o), o);
            break;
        }
        case MSG_TYPE_AUDIO:
            h += QStringLiteral("<img width=\"32px\" src=\"%1voice.png\" align=\"middle\" />").arg(o.assetPrefix);
            h += QStringLiteral("<a href=\"%1\">%2</a>")
                     .arg(g_htmlAttr(a->filePath.isEmpty() ? QString() : localRef(a->filePath, o)),
                          durationText(a->duration));
            h += o.separator;
            break;
        case MSG_TYPE_STICKER: {
            // The sticker's own picture when it was fetched; the sticker server
            // otherwise, when the build names one.
            const QString web = stickerHostConfigured() ? a->stickerHttpUrl() : QString();
            h += wrapDiv(imgClickableHtml(web, pictureRef(a->thumbPath, web, o), o.otherMax, QString(), o), o);
            break;
        }
        case MSG_TYPE_TEXT:
            h += g_htmlEncode(m.text, o);
            h += o.separator;
            break;
        default:
            h += QStringLiteral("[UNKNOWN]");
            h += o.separator;
        }
    }
    h += QLatin1String("<div class=\"bb_time\">");
    clockFor(o).appendTo(h, dtFromTimestamp(m.date));
    h += QLatin1String("</div></div><div class=\"clear\"></div>");
    h += o.separator;
    return h;
}

QString messageSequenceHtml(const _ViberMsg& m, QDate& lastDate, const BubbleHtmlOptions& o)
{
    QString h;
    const QDateTime when = dtFromTimestamp(m.date);
    if (!lastDate.isValid() || when.date() != lastDate) {
        lastDate = when.date();
        h += showCenterInfo(dayText().text(when), o);
    }
    switch (m.type) {
    case MSG_TYPE_IMAGE:
    case MSG_TYPE_LOCATION:
    case MSG_TYPE_AUDIO:
    case MSG_TYPE_STICKER:
    case MSG_TYPE_TEXT:
    case MSG_TYPE_VIDEO:
        h += showMessage(m, o);
        break;
    case MSG_TYPE_CALL:
        if (m.call)
            h += showCenterInfo(m.call->display() + QStringLiteral("      ") +
                                    clockFor(o).text(dtFromTimestamp(m.call->date)),
                                o);
        break;
    case MSG_TYPE_SYSTEM:
        h += showCenterInfo(m.systemMsgDisplay(), o);
        break;
    default:
        break;
    }
    return h;
}
