#include "ui/MessageListSort.h"

#include "model/ViberRecords.h"
#include "ui/ItemModelSms.h"

#include <QCollator>
#include <QCollatorSortKey>

#include <algorithm>
#include <vector>

bool g_turnDateOrder(QList<_ViberMsg*>& list, bool descending)
{
    if (!std::is_sorted(list.cbegin(), list.cend(), descending ? compareViberMsgAsc : compareViberMsgDesc))
        return false;
    // Reversed, then each run of one time put back in its order: what the
    // stable sort gives, in two passes instead of a sort of a million.
    std::reverse(list.begin(), list.end());
    for (auto run = list.begin(); run != list.end();) {
        auto end = std::next(run);
        while (end != list.end() && (*end)->date == (*run)->date)
            ++end;
        std::reverse(run, end);
        run = end;
    }
    return true;
}

void g_sortMessageList(QList<_ViberMsg*>& list, int column, Qt::SortOrder order, bool mixedChats)
{
    const bool descending = order == Qt::DescendingOrder;
    if (column <= ItemModelSms::COL_DATE || column >= ItemModelSms::COLUMN_COUNT) {
        if (!g_turnDateOrder(list, descending))
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
