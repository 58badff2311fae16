#include "ui/UpdateCheck.h"

#include "BuildSettings.h"
#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/UserTexts.h"
#include "ui/ErrorReport.h"
#include "ui/Tips.h"

#include <QDateTime>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

namespace {
const char* const kLastCheckFile = "last-check-version-time";
const char* const kLastNoticeFile = "last-adv";

bool replaceFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    return file.commit();
}
} // namespace

UpdateCheck::UpdateCheck(const QDir& dataDir, QObject* parent) : QObject(parent), m_dataDir(dataDir) {}

bool UpdateCheck::isDue(const QDir& dataDir, qint64 nowSecs)
{
    QFile file(dataDir.filePath(QLatin1String(kLastCheckFile)));
    if (!file.open(QIODevice::ReadOnly))
        return true;
    bool ok = false;
    const qint64 last = file.read(64).trimmed().toLongLong(&ok);
    if (!ok || last <= 0)
        return true;
    // Unsigned difference: a time in the future counts as long ago.
    return quint64(nowSecs - last) >= 86401u;
}

bool UpdateCheck::start()
{
    if (!g_webHostConfigured() || !isDue(m_dataDir, QDateTime::currentSecsSinceEpoch()))
        return false;
    if (!m_net)
        m_net = new QNetworkAccessManager(this);
    const QString pid = QString::fromLatin1(kProductId);
    QNetworkReply* version =
        get(QStringLiteral("/sms_check_update.php?pid=%1&ver=%2&q=1").arg(pid).arg(FERROWICK_BUILD_NUMBER));
    connect(version, &QNetworkReply::finished, this, [this, version] {
        handleVersionAnswer(version->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                            version->readAll(), QDateTime::currentSecsSinceEpoch());
    });
    QNetworkReply* notice = get(QStringLiteral("/adv.php?pid=%1").arg(pid));
    connect(notice, &QNetworkReply::finished, this, [this, notice] {
        handleNoticeAnswer(notice->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                           notice->readAll());
    });
    return true;
}

QNetworkReply* UpdateCheck::get(const QString& pathAndQuery)
{
    QNetworkReply* reply = m_net->get(QNetworkRequest(g_webUrl(pathAndQuery)));
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    return reply;
}

void UpdateCheck::handleVersionAnswer(int status, const QByteArray& body, qint64 nowSecs)
{
    replaceFile(m_dataDir.filePath(QLatin1String(kLastCheckFile)), QByteArray::number(nowSecs));
    const QByteArray link = body.trimmed();
    if (status != 200 || !g_isSecureLink(link))
        return;
    if (!Tips::question(ids("IDS_NEW_VERSION_%1").arg(g_productName())))
        return;
    g_openLink(QString::fromUtf8(link));
    emit quitRequested();
}

void UpdateCheck::handleNoticeAnswer(int status, const QByteArray& body)
{
    QString anchor = QString::fromUtf8(body);
    if (status != 200 || !anchor.startsWith(QLatin1String("<a"), Qt::CaseInsensitive))
        return;
    static const QRegularExpression start(QStringLiteral("^<a"), QRegularExpression::CaseInsensitiveOption);
    anchor.replace(
        start, QStringLiteral("<a style=\"color:%1;text-decoration:none;\"").arg(QLatin1String("#FF8B00")));
    replaceFile(m_dataDir.filePath(QLatin1String(kLastNoticeFile)), anchor.toUtf8());
}
