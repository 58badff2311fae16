#pragma once

#include "ui/commands/LocalDbCommands.h"

#include <QDir>
#include <QString>
#include <QStringList>

class QWidget;

namespace UiCommands {

// Where Viber Desktop keeps its accounts: ~/.ViberPC on Linux,
// ~/Library/Application Support/ViberPC on macOS.
QDir viberPCDir();
// The accounts there: sub-folders holding a non-empty viber.db, by name.
QStringList viberPCAccounts(const QDir& dir = viberPCDir());

// Lets the user pick a Viber Desktop account (without one in viberPCDir(),
// offers to choose a viber.db anywhere), reads it (from a private copy:
// the Desktop store is never written) and backs all its messages up into a
// local database; dbName is the name proposed ("ViberPC-<account>" when
// empty). The window acts on the result as after backupMessages.
LocalDbChange importViberFromPC(QWidget* parent, const DataFolders& folders, const QString& dbName);

// Lets the user pick an iTunes backup (and give its password when it is
// encrypted), takes Viber's files out of it under the progress dialog and
// backs all messages up into a local database; dbName is the name proposed
// ("<device name>_Backup" when empty). The window acts on the result as
// after backupMessages.
LocalDbChange importViberFromiTunes(QWidget* parent, const DataFolders& folders, const QString& dbName);

} // namespace UiCommands
