#pragma once

#include "shell/DataFolders.h"

#include <QStringList>
#include <QTextStream>

struct CliRunOptions
{
    bool interactive = false;    // the error stream is a terminal
    bool installLogging = false; // write Qt messages to the data folder's log
    // Loaded data sets are left to the operating system at exit instead of
    // being freed record by record (only for a process that ends after the
    // command).
    bool keepLoadedData = false;
};

// Parses a whole ferrowick-cli command line (args[0] is the program name),
// runs the command and returns the exit status. The command keeps its data in
// folders, or in the folder of --data-dir when the command line gives one.
int runCli(const QStringList& args, const DataFolders& folders, QTextStream& out, QTextStream& err,
           const CliRunOptions& options = {});
