#pragma once

#include "CliCommand.h"

// extract-media --out DIR: copies the attachments into a new folder
// "attachments(<time>)" inside DIR.
class ExtractMediaCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("extract-media"); }
    QString description() const override { return QStringLiteral("Copy the attachments into a new folder."); }
    QList<QCommandLineOption> options() const override;
    bool readsSource() const override { return true; }
    int run(CliContext& ctx) override;
};
