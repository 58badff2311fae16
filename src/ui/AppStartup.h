#pragma once

class DataFolders;
class QMainWindow;

// The start-up of the desktop application, in order: the translation table,
// the SQLite check (an error box and exit code 1 when it fails), logging, the
// device framework. The log goes into folders. Returns 0 when the
// application may go on.
int g_prepareApplication(const DataFolders& folders);

// After the main window is shown: the warning about a device framework that
// is installed but could not be loaded.
void g_warnAboutDeviceFramework();
