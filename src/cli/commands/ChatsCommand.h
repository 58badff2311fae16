#pragma once

#include "CliCommand.h"

// chats: one tab-separated line per chat (key, message count, last activity,
// display text), most recent activity first.
class ChatsCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("chats"); }
    QString description() const override;
    bool readsSource() const override { return true; }
    int run(CliContext& ctx) override;
};
