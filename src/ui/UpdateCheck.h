#pragma once

#include <QDir>
#include <QObject>

class QNetworkAccessManager;
class QNetworkReply;

// The once-a-day check for a newer version on the maker's web server. It
// stays off while the build names no host.
class UpdateCheck : public QObject
{
    Q_OBJECT
public:
    // dataDir keeps the time of the last check and the maker's last notice.
    explicit UpdateCheck(const QDir& dataDir, QObject* parent = nullptr);

    // Starts the check when a host is configured and the last check (the
    // file "last-check-version-time") is more than a day old. Returns whether
    // requests went out.
    bool start();

    // Whether a check is due at nowSecs (seconds since 1970): the file is
    // missing, unreadable, holds no positive number, or a time more than
    // 86400 seconds ago. A time in the future does not count as recent.
    static bool isDue(const QDir& dataDir, qint64 nowSecs);

    // Handles the answer of the version request: records the time of the
    // check and, when the body is a download link, asks the user and opens it.
    void handleVersionAnswer(int status, const QByteArray& body, qint64 nowSecs);
    // Keeps the maker's notice (an anchor, restyled) in "last-adv".
    void handleNoticeAnswer(int status, const QByteArray& body);

signals:
    // The user chose to download a new version; the main window closes.
    void quitRequested();

private:
    QNetworkReply* get(const QString& pathAndQuery);

    QDir m_dataDir;
    QNetworkAccessManager* m_net = nullptr;
};
