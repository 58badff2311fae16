#pragma once

#include "render/BubbleHtml.h"

#include <QList>
#include <QString>

struct _ViberMsg;

// The bubble view shows a chat this many messages at a time, so a page costs
// the same whatever the length of the chat.
constexpr int kBubblePageSize = 50;

// Pages needed for count messages (0 for none).
int bubblePageCount(qsizetype count);
// The 1-based page that shows the 0-based row.
int bubblePageOfRow(qsizetype row);

// The anchor of one message on the page.
QString bubbleMessageAnchor(const _ViberMsg& m);

// The whole document of page `page` (1-based) of msgs: an anchor "start",
// a link to the previous page unless it is the first, every message of the
// page with its own anchor and date boxes where the day changes, a link to the
// next page unless it is the last, and an anchor "end". Only the page's own
// messages are rendered. A page outside 1 … page count gives an empty page.
QString bubblePageHtml(const QList<_ViberMsg*>& msgs, int page,
                       const BubbleHtmlOptions& options = BubbleHtmlOptions::forView());

// The page shown when there is nothing to show.
QString bubbleEmptyPageHtml();
