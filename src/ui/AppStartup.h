#pragma once

class QMainWindow;

// The start-up of the desktop application, in order: the translation table,
// the SQLite check (an error box and exit code 1 when it fails), logging, the
// device framework. Returns 0 when the application may go on.
int g_prepareApplication();

// After the main window is shown: the warning about a device framework that
// is installed but could not be loaded.
void g_warnAboutDeviceFramework();
