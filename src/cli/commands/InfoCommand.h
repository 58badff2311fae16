#pragma once

#include "CliCommand.h"

// info [--json]: the sizes of the five tables of the loaded data set.
class InfoCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("info"); }
    QString description() const override;
    QList<QCommandLineOption> options() const override;
    bool readsSource() const override { return true; }
    int run(CliContext& ctx) override;
};
