#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// Base64 of the UTF-8 bytes with "/" turned into "!" and "=" into "-", the
// encoding of every value of the error report.
QString base64_var(const QString& value);

// The form-encoded body of an error report for an error text as shown in a
// message box (HTML line breaks become CR LF, &lt; and &gt; become < and >).
QByteArray g_errorReportBody(const QString& errorText);

// Whether error reports and the update check can reach the maker's web server:
// false while the build names no host.
bool g_webHostConfigured();

// The address of a page of the maker's web server host (path starts with
// "/", a query may follow "?"): always HTTPS (on the host's port if it
// names one, else the default).
QUrl g_webUrl(const QString& host, const QString& pathAndQuery);
// The same on the configured host.
QUrl g_webUrl(const QString& pathAndQuery);
// Whether a link the server sent may be opened: an HTTPS address with a host
// (a plain http:// link could be changed on its way).
bool g_isSecureLink(const QByteArray& link);

// Sends an error report to the maker's web server, fire-and-forget: nothing
// is read back and no failure is shown. Does nothing while no host is
// configured.
void report_err(const QString& errorText);
