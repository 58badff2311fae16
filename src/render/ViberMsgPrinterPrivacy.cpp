#include "render/ViberMsgPrinterPrivacy.h"

#include "render/BubbleHtml.h"
#include "render/BubblePainter.h"
#include "model/EmojiText.h"
#include "model/ViberRecords.h"
#include "model/ViberTime.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPagedPaintDevice>

#include <cmath>
#include <stdexcept>

namespace {
constexpr int kBubbleGap = 10;
constexpr int kPageNumberGap = 2;
constexpr int kPageNumberHeight = 18;
constexpr int kMaxPictureSide = 200;
// Pictures kept for reuse; a long chat of many different pictures starts over
// now and then rather than holding them all.
constexpr qsizetype kMaxKeptPictures = 64;

QString audioText(double duration)
{
    const qint64 secs = std::isfinite(duration) && duration > 0 ? qint64(qMin(duration, 1e12)) : 0;
    return QStringLiteral("[AUDIO] %1' %2''").arg(secs / 60).arg(secs % 60);
}

bool fileExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}
} // namespace

ViberMsgPrinterPrivacy::~ViberMsgPrinterPrivacy()
{
    if (m_painter.isActive())
        m_painter.end();
}

void ViberMsgPrinterPrivacy::reset(QPagedPaintDevice* device)
{
    // Fonts and glyphs need the GUI application's font database; without it
    // Qt would abort instead of failing.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw std::runtime_error("Printing needs a running QGuiApplication.");
    if (!device)
        throw std::runtime_error("No printer or PDF file to print on.");
    if (m_painter.isActive())
        m_painter.end();
    m_device = device;
    m_items.clear();
    m_pictures.clear();
    m_lastDate = QDate();
    m_pendingDate.clear();
    m_page = 1;

    const QPageLayout layout = device->pageLayout();
    const int dpi = device->logicalDpiY();
    const QRect paint = layout.paintRectPixels(dpi);
    const QRect full = layout.fullRectPixels(dpi);
    // Outside full-page mode the painter's origin is the top left of the
    // printable area, so the content starts at (0, 0) and the sheet reaches
    // into the margins.
    m_content = QRect(0, 0, paint.width(), paint.height());
    m_sheet = QRect(-paint.left(), -paint.top(), full.width(), full.height());
    if (layout.mode() == QPageLayout::FullPageMode) {
        m_content = paint;
        m_sheet = QRect(QPoint(0, 0), full.size());
    }
    if (m_content.width() < 1 || m_content.height() < 1)
        throw std::runtime_error("The page leaves no room inside its margins.");

    if (!m_painter.begin(device))
        throw std::runtime_error("Cannot start painting the document.");
    m_painter.setRenderHint(QPainter::Antialiasing);
    m_painter.setRenderHint(QPainter::TextAntialiasing);
    startPage();
}

void ViberMsgPrinterPrivacy::end()
{
    if (!m_painter.isActive())
        return;
    flushPendingDate();
    if (!m_painter.end())
        throw std::runtime_error("Cannot finish the document.");
}

void ViberMsgPrinterPrivacy::startPage()
{
    m_painter.fillRect(m_sheet, BubbleColor::background());
    m_y = m_content.top();
    drawPageNumber();
}

void ViberMsgPrinterPrivacy::drawPageNumber()
{
    m_painter.setFont(msgTextFont());
    m_painter.setPen(BubbleColor::pageNumber());
    const QRect strip(m_content.left(), m_content.bottom() + kPageNumberGap, m_content.width(), kPageNumberHeight);
    m_painter.drawText(strip, Qt::AlignRight | Qt::AlignVCenter, QString::number(m_page));
}

void ViberMsgPrinterPrivacy::checkAndNextPage(int h)
{
    if (m_content.bottom() + 1 - m_y >= h)
        return;
    // Nothing is on this page yet: a new one would not give more room.
    if (m_y == m_content.top())
        return;
    m_device->newPage();
    ++m_page;
    startPage();
}

int ViberMsgPrinterPrivacy::bubbleWidth() const
{
    return int(m_content.width() * 0.8);
}

void ViberMsgPrinterPrivacy::place(const BubbleLayout& bubble, int x, Item::Kind kind, const QString& text,
                                   const QString& name, bool own)
{
    if (bubble.isNull())
        return;
    const QSize size = bubble.size();
    if (!m_pendingDate.isEmpty() && kind != Item::DATE) {
        const BubbleLayout date = BubbleLayout::forText(m_pendingDate, bubbleWidth(), BUBBLE_CENTER);
        const int dateHeight = date.isNull() ? 0 : date.size().height() + kBubbleGap;
        // The separator and the bubble (as much of it as a page holds) go
        // onto the same page.
        checkAndNextPage(dateHeight + qMin(size.height(), m_content.height() - dateHeight));
        flushPendingDate();
    }
    checkAndNextPage(size.height());
    bubble.paint(m_painter, QPoint(x, m_y));
    if (m_record)
        m_items.append({kind, m_page, QRect(QPoint(x, m_y), size), text, name, own});
    m_y += size.height() + kBubbleGap;
}

void ViberMsgPrinterPrivacy::placeCentered(const QString& text, Item::Kind kind)
{
    const QStringList pieces = split_text_bubble(text, bubbleWidth(), BUBBLE_CENTER, QString(), QString(),
                                                 m_content.height());
    for (const QString& piece : pieces) {
        const BubbleLayout bubble = BubbleLayout::forText(piece, bubbleWidth(), BUBBLE_CENTER);
        place(bubble, m_content.left() + (m_content.width() - bubble.size().width()) / 2, kind, piece, QString(),
              false);
    }
}

