#include "PendingCommand.h"

PendingCommand::PendingCommand(QString name, QString description, QList<QCommandLineOption> options,
                               bool readsSource)
    : m_name(std::move(name)), m_description(std::move(description)), m_options(std::move(options)),
      m_readsSource(readsSource)
{
}

int PendingCommand::run(CliContext& ctx)
{
    return ctx.fail(QStringLiteral("%1: not available yet").arg(m_name));
}
