#include "ui/VBBubbleViewMgr.h"

#include "render/BubbleResources.h"
#include "model/ViberRecords.h"
#include "shell/UserTexts.h"
#include "ui/BubblePage.h"
#include "ui/BubbleWebPage.h"
#include "ui/FileDialogs.h"
#include "ui/Tips.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace {
// Suffixes the desktop opens directly; anything else is offered for saving.
// Case matters: an upper-case suffix is saved, as it always was.
const QStringList& openableSuffixes()
{
    static const QStringList list = QString::fromLatin1("jpg jpeg png bmp gif mp3 mp4 mov").split(u' ');
    return list;
}

// "..." and the last three parts of the path, or the whole path when shorter.
QString shortPath(const QString& path)
{
    const QStringList parts = path.split(u'/');
    if (parts.size() <= 3)
        return path;
    return QStringLiteral("...") + parts.mid(parts.size() - 3).join(u'/');
}

QUrl pageBaseUrl()
{
    QString dir = g_bubbleSrcDir();
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return QUrl::fromLocalFile(dir);
}
} // namespace

VBBubbleViewMgr::VBBubbleViewMgr(QObject* parent)
    : QObject(parent), m_opener([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
}

void VBBubbleViewMgr::setWebview(QWebEngineView* view)
{
    m_view = view;
    if (!view)
        return;
    auto* page = new BubbleWebPage(view);
    view->setPage(page);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    connect(page, &QWebEnginePage::loadFinished, this, &VBBubbleViewMgr::onLoadFinish);
    connect(page, &BubbleWebPage::linkClicked, this, &VBBubbleViewMgr::onLinkClicked);
    load(bubbleEmptyPageHtml());
}

void VBBubbleViewMgr::setSourceFolders(const QStringList& folders)
{
    m_sourceFolders.clear();
    for (const QString& f : folders) {
        const QString canonical = QFileInfo(f).canonicalFilePath();
        if (!canonical.isEmpty())
            m_sourceFolders << canonical;
    }
}

void VBBubbleViewMgr::setOpener(std::function<bool(const QUrl&)> opener)
{
    m_opener = std::move(opener);
}

void VBBubbleViewMgr::showBubble(const ViberMsgList& smslist)
{
    m_msgs = smslist;
    m_highlight.clear();
    m_pageCount = bubblePageCount(m_msgs.size());
    if (m_pageCount == 0) {
        m_curPage = 0;
        m_anchor.clear();
        load(bubbleEmptyPageHtml());
        return;
    }
    m_anchor = QStringLiteral("start");
    gotoPage(1);
}

void VBBubbleViewMgr::gotoPage(int page)
{
    if (page < 1 || page > m_pageCount)
        return;
    m_curPage = page;
    load(bubblePageHtml(m_msgs, page, m_options));
    emit pageShown(page);
}

void VBBubbleViewMgr::load(const QString& html)
{
    m_pageHtml = html;
    ++m_pageLoads;
    if (m_view)
        m_view->page()->setHtml(html, pageBaseUrl());
}

void VBBubbleViewMgr::firstPage()
{
    m_anchor = QStringLiteral("start");
    gotoPage(1);
}

void VBBubbleViewMgr::lastPage()
{
    m_anchor = QStringLiteral("end");
    gotoPage(m_pageCount);
}

void VBBubbleViewMgr::nextPage()
{
    if (m_curPage < 1 || m_curPage >= m_pageCount)
        return;
    m_anchor = QStringLiteral("start");
    gotoPage(m_curPage + 1);
}

void VBBubbleViewMgr::previousPage()
{
    if (m_curPage < 2)
        return;
    m_anchor = QStringLiteral("end");
    gotoPage(m_curPage - 1);
}

void VBBubbleViewMgr::scrollToPos(int ipos)
{
    if (ipos < 0 || ipos >= m_msgs.size() || !m_msgs.at(ipos))
        return;
    m_anchor = bubbleMessageAnchor(*m_msgs.at(ipos));
    m_highlight = m_anchor;
    const int page = bubblePageOfRow(ipos);
    if (page == m_curPage)
        scrollToAnchor();
    else
        gotoPage(page);
}

void VBBubbleViewMgr::onLoadFinish(bool ok)
{
    // A refused link navigation reports a failed load: the page did not change.
    if (ok && !m_anchor.isEmpty())
        scrollToAnchor();
}

void VBBubbleViewMgr::scrollToAnchor()
{
    m_scrolledTo = m_anchor;
    if (!m_view)
        return;
    // Runs in the application's own script world, which stays available while
    // the page's scripts are off. The anchors are "start", "end" or
    // "sms_<id>". The selected (or found) message's bubble is marked; the
    // message's markup follows its anchor up to the next message's anchor.
    const QString script =
        QStringLiteral("(function(){var a=document.getElementsByName('%1')[0];if(a)a.scrollIntoView(true);"
                       "var old=document.querySelectorAll('.found');"
                       "for(var i=0;i<old.length;i++)old[i].classList.remove('found');"
                       "var h=document.getElementsByName('%2')[0];if(!h)return;"
                       "for(var n=h.nextElementSibling;n&&n.tagName!='A';n=n.nextElementSibling){"
                       "if(n.classList.contains('bb1')||n.classList.contains('bb2')){n.classList.add('found');return;}"
                       "var last=n;}"
                       "if(typeof last!=='undefined'){var r=last.querySelector('.r');if(r)r.classList.add('found');}"
                       "})()")
            .arg(m_anchor, m_highlight);
    m_view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld);
}

