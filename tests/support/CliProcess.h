#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// What a run of ferrowick-cli gave: exit status and both streams.
struct CliResult
{
    int code;
    QString out;
    QString err;
};

// This process's environment with the data folder set to dataDir.
QProcessEnvironment g_cliEnvironment(const QString& dataDir);

// Runs the program (the test's FERROWICK_CLI_PATH) with args in env, its
// standard input closed; code -1 and "timed out" when it does not end in time.
CliResult g_runCliProcess(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                          int timeoutMs = 300000);
