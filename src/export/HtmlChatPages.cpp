#include "export/HtmlChatPages.h"

#include "export/TextFileWriter.h"
#include "model/ViberTime.h"

#include <QUrl>

namespace HtmlChatPages {
namespace {
QString href(const QString& fileName)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}

QString link(const QString& fileName, const QString& label, bool active)
{
    if (!active)
        return QStringLiteral("<span class=\"page-off\">%1</span>").arg(label);
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(href(fileName), label);
}
} // namespace

qint64 pageCount(qint64 count, qint64 pageSize)
{
    if (pageSize <= 0 || count <= 0)
        return 1;
    return (count + pageSize - 1) / pageSize;
}

QString pageName(const QString& firstName, qint64 page)
{
    if (page == 0)
        return firstName;
    QString stem = firstName;
    if (stem.endsWith(QLatin1String(".html")))
        stem.chop(5);
    return QStringLiteral("%1-page%2.html").arg(stem).arg(page + 1);
}

QString navigation(const QStringList& pages, qint64 page)
{
    const qint64 n = pages.size();
    if (n <= 1)
        return QString();
    QString out = QStringLiteral("<div class=\"pages\">");
    out += link(pages.first(), QStringLiteral("&laquo; First"), page > 0) + u' ';
    out += link(pages.value(page - 1), QStringLiteral("&lsaquo; Previous"), page > 0) + u' ';
    out += QStringLiteral("<span class=\"page-now\">Page %1 of %2</span> ").arg(page + 1).arg(n);
    out += link(pages.value(page + 1), QStringLiteral("Next &rsaquo;"), page + 1 < n) + u' ';
    out += link(pages.last(), QStringLiteral("Last &raquo;"), page + 1 < n) + u' ';
    out += link(QLatin1String(kIndexName), QStringLiteral("All chats"), true);
    out += QStringLiteral("</div>\n");
    return out;
}

void writeIndex(const QString& path, const QList<IndexEntry>& entries)
{
    TextFileWriter file(path);
    file.open();
    file.write(QStringLiteral(
        "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
        "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\">\n"
        "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\n"
        "<title>Ferrowick</title>\n"
        "<link href=\"files/style.css\" type=\"text/css\" rel=\"stylesheet\"/></head><body>\n"
        "<table class=\"chat-index\">\n"
        "<tr><th>Chat</th><th>Messages</th><th>Pages</th><th>From</th><th>To</th></tr>\n"));
    LocalTimeConverter time;
    const QString format = QStringLiteral("yyyy-MM-dd hh:mm");
    for (const IndexEntry& e : entries) {
        // Concatenated, not arg()-ed: a chat title may itself hold "%1".
        file.write(QStringLiteral("<tr><td><a href=\"") + href(e.firstPage) + QStringLiteral("\">") +
                   e.title.toHtmlEscaped() + QStringLiteral("</a></td><td>") + QString::number(e.messages) +
                   QStringLiteral("</td><td>") + QString::number(e.pages) + QStringLiteral("</td><td>") +
                   time.toLocal(e.first).toString(format) + QStringLiteral("</td><td>") +
                   time.toLocal(e.last).toString(format) + QStringLiteral("</td></tr>\n"));
    }
    file.write(QStringLiteral("</table>\n</body></html>\n"));
    file.close();
}

} // namespace HtmlChatPages
