#include "shell/DataFolders.h"
#include "shell/ScratchFolders.h"
#include "ui/AppStartup.h"
#include "ui/DeviceFramework.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>

#include <cstdio>

namespace {
// FERROWICK_EXIT_WHEN_SHOWN: start up, wait until the main window is on the
// screen, say so and leave. Lets a test run an installed copy far enough to
// know that it starts, without a person to close it.
int reportShown(const MainWindow& window)
{
    QElapsedTimer waited;
    waited.start();
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const bool shown = window.windowHandle() && window.windowHandle()->isExposed();
    std::printf("main window %s: %s\ndevice backend: %s\n", shown ? "shown" : "not shown",
                qPrintable(window.windowTitle()), g_deviceFrameworkLoaded() ? "loaded" : "not loaded");
    std::fflush(stdout);
    return shown ? 0 : 1;
}
} // namespace

int main(int argc, char* argv[])
{
    // The bubble view's web engine shares its graphics context with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const DataFolders folders = g_resolveDataFolders();
    if (const int failed = g_prepareApplication(folders))
        return failed;
    // What a killed run left (decrypted copies among it) goes first; what
    // this session keeps in the cache for encrypted backups goes as it ends.
    g_sweepLeftovers(folders);
    int code = 0;
    {
        MainWindow window(folders);
        window.show();
        if (qEnvironmentVariableIsSet("FERROWICK_EXIT_WHEN_SHOWN")) {
            code = reportShown(window);
        } else {
            g_warnAboutDeviceFramework();
            code = app.exec();
        }
    }
    g_releaseClaimsAtExit();
    return code;
}
