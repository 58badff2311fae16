#pragma once

#include "render/BubblePainter.h"

#include <QDate>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QRect>
#include <QString>

class QPagedPaintDevice;
struct _ViberMsg;

// Paints messages as a conversation of chat bubbles onto the pages of a
// printer or PDF writer: received messages on the left, own ones on the
// right, dates, calls and system messages centred, pages numbered at the
// bottom right. Coordinates are device pixels inside the page margins.
class ViberMsgPrinterPrivacy
{
public:
    // One placed bubble, kept when layout recording is on (tests, previews).
    struct Item
    {
        enum Kind { DATE, CENTER, TEXT, PICTURE, TITLE };
        Kind kind;
        int page;
        QRect rect;
        QString text; // the text of date, centre and text bubbles
        QString name; // sender name shown in the bubble, if any
        bool own;
    };

    ViberMsgPrinterPrivacy() = default;
    ~ViberMsgPrinterPrivacy();
    ViberMsgPrinterPrivacy(const ViberMsgPrinterPrivacy&) = delete;
    ViberMsgPrinterPrivacy& operator=(const ViberMsgPrinterPrivacy&) = delete;

    // Starts painting on device: first page filled and numbered. Raises
    // std::runtime_error when painting cannot begin (e.g. an unwritable file).
    void reset(QPagedPaintDevice* device);
    void print(const _ViberMsg& msg);
    // A heading naming the chat, at the top of the first page (cut to the
    // page's width).
    void printTitle(const QString& title);
    // Finishes the document; raises std::runtime_error when the device reports
    // a failure. Safe to call twice.
    void end();

    // Starts a new page unless h pixels still fit below y; a fresh page is
    // never left blank for a bubble that could not fit on any page.
    void checkAndNextPage(int h);

    bool isActive() const { return m_painter.isActive(); }
    int page() const { return m_page; }
    int y() const { return m_y; }
    QRect contentRect() const { return m_content; }

    void setRecordLayout(bool on) { m_record = on; }
    const QList<Item>& layout() const { return m_items; }

private:
    void startPage();
    void drawPageNumber();
    int bubbleWidth() const;
    void place(const BubbleLayout& bubble, int x, Item::Kind kind, const QString& text, const QString& name, bool own);
    void placeCentered(const QString& text, Item::Kind kind);
    // Places the date separator held back for the day's first bubble.
    void flushPendingDate();
    void placeSide(const BubbleLayout& bubble, bool own, Item::Kind kind, const QString& text, const QString& name);
    QImage picture(const QString& path);
    void printText(const QString& text, bool own, const QString& time, const QString& name);

    QPagedPaintDevice* m_device = nullptr;
    QPainter m_painter;
    QRect m_content;
    QRect m_sheet; // the whole page, margins included, in painter coordinates
    int m_y = 0;
    int m_page = 1;
    QDate m_lastDate;
    // A day's separator waits for the day's first bubble, so that the two
    // start a page together rather than the separator ending one alone.
    QString m_pendingDate;
    bool m_record = false;
    QList<Item> m_items;
    // Pictures by file, ready to paint: one picture shown twice is the same
    // image, which a PDF embeds once.
    QHash<QString, QImage> m_pictures;
};
