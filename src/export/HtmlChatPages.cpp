#include "export/HtmlChatPages.h"

#include "export/TextFileWriter.h"
#include "model/ViberTime.h"

#include <QFile>
#include <QUrl>

#include <stdexcept>

namespace HtmlChatPages {
namespace {
QString href(const QString& fileName)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}

const QString kBodyOpen = QStringLiteral("</head><body>\n");
const QString kPageClose = QStringLiteral("</body></html>\n");
const QString kHeadingOpen = QStringLiteral("<h1 class=\"chat-title\">");
const QString kHeadingClose = QStringLiteral("</h1>\n");
const QString kNavOpen = QStringLiteral("<div class=\"pages\">");
const QString kNavClose = QStringLiteral("</div>\n");
// A page is read back whole; one beyond this is not ours.
constexpr qint64 kMaxPageBytes = qint64(1) << 30;

// Splits a page into its head (up to the body), the messages and its end.
bool splitPage(const QString& path, QString& head, QString& body)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxPageBytes)
        return false;
    const QString page = QString::fromUtf8(f.readAll());
    qsizetype start = page.indexOf(kBodyOpen);
    if (start < 0 || !page.endsWith(kPageClose))
        return false;
    start += kBodyOpen.size();
    // The heading belongs to the head: a page continued keeps its one.
    if (QStringView(page).mid(start).startsWith(kHeadingOpen)) {
        const qsizetype headingEnd = page.indexOf(kHeadingClose, start);
        if (headingEnd < 0)
            return false;
        start = headingEnd + kHeadingClose.size();
    }
    const qsizetype headEnd = start;
    qsizetype end = page.size() - kPageClose.size();
    if (end < start)
        return false;
    if (QStringView(page).mid(start).startsWith(kNavOpen)) {
        const qsizetype navEnd = page.indexOf(kNavClose, start);
        const qsizetype lastNav = page.lastIndexOf(kNavOpen, end);
        if (navEnd < 0 || lastNav <= navEnd)
            return false;
        start = navEnd + kNavClose.size();
        end = lastNav;
    }
    head = page.left(headEnd);
    body = page.mid(start, end - start);
    return true;
}

QString documentStart(const QString& title)
{
    // Concatenated, not arg()-ed: a chat title may itself hold "%1".
    return QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                          "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
                          "<html xmlns=\"http://www.w3.org/1999/xhtml\">\n"
                          "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\n"
                          "<title>") +
           title.toHtmlEscaped() +
           QStringLiteral("</title>\n<link href=\"files/style.css\" type=\"text/css\" rel=\"stylesheet\"/>") +
           kBodyOpen;
}

QString link(const QString& fileName, const QString& label, bool active)
{
    if (!active)
        return QStringLiteral("<span class=\"page-off\">%1</span>").arg(label);
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(href(fileName), label);
}
} // namespace

QString pageHead(const QString& title)
{
    // A heading on one line: the page reader finds its end by the line's.
    const QString heading = title.simplified();
    if (heading.isEmpty())
        return documentStart(QStringLiteral("Ferrowick"));
    return documentStart(heading) + kHeadingOpen + heading.toHtmlEscaped() + kHeadingClose;
}

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

bool readPageBody(const QString& path, QString& body)
{
    QString head;
    return splitPage(path, head, body);
}

void replaceNavigation(const QString& path, const QString& html)
{
    QString head, body;
    if (!splitPage(path, head, body))
        throw std::runtime_error(
            QStringLiteral("%1: not a page written by this program; its links were not updated.").arg(path).toStdString());
    TextFileWriter file(path);
    file.open();
    file.write(head);
    file.write(html);
    file.write(body);
    file.write(html);
    file.write(kPageClose);
    file.close();
}

void writeIndex(const QString& path, const QList<IndexEntry>& entries)
{
    TextFileWriter file(path);
    file.open();
    file.write(pageHead(QStringLiteral("All chats")));
    file.write(QStringLiteral(
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
