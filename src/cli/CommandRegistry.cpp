#include "CommandRegistry.h"

#include "PendingCommand.h"
#include "commands/CallsCommand.h"
#include "commands/ExportCommand.h"
#include "commands/ExtractMediaCommand.h"
#include "commands/ChatsCommand.h"
#include "commands/InfoCommand.h"
#include "commands/MessagesCommand.h"
#include "commands/BackupsCommand.h"
#include "commands/BackupCommand.h"
#include "commands/DeleteCommand.h"
#include "commands/DevicesCommand.h"

namespace {
QCommandLineOption valueOption(const char* name, const char* help, const char* valueName)
{
    return QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help), QString::fromLatin1(valueName));
}

std::unique_ptr<CliCommand> pending(const char* name, const char* description,
                                    QList<QCommandLineOption> options, bool readsSource)
{
    return std::make_unique<PendingCommand>(QString::fromLatin1(name), QString::fromLatin1(description),
                                            std::move(options), readsSource);
}
} // namespace

std::vector<std::unique_ptr<CliCommand>> g_cliCommands()
{
    std::vector<std::unique_ptr<CliCommand>> c;
    c.push_back(std::make_unique<InfoCommand>());
    c.push_back(std::make_unique<ChatsCommand>());
    c.push_back(std::make_unique<MessagesCommand>());
    c.push_back(std::make_unique<ExportCommand>());
    c.push_back(std::make_unique<CallsCommand>());
    c.push_back(std::make_unique<ExtractMediaCommand>());
    c.push_back(std::make_unique<BackupCommand>());
    c.push_back(std::make_unique<DeleteCommand>());
    c.push_back(std::make_unique<BackupsCommand>());
    c.push_back(pending("to-itunes", "Write the messages into an unencrypted iTunes backup.",
                        {valueOption("backup", "The backup folder.", "DIR")}, true));
    c.push_back(std::make_unique<DevicesCommand>());
    c.push_back(pending("to-device", "Transfer the messages onto an iPhone.",
                        {valueOption("device", "The target iPhone.", "UDID")}, true));
    return c;
}
