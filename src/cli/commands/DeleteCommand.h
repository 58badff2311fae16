#pragma once

#include "CliCommand.h"

// delete --localdb NAME (--chat KEY... | --message KEY... | --all): deletes
// messages (a call's key deletes the call) or whole chats from a local
// database, or the database itself.
class DeleteCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("delete"); }
    QString description() const override;
    QList<QCommandLineOption> options() const override;
    int run(CliContext& ctx) override;
};
