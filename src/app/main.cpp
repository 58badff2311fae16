#include "shell/DataFolders.h"
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
    MainWindow window(folders);
    window.show();
    g_warnAboutDeviceFramework();
    return app.exec();
}
