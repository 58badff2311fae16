#include "ui/ErrorReport.h"

#include "BuildSettings.h"
#include "ui/Tips.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QUrl>

QString base64_var(const QString& value)
{
    QString text = QString::fromLatin1(value.toUtf8().toBase64());
    text.replace(u'/', u'!');
    text.replace(u'=', u'-');
    return text;
}

QByteArray g_errorReportBody(const QString& errorText)
{
    static const QRegularExpression lineBreak(QStringLiteral("< *br */?>"),
                                              QRegularExpression::CaseInsensitiveOption);
    QString err = errorText;
    err.replace(lineBreak, QStringLiteral("\r\n"));
    err.replace(QLatin1String("&lt;"), QLatin1String("<"));
    err.replace(QLatin1String("&gt;"), QLatin1String(">"));
    const QString version =
        QStringLiteral("%1(%2)").arg(QLatin1String(FERROWICK_VERSION_TEXT)).arg(FERROWICK_BUILD_NUMBER);
    // The encoded values hold only letters, digits, "+", "!" and "-"; "+" is
    // the one character form encoding would read as a space.
    auto field = [](const QString& v) { return QUrl::toPercentEncoding(base64_var(v), "!-"); };
    return "prod=" + field(g_productName()) + "&ver=" + field(version) + "&err=" + field(err);
}

bool g_webHostConfigured()
{
    return !QByteArray(FERROWICK_WEB_HOST).trimmed().isEmpty();
}

QUrl g_webUrl(const QString& host, const QString& pathAndQuery)
{
    // The host may carry a port ("example.org:8443").
    const qsizetype query = pathAndQuery.indexOf(u'?');
    QUrl url(QStringLiteral("https://") + host.trimmed(), QUrl::StrictMode);
    url.setPath(query < 0 ? pathAndQuery : pathAndQuery.left(query));
    if (query >= 0)
        url.setQuery(pathAndQuery.mid(query + 1));
    return url;
}

QUrl g_webUrl(const QString& pathAndQuery)
{
    return g_webUrl(QString::fromLatin1(FERROWICK_WEB_HOST), pathAndQuery);
}

bool g_isSecureLink(const QByteArray& link)
{
    const QUrl url(QString::fromUtf8(link.trimmed()), QUrl::StrictMode);
    return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty();
}

void report_err(const QString& errorText)
{
    if (!g_webHostConfigured())
        return;
    static QNetworkAccessManager* manager = new QNetworkAccessManager;
    QNetworkRequest request(g_webUrl(QStringLiteral("/err_report.php")));
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    QNetworkReply* reply = manager->post(request, g_errorReportBody(errorText));
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}
