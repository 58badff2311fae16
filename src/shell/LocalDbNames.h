#pragma once

#include <QString>
#include <QStringList>

class DataFolders;

// Names of local databases, shared by the backup dialog and the CLI.

enum LocalDbNameCheck {
    LOCALDB_NAME_OK,
    LOCALDB_NAME_EMPTY,   // nothing but white space
    LOCALDB_NAME_INVALID, // a character a folder name cannot hold, or "." / ".."
};

// The store file inside a database folder.
extern const char* const kLocalDbStoreFile;

// Checks a name as typed (it is used as typed, surrounding spaces included).
LocalDbNameCheck g_checkLocalDbName(const QString& name);
// The warning text for a failed check; empty for LOCALDB_NAME_OK.
QString g_localDbNameCheckText(LocalDbNameCheck check);

// The databases of folders.localDbDir(): sub-folders that hold a store, by name.
QStringList g_localDbNames(const DataFolders& folders);

// The databases a name could mean when no database has exactly that name and
// several match it without regard to case ("Base2" and "base2" for "BASE2"):
// the caller must ask for the exact name. Empty when the name is unambiguous.
QStringList g_localDbCaseAmbiguity(const DataFolders& folders, const QString& name);
// The same among the names existing.
QStringList g_localDbCaseAmbiguity(const QStringList& existing, const QString& name);

// The folder of the database name: the folder of an existing database whose
// name matches without regard to case (the exact spelling first), else a
// folder of that name in folders.localDbDir(). Empty when the name fails the
// check, is ambiguous (above) or the folder would lie outside the databases'
// folder (links included).
QString g_localDbFolder(const DataFolders& folders, const QString& name);
