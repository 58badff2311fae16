#pragma once

#include "CliCommand.h"

// backups [--dir DIR]: one tab-separated line per iTunes backup, newest first:
// name, date, encrypted (yes/no), iOS version, index (which tells the
// generation), folder.
class BackupsCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("backups"); }
    QString description() const override { return QStringLiteral("List iTunes backups."); }
    QList<QCommandLineOption> options() const override;
    int run(CliContext& ctx) override;
};
