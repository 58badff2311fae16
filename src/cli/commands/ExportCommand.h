#pragma once

#include "CliCommand.h"

// export --format txt|doc|csv|html|pdf|json --out PATH: PATH is the name a user
// would type into the save dialog; PDF and HTML go into "<name>-pdf" or
// "<name>-html" beside it.
class ExportCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("export"); }
    QString description() const override;
    QList<QCommandLineOption> options() const override;
    bool readsSource() const override { return true; }
    int run(CliContext& ctx) override;
};
