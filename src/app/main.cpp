#include "shell/DataFolders.h"
#include "shell/ScratchFolders.h"
#include "ui/AppStartup.h"
#include "ui/MainWindow.h"

#include <QApplication>

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
        g_warnAboutDeviceFramework();
        code = app.exec();
    }
    g_releaseClaimsAtExit();
    return code;
}
