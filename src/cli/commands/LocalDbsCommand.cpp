#include "commands/LocalDbsCommand.h"

#include "shell/LocalDbNames.h"

int LocalDbsCommand::run(CliContext& ctx)
{
    for (const QString& name : g_localDbNames(ctx.folders))
        ctx.out << name << '\n';
    ctx.out.flush();
    return CLI_EXIT_OK;
}
