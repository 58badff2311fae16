#pragma once

#include "CliCommand.h"

// calls --out FILE: the call history of the source as a fixed-width table.
class CallsCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("calls"); }
    QString description() const override { return QStringLiteral("Export the call history."); }
    QList<QCommandLineOption> options() const override;
    bool readsSource() const override { return true; }
    int run(CliContext& ctx) override;
};
