#include "CommandOptions.h"


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
