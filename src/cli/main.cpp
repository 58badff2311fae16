#include "CliApp.h"
#include "shell/DataFolders.h"
#include "shell/LogSaver.h"

#include <QGuiApplication>

#include <unistd.h>

int main(int argc, char* argv[])
{
    // The command-line tool never shows a window, but drawing PDF pages needs
    // fonts and a GUI application: run it on the offscreen platform unless the
    // caller chose another, so it works on machines without a display.
    logsaver_buffer_early_messages();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("ferrowick-cli"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    CliRunOptions options;
    options.interactive = ::isatty(STDERR_FILENO) == 1;
    options.installLogging = true;
    options.keepLoadedData = true;
    return runCli(QGuiApplication::arguments(), g_resolveDataFolders(), out, err, options);
}
