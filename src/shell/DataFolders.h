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

// The program's data folder and the folders inside it. Each program's main()
// resolves it once and hands it to whatever keeps files there, so two runs in
// one process may use two different folders.
class DataFolders
{
public:
    // root is taken as an absolute path; nothing is created here.
    explicit DataFolders(const QString& root);

    // The data folder itself, made when missing.
    QDir root() const;
    // "local_databases", made when missing; each sub-folder is one local database.
    QDir localDbDir() const;
    // "cache": working copies, the sample history, backup and index copies.
    QDir cacheDir() const;
    // "ios_cache": one folder per iPhone (by identifier) with its copied data.
    QDir deviceCacheDir() const;
    // "virtual_ios": phones kept as folders, shown as stored devices.
    QDir storedDevicesDir() const;
    // "qlogs": the message log.
    QDir logDir() const;

    bool operator==(const DataFolders& other) const { return m_root == other.m_root; }

private:
    QDir sub(const char* name) const;

    QString m_root;
};

// The data folder by today's rules, read anew on every call: FERROWICK_DATA_DIR
// when set, else the (redirected) base folder joined with the product
// identifier. Only the programs' main() functions call it.
DataFolders g_resolveDataFolders();
