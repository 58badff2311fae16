#include "ui/MessageListSort.h"

#include "model/ViberRecords.h"
#include "ui/ItemModelSms.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QHash>

#include <algorithm>
#include <numeric>
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
            g_stableSortByDate(list, descending);
        return;
    }
    // One sort key per distinct text, made once: building texts inside the
    // comparison would cost a million look-ups many times over, and a column
    // such as the contact repeats a few hundred texts a million times. The
    // texts get ranks in the collator's order (texts it holds equal share
    // one), and the messages are sorted by rank, then time.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    QHash<QString, int> slotOfText;
    std::vector<QCollatorSortKey> keys;
    std::vector<int> slotOfMsg;
    slotOfMsg.reserve(size_t(list.size()));
    for (const _ViberMsg* m : std::as_const(list)) {
        const QString text = ItemModelSms::cellText(m, column, mixedChats);
        auto it = slotOfText.constFind(text);
        if (it == slotOfText.cend()) {
            it = slotOfText.insert(text, int(keys.size()));
            keys.push_back(collator.sortKey(text));
        }
        slotOfMsg.push_back(*it);
    }
    std::vector<int> byKey(keys.size());
    std::iota(byKey.begin(), byKey.end(), 0);
    std::sort(byKey.begin(), byKey.end(), [&keys](int a, int b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
    std::vector<int> rank(keys.size());
    for (size_t k = 0, r = 0; k < byKey.size(); ++k) {
        if (k > 0 && keys[size_t(byKey[k - 1])].compare(keys[size_t(byKey[k])]) != 0)
            ++r;
        rank[size_t(byKey[k])] = int(r);
    }
    struct Entry
    {
        int rank;
        _ViberMsg* msg;
    };
    std::vector<Entry> entries;
    entries.reserve(size_t(list.size()));
    for (qsizetype i = 0; i < list.size(); ++i)
        entries.push_back({rank[size_t(slotOfMsg[size_t(i)])], list[i]});
    std::stable_sort(entries.begin(), entries.end(), [descending](const Entry& a, const Entry& b) {
        if (a.rank != b.rank)
            return descending ? a.rank > b.rank : a.rank < b.rank;
        return a.msg->date < b.msg->date;
    });
    for (qsizetype i = 0; i < list.size(); ++i)
        list[i] = entries[size_t(i)].msg;
}
