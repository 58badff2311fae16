#include "ui/AppStartup.h"
#include "ui/MainFrame.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (const int failed = g_prepareApplication())
        return failed;
    MainFrame window;
    window.show();
    g_warnAboutDeviceFramework();
    return app.exec();
}
