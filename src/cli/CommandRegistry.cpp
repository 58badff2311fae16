#include "CommandRegistry.h"

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
#include "commands/LocalDbsCommand.h"
#include "commands/TransferCommands.h"

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
    c.push_back(std::make_unique<LocalDbsCommand>());
    c.push_back(std::make_unique<BackupsCommand>());
    c.push_back(std::make_unique<ToITunesCommand>());
    c.push_back(std::make_unique<DevicesCommand>());
    c.push_back(std::make_unique<ToDeviceCommand>());
    return c;
}
