#pragma once

#include <QList>
#include <Qt>

struct _ViberMsg;

// Orders the message list by the column whose header was clicked: the date
// by time; the flag, the contact and the content by the text the list shows,
// compared as the system locale does, with the time deciding between equal
// texts. The list and the bubbles then show the same order.
void g_sortMessageList(QList<_ViberMsg*>& list, int column, Qt::SortOrder order, bool mixedChats);

// A list sorted by date the other way round is brought into the order asked
// for in linear time, exactly as the stable sort would order it; false (the
// list unchanged) when it is not sorted the other way round.
bool g_turnDateOrder(QList<_ViberMsg*>& list, bool descending);
