#pragma once

#include "render/BubbleHtml.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QWebEngineView;
struct _ViberMsg;

using ViberMsgList = QList<_ViberMsg*>;

// The reading pane: shows a message list as chat bubbles in the web view, one
// page of messages at a time, scrolls to the anchor a page change or a
// selected message asks for, and answers clicks on the page's links. Without
// a view it keeps the same state and the last page it built, which is what
// tests look at.
class VBBubbleViewMgr : public QObject
{
    Q_OBJECT
public:
    explicit VBBubbleViewMgr(QObject* parent = nullptr);

    // Keeps the view (not owned) and gives it a page whose link clicks come
    // here instead of navigating.
    void setWebview(QWebEngineView* view);
    QWebEngineView* webview() const { return m_view; }

    // Folders whose files a click may open or save: those of the source the
    // messages come from. A link to any other file is refused.
    void setSourceFolders(const QStringList& folders);

    // The next lists hold the messages of several chats: bubbles name them.
    void setMixedChats(bool mixed) { m_options.nameChats = mixed; }

    // How files and web addresses are handed to the desktop; tests replace it.
    void setOpener(std::function<bool(const QUrl&)> opener);

    int currentPage() const { return m_curPage; }
    int pageCount() const { return m_pageCount; }
    QString anchor() const { return m_anchor; }
    const QString& pageHtml() const { return m_pageHtml; }
    int pageLoads() const { return m_pageLoads; }
    // The anchor of the last scroll asked of the view.
    QString scrolledTo() const { return m_scrolledTo; }
    // The anchor of the message marked as the one selected or found; empty
    // when none is.
    QString highlighted() const { return m_highlight; }

    void gotoPage(int page);

public slots:
    void showBubble(const ViberMsgList& smslist);
    void onLoadFinish(bool ok);
    void onLinkClicked(const QUrl& url);
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void scrollToPos(int ipos);

signals:
    // A page was built and handed to the view (or would have been).
    void pageShown(int page);

private:
    void load(const QString& html);
    void scrollToAnchor();
    bool insideSourceFolders(const QString& path) const;
    void openLocalFile(const QString& path);

    QWebEngineView* m_view = nullptr;
    ViberMsgList m_msgs;
    int m_curPage = 0;
    int m_pageCount = 0;
    QString m_anchor;
    QString m_pageHtml;
    int m_pageLoads = 0;
    QString m_scrolledTo;
    QString m_highlight;
    BubbleHtmlOptions m_options = BubbleHtmlOptions::forView();
    QStringList m_sourceFolders;
    std::function<bool(const QUrl&)> m_opener;
};
