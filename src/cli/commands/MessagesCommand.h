#pragma once

#include "CliCommand.h"

// messages [--chat KEY]...: one tab-separated line per message with the
// columns of the message list, oldest first.
class MessagesCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("messages"); }
    QString description() const override;
    bool readsSource() const override { return true; }
    int run(CliContext& ctx) override;
};
