#pragma once

#include "SourceChoice.h"
#include "shell/DataFolders.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QTextStream>

enum CliExit {
    CLI_EXIT_OK = 0,
    CLI_EXIT_FAILURE = 1,
    CLI_EXIT_USAGE = 2,
    CLI_EXIT_INTERRUPTED = 130,
};

// Writes a usage error ("ferrowick-cli: <text>", then "Try 'ferrowick-cli
// [command] --help'.") and returns CLI_EXIT_USAGE.
int g_cliUsage(QTextStream& err, const QString& text, const QString& command = QString());

// Everything a command needs while it runs: its parsed options, the source the
// user chose (when the command reads messages), the two output streams and
// the data folder of this run.
struct CliContext
{
    const QCommandLineParser& parser;
    SourceChoice source;
    QTextStream& out;
    QTextStream& err;
    DataFolders folders;
    // Whether progress may be drawn on the error stream (it is a terminal).
    bool interactive = false;
    // See CliRunOptions::keepLoadedData.
    bool keepLoadedData = false;

    // Writes "ferrowick-cli: <text>" on the error stream and returns 1.
    int fail(const QString& text) const;
    // A usage error: the text and where help is, on the error stream; returns 2.
    int usage(const QString& text) const;
};

// One command of ferrowick-cli. Each command is a small class; the registry
// lists them in one table.
class CliCommand
{
public:
    virtual ~CliCommand() = default;
    virtual QString name() const = 0;
    virtual QString description() const = 0;
    // Options of this command besides the global ones.
    virtual QList<QCommandLineOption> options() const { return {}; }
    // Whether the command reads messages from a source (--container, --demo, ...).
    virtual bool readsSource() const { return false; }
    // Whether a source must be given (commands that read one usually need it).
    virtual bool requiresSource() const { return readsSource(); }
    virtual int run(CliContext& ctx) = 0;
    // Lines added below the options in the command's help.
    virtual QString helpNote() const { return QString(); }
};
