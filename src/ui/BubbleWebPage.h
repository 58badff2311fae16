#pragma once

#include <QUrl>
#include <QWebEnginePage>

// The page of the bubble view. Clicked links never navigate: they are handed
// to the application, which decides what a click means. Pages loaded by the
// application itself (setHtml) pass.
class BubbleWebPage : public QWebEnginePage
{
    Q_OBJECT
public:
    explicit BubbleWebPage(QObject* parent = nullptr);

signals:
    void linkClicked(const QUrl& url);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
};
