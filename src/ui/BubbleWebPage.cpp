#include "ui/BubbleWebPage.h"

#include "BuildSettings.h"

#include <QWebEngineSettings>

BubbleWebPage::BubbleWebPage(QObject* parent) : QWebEnginePage(parent)
{
    QWebEngineSettings* s = settings();
    // The page is built from a store's texts: nothing in it may run.
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    // Map and sticker pictures come from the servers a build names; without
    // one the page reaches nothing outside the computer.
    const bool remote = !QStringLiteral(FERROWICK_MAP_HOST).isEmpty() ||
                        !QStringLiteral(FERROWICK_STICKER_HOST).isEmpty();
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, remote);
}

bool BubbleWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (type == NavigationTypeLinkClicked || !isMainFrame) {
        if (type == NavigationTypeLinkClicked)
            emit linkClicked(url);
        return false;
    }
    // Only the application's own page loads (setHtml gives a data: URL).
    return type == NavigationTypeTyped || type == NavigationTypeOther || type == NavigationTypeReload;
}

QWebEnginePage* BubbleWebPage::createWindow(WebWindowType)
{
    return nullptr;
}
