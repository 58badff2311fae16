#include "ui/MessageListSort.h"

#include "model/ViberRecords.h"
#include "ui/ItemModelSms.h"

#include <QCollator>
#include <QCollatorSortKey>

#include <algorithm>
#include <vector>

void g_sortMessageList(QList<_ViberMsg*>& list, int column, Qt::SortOrder order, bool mixedChats)
{
    const bool descending = order == Qt::DescendingOrder;
    if (column <= ItemModelSms::COL_DATE || column >= ItemModelSms::COLUMN_COUNT) {
        std::stable_sort(list.begin(), list.end(), descending ? compareViberMsgDesc : compareViberMsgAsc);
        return;
    }
    // One sort key per message, made once: building texts inside the
    // comparison would cost a million look-ups many times over.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    struct Entry
    {
        QCollatorSortKey key;
        _ViberMsg* msg;
    };
    std::vector<Entry> entries;
    entries.reserve(size_t(list.size()));
    for (_ViberMsg* m : list)
        entries.push_back({collator.sortKey(ItemModelSms::cellText(m, column, mixedChats)), m});
    std::stable_sort(entries.begin(), entries.end(), [descending](const Entry& a, const Entry& b) {
        const int c = a.key.compare(b.key);
        if (c != 0)
            return descending ? c > 0 : c < 0;
        return a.msg->date < b.msg->date;
    });
    for (qsizetype i = 0; i < list.size(); ++i)
        list[i] = entries[size_t(i)].msg;
}
