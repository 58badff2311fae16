#include "CliApp.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ferrowick-cli"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    CliRunOptions options;
    options.interactive = ::isatty(STDERR_FILENO) == 1;
    options.installLogging = true;
    return runCli(QCoreApplication::arguments(), out, err, options);
}
