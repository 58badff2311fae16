#pragma once

#include <QDir>
#include <QString>

// Fixed identifier of this product; names the data folder and the redirect file.
extern const char* const kProductId;
// The maker's folder inside the per-user application-support folder.
extern const char* const kMakerFolderName;

// Per-user application-support folder (~/.local/share on Linux).
QDir g_osAppDir();
// The maker's folder inside g_osAppDir().
QString g_defaultSaveDirPath();
// The base folder named by the redirect file, or empty when there is none or
// it names a folder that does not exist.
QString g_dataSaveDirLink();
// The data folder: FERROWICK_DATA_DIR when set, else the (redirected) base
// folder joined with the product identifier. Computed once per process; the
// folder is created on every call.
QDir g_dataSaveDir();
// "local_databases" in the data folder; each sub-folder is one local database.
QDir g_localDbDir();
