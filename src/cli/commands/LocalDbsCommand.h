#pragma once

#include "CliCommand.h"

// localdbs: the names of the local databases of the data folder, one a line,
// as --localdb takes them (shell completion reads this list).
class LocalDbsCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("localdbs"); }
    QString description() const override { return QStringLiteral("List the local databases."); }
    int run(CliContext& ctx) override;
};