bool VBBubbleViewMgr::insideSourceFolders(const QString& path) const
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return false;
    for (const QString& folder : m_sourceFolders) {
        if (canonical.startsWith(folder + u'/'))
            return true;
    }
    return false;
}

void VBBubbleViewMgr::onLinkClicked(const QUrl& url)
{
    if (url.isLocalFile() || url.scheme().isEmpty()) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : url.path();
        if (path == QLatin1String("/pre_page")) {
            previousPage();
            return;
        }
        if (path == QLatin1String("/next_page")) {
            nextPage();
            return;
        }
        if (url.isLocalFile())
            openLocalFile(path);
        return;
    }
    // Maps and stickers: to the browser. Nothing else a page may hold
    // (javascript:, data:, ...) is handed on.
    if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) {
        if (!url.host().isEmpty())
            m_opener(url);
    }
}

void VBBubbleViewMgr::openLocalFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() <= 0) {
        Tips::warning(ids("IDS_CAN_NOT_FIND_%1").arg(shortPath(path).toHtmlEscaped()));
        return;
    }
    // A store names its attachment files; a crafted one must not make a click
    // open or copy a file elsewhere on the computer.
    if (!insideSourceFolders(path)) {
        Tips::warning(ids("IDS_CAN_NOT_FIND_%1").arg(shortPath(path).toHtmlEscaped()));
        return;
    }
    const QString suffix = info.suffix().trimmed();
    if (!suffix.isEmpty() && openableSuffixes().contains(suffix, Qt::CaseSensitive)) {
        m_opener(QUrl::fromLocalFile(info.canonicalFilePath()));
        return;
    }
    const QString target = g_getSaveFileName(m_view, ids("IDS_SAVE_ATTACHMENT"),
                                             QDir::home().filePath(info.fileName()), QString());
    if (target.isEmpty())
        return;
    if (QFileInfo(target).canonicalFilePath() == info.canonicalFilePath()) {
        Tips::info(ids("IDS_SAVE_ATTACHMENT_SUC"));
        return;
    }
    if (QFileInfo::exists(target))
        QFile::remove(target);
    if (QFile::copy(info.canonicalFilePath(), target))
        Tips::info(ids("IDS_SAVE_ATTACHMENT_SUC"));
    else
        Tips::error(ids("IDS_SAVE_ATTACHMENT_FILE_ERROR"));
}
