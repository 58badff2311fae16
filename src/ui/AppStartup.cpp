#include "ui/AppStartup.h"

#include "BuildSettings.h"

#include "sqlite/Sqlite3DB.h"
#include "shell/DataFolders.h"
#include "shell/LogSaver.h"
#include "shell/UserTexts.h"
#include "ui/DeviceFramework.h"
#include "ui/Tips.h"

#include <QApplication>
#include <QIcon>

int g_prepareApplication(const DataFolders& folders)
{
    QApplication::setApplicationName(QStringLiteral("Ferrowick"));
    QApplication::setApplicationDisplayName(g_productName());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/ferrowick.png")));
    // Lets the desktop match the windows to the installed entry and its icon.
    QApplication::setDesktopFileName(QStringLiteral(FERROWICK_APP_ID));
    g_installTranslation();
    if (sqlite_qt_version() != 6) {
        Tips::error(ids("IDS_INVALID_SQLITE_LAYER"));
        return 1;
    }
    logsaver_install_msghandler(folders.logDir().absolutePath(), 10);
    // Before the main window: it listens for devices only when this loaded.
    g_loadDeviceFramework();
    return 0;
}

void g_warnAboutDeviceFramework()
{
    if (g_loadDeviceFramework() == DEVICE_FRAMEWORK_LOAD_FAILED)
        Tips::warning(ids("IDS_NONE_INSTALL_ITUNES"));
}
