#pragma once

#include "CliCommand.h"

// A command whose work is not built yet: it parses its options like the real
// one will and then says so, failing with exit 1 rather than faking a result.
class PendingCommand : public CliCommand
{
public:
    PendingCommand(QString name, QString description, QList<QCommandLineOption> options, bool readsSource);

    QString name() const override { return m_name; }
    // Marked, so --help does not offer it as if it worked.
    QString description() const override { return m_description + QStringLiteral(" (not available yet)"); }
    QList<QCommandLineOption> options() const override { return m_options; }
    bool readsSource() const override { return m_readsSource; }
    int run(CliContext& ctx) override;

private:
    QString m_name;
    QString m_description;
    QList<QCommandLineOption> m_options;
    bool m_readsSource;
};
