#include "CommandOptions.h"

#include "export/ExportDateRange.h"


bool g_requireOption(CliContext& ctx, const QString& name, QString& value, int& exitCode)
{
    value = ctx.parser.value(name);
    if (!value.trimmed().isEmpty())
        return true;
    ctx.err << "ferrowick-cli: --" << name << " is required\n";
    ctx.err << "Try 'ferrowick-cli " << ctx.parser.positionalArguments().value(0) << " --help'." << Qt::endl;
    exitCode = CLI_EXIT_USAGE;
    return false;
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
            ctx.err << "ferrowick-cli: --" << option << ": " << error << Qt::endl;
            exitCode = CLI_EXIT_USAGE;
            return false;
        }
        (option == QLatin1String("since") ? range.since : range.until) = t;
    }
    if (range.since && range.until && *range.since >= *range.until) {
        ctx.err << "ferrowick-cli: --since must be earlier than --until" << Qt::endl;
        exitCode = CLI_EXIT_USAGE;
        return false;
    }
    return true;
}
