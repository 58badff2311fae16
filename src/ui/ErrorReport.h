#pragma once

#include <QByteArray>
#include <QString>

// Base64 of the UTF-8 bytes with "/" turned into "!" and "=" into "-", the
// encoding of every value of the error report.
QString base64_var(const QString& value);

// The form-encoded body of an error report for an error text as shown in a
// message box (HTML line breaks become CR LF, &lt; and &gt; become < and >).
QByteArray g_errorReportBody(const QString& errorText);

// Whether error reports and the update check can reach the maker's web server:
// false while the build names no host.
bool g_webHostConfigured();

// Sends an error report to the maker's web server, fire-and-forget: nothing
// is read back and no failure is shown. Does nothing while no host is
// configured.
void report_err(const QString& errorText);
