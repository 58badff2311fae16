#include "CommandOptions.h"

#include "export/ExportDateRange.h"

#include <QFileInfo>


bool g_requireOption(CliContext& ctx, const QString& name, QString& value, int& exitCode)
{
    value = ctx.parser.value(name);
    if (!value.trimmed().isEmpty())
        return true;
    exitCode = ctx.usage(QStringLiteral("--%1 is required").arg(name));
    return false;
}

QString g_pathKindError(const QString& option, const QString& path, bool wantFolder)
{
    const QFileInfo info(path);
    QString why;
    if (!info.exists())
        why = QStringLiteral("no such file or folder");
    else if (wantFolder && !info.isDir())
        why = QStringLiteral("is a file, expected a folder");
    else if (!wantFolder && info.isDir())
        why = QStringLiteral("is a folder, expected a file");
    else if (!wantFolder && !info.isFile())
        why = QStringLiteral("is not a regular file");
    return why.isEmpty() ? QString() : QStringLiteral("--%1 %2: %3").arg(option, path, why);
}

QList<QCommandLineOption> g_dateRangeOptions()
{
    return {QCommandLineOption(QStringLiteral("since"),
                               QStringLiteral("Only messages at or after DATE (local time: yyyy-MM-dd, "
                                              "yyyy-MM-ddThh:mm or \"yyyy-MM-dd hh:mm:ss\")."),
                               QStringLiteral("DATE")),
            QCommandLineOption(QStringLiteral("until"),
                               QStringLiteral("Only messages before DATE (local time, as for --since)."),
                               QStringLiteral("DATE"))};
}

bool g_readDateRange(CliContext& ctx, ExportDateRange& range, int& exitCode)
{
    range = ExportDateRange();
    for (const char* name : {"since", "until"}) {
        const QString option = QLatin1String(name);
        if (!ctx.parser.isSet(option))
            continue;
        double t = 0;
        QString error;
        if (!ExportDateRange::parseLocal(ctx.parser.value(option), t, error)) {
            exitCode = ctx.usage(
                QStringLiteral("--%1: '%2' is not a date: %3").arg(option, ctx.parser.value(option), error));
            return false;
        }
        (option == QLatin1String("since") ? range.since : range.until) = t;
    }
    if (range.since && range.until && *range.since >= *range.until) {
        exitCode = ctx.usage(QStringLiteral("--since must be earlier than --until"));
        return false;
    }
    return true;
}
