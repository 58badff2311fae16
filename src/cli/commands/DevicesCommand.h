#pragma once

#include "CliCommand.h"

// devices: one tab-separated line per attached iPhone: UDID, name, model,
// iOS version. A device that refuses a session is named in a warning.
class DevicesCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("devices"); }
    QString description() const override { return QStringLiteral("List attached iPhones."); }
    int run(CliContext& ctx) override;
};
