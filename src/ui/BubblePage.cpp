#include "ui/BubblePage.h"

#include "model/ViberRecords.h"

namespace {
QString pageHead()
{
    return QStringLiteral(
        "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
        "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />"
        "<title>Bubble</title>"
        "<link href=\"vbbb/style.css\" type=\"text/css\" rel=\"stylesheet\"/>"
        "</head><body><a name=\"start\"></a>");
}

QString pageTail()
{
    return QStringLiteral("<a name=\"end\"></a></body></html>");
}
} // namespace

int bubblePageCount(qsizetype count)
{
    return count <= 0 ? 0 : int((count + kBubblePageSize - 1) / kBubblePageSize);
}

int bubblePageOfRow(qsizetype row)
{
    return int(row / kBubblePageSize) + 1;
}

QString bubbleMessageAnchor(const _ViberMsg& m)
{
    return QStringLiteral("sms_%1").arg(m.id);
}

QString bubbleEmptyPageHtml()
{
    return pageHead() + pageTail();
}

QString bubblePageHtml(const QList<_ViberMsg*>& msgs, int page, const BubbleHtmlOptions& options)
{
    const int pages = bubblePageCount(msgs.size());
    if (page < 1 || page > pages)
        return bubbleEmptyPageHtml();
    QString h = pageHead();
    if (page > 1)
        h += QStringLiteral("<p class=\"page_link\"><a href=\"/pre_page\">&lt;&lt;Previous Page</a></p>");
    const qsizetype first = qsizetype(page - 1) * kBubblePageSize;
    const qsizetype end = qMin<qsizetype>(first + kBubblePageSize, msgs.size());
    QDate lastDate;
    for (qsizetype i = first; i < end; ++i) {
        const _ViberMsg* m = msgs.at(i);
        if (!m)
            continue;
        h += QStringLiteral("<a name=\"%1\"></a>").arg(bubbleMessageAnchor(*m));
        h += messageSequenceHtml(*m, lastDate, options);
    }
    if (page < pages)
        h += QStringLiteral("<p class=\"page_link\"><a href=\"/next_page\">&gt;&gt;Next Page</a></p>");
    return h + pageTail();
}
