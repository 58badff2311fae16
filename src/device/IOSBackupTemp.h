#pragma once

#include <QDir>

class DataFolders;

// The folder of whole-device backups made to take Viber's files out of a
// device (or to restore one): one sub-folder per device identifier.
QDir iosbackup_temp_dir();
// Removes that folder with everything in it, and its path note in the data folder.
void iosbackup_clear_temp(const DataFolders& folders);
