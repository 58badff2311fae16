#pragma once

#include "CliCommand.h"

// backup --into NAME: merges the messages of the source (or of its --chat
// chats) into a local database, created when it does not exist.
class BackupCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("backup"); }
    QString description() const override;
    QList<QCommandLineOption> options() const override;
    bool readsSource() const override { return true; }
    int run(CliContext& ctx) override;
};

// The folder of the database named by option, or an error through ctx
// (usage error for a name that cannot be a database, failure when mustExist
// and there is none). Returns the exit code in code when it fails.
bool g_localDbFolderFor(CliContext& ctx, const QString& option, const QString& name, bool mustExist,
                        QString& folder, int& code);