void ViberMsgPrinterPrivacy::flushPendingDate()
{
    if (m_pendingDate.isEmpty())
        return;
    const QString text = m_pendingDate;
    m_pendingDate.clear();
    placeCentered(text, Item::DATE);
}

void ViberMsgPrinterPrivacy::placeSide(const BubbleLayout& bubble, bool own, Item::Kind kind, const QString& text,
                                       const QString& name)
{
    const int x = own ? m_content.left() + m_content.width() - bubble.size().width() : m_content.left();
    place(bubble, x, kind, text, name, own);
}

void ViberMsgPrinterPrivacy::printText(const QString& text, bool own, const QString& time, const QString& name)
{
    const int type = own ? BUBBLE_OWN : BUBBLE_RECEIVED;
    // A text longer than a page goes on as further bubbles rather than
    // running off the bottom of the sheet.
    const QStringList pieces = split_text_bubble(text, bubbleWidth(), type, time, name, m_content.height());
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const QString pieceName = i == 0 ? name : QString();
        const QString pieceTime = i == pieces.size() - 1 ? time : QString();
        placeSide(BubbleLayout::forText(pieces[i], bubbleWidth(), type, pieceTime, pieceName), own, Item::TEXT,
                  pieces[i], pieceName);
    }
}

QImage ViberMsgPrinterPrivacy::picture(const QString& path)
{
    // Every missing file shows the same stand-in.
    const QString key = fileExists(path) ? path : QString();
    const auto known = m_pictures.constFind(key);
    if (known != m_pictures.cend())
        return known.value();
    // Read at up to the bubble's render scale, shown at most 200 pixels on
    // its longer side: large pictures stay sharp, small ones keep their size.
    QImage pic = g_loadPrintPicture(key, int(kMaxPictureSide * kBubbleRenderScale));
    const int longer = qMax(pic.width(), pic.height());
    pic.setDevicePixelRatio(longer > kMaxPictureSide ? qreal(longer) / kMaxPictureSide : 1.0);
    if (m_pictures.size() >= kMaxKeptPictures)
        m_pictures.clear();
    m_pictures.insert(key, pic);
    return pic;
}

void ViberMsgPrinterPrivacy::print(const _ViberMsg& msg)
{
    if (!m_painter.isActive())
        return;
    const QDateTime when = dtFromTimestamp(msg.date);
    if (when.date() != m_lastDate) {
        // A day whose messages printed nothing still shows its date.
        flushPendingDate();
        m_pendingDate = when.toString(QStringLiteral("dd MMM yyyy"));
        m_lastDate = when.date();
    }

    const QString time = when.toString(QStringLiteral("hh:mm ap"));
    const QString name = msg.chat && !msg.chat->groupId.isEmpty() && msg.person ? msg.person->display() : QString();
    const bool own = msg.isFromMe();
    const _ViberAtta* atta = msg.atta;

    QString text;
    QString picture;
    bool hasPicture = false;
    switch (msg.type) {
    case MSG_TYPE_CALL:
        if (msg.call)
            placeCentered(msg.call->display(), Item::CENTER);
        return;
    case MSG_TYPE_SYSTEM:
        placeCentered(msg.systemMsgDisplay(), Item::CENTER);
        return;
    case MSG_TYPE_IMAGE:
    case MSG_TYPE_VIDEO:
        // An attachment whose preview is gone still shows as the empty photo.
        hasPicture = atta != nullptr;
        picture = atta ? atta->thumbPath : QString();
        text = viber_readable_text(msg.text);
        break;
    case MSG_TYPE_LOCATION:
        hasPicture = atta && !atta->thumbPath.isEmpty();
        picture = hasPicture ? atta->thumbPath : QString();
        text = g_locationText(msg);
        break;
    case MSG_TYPE_AUDIO:
        if (atta)
            text = audioText(atta->duration);
        break;
    case MSG_TYPE_STICKER:
        if (atta && fileExists(atta->thumbPath)) {
            hasPicture = true;
            picture = atta->thumbPath;
        } else if (atta) {
            text = msg.summary(_ViberMsg::SUMMARY_READABLE);
        }
        break;
    case MSG_TYPE_TEXT:
        text = msg.summary(_ViberMsg::SUMMARY_READABLE);
        break;
    default:
        return;
    }
    // A message with neither picture nor text still leaves a trace in the
    // printout: its one-line summary ("[IMAGE]", "[AUDIO]", ...).
    if (!hasPicture && text.trimmed().isEmpty())
        text = msg.summary(_ViberMsg::SUMMARY_READABLE);

    if (hasPicture) {
        placeSide(BubbleLayout::forPicture(this->picture(picture), own ? BUBBLE_OWN : BUBBLE_RECEIVED, time, name),
                  own, Item::PICTURE, picture, name);
    }
    if (!text.trimmed().isEmpty())
        printText(text, own, time, name);
}

void ViberMsgPrinterPrivacy::printTitle(const QString& title)
{
    const QString shownTitle = title.simplified();
    if (!m_painter.isActive() || shownTitle.isEmpty())
        return;
    QFont font = msgTextFont();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.5);
    const QFontMetrics metrics(font, m_device);
    const QRect line(m_content.left(), m_y, m_content.width(), metrics.height());
    const QString shown = metrics.elidedText(shownTitle, Qt::ElideRight, line.width());
    m_painter.setFont(font);
    m_painter.setPen(QColor(0x33, 0x33, 0x33));
    m_painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, shown);
    if (m_record)
        m_items.append({Item::TITLE, m_page, line, shown, QString(), false});
    m_y += line.height() + kBubbleGap;
}
