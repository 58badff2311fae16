#pragma once

#include "model/ViberRecords.h"

#include <QList>
#include <QString>
#include <QStringList>

class ExportOutput;

// Splits a long chat's HTML into pages a browser can still open, and lists
// every chat on an index page.
namespace HtmlChatPages {

constexpr int kDefaultPageSize = 5000;
constexpr const char* kIndexName = "index.html";

// How many pages hold count messages at pageSize per page (at least one).
qint64 pageCount(qint64 count, qint64 pageSize);

// The file name of page (0-based) of a chat whose first page is firstName:
// "Anna.html", "Anna-page2.html", ...
QString pageName(const QString& firstName, qint64 page);

// The links at the top and bottom of one page of a multi-page chat: first,
// previous, "page k of n", next, last, and the index. pages holds every page's
// file name. Empty for a chat of one page, whose page stays as it always was.
QString navigation(const QStringList& pages, qint64 page);

// The start of a page up to its body, with title as the page's title and,
// when not empty, as the heading that opens the body.
QString pageHead(const QString& title);

// The messages' markup of a page written by the HTML export: what lies between
// its head and navigation and its closing navigation. False when the file
// cannot be read or is not shaped like one of our pages.
bool readPageBody(const QString& path, QString& body);

// Replaces the navigation of a page written by the HTML export (a page of one
// had none) with html; raises std::runtime_error when it cannot.
void replaceNavigation(const QString& path, const QString& html);

// One line of the index.
struct IndexEntry
{
    QString title;     // the chat's title (its own name, else its members)
    QString firstPage; // file name of its first page
    qint64 messages = 0;
    qint64 pages = 0;
    double first = 0; // record times of its oldest and newest message
    double last = 0;
};

// Writes the index page (raises std::runtime_error when it cannot).
void writeIndex(const QString& path, const QList<IndexEntry>& entries);

} // namespace HtmlChatPages
