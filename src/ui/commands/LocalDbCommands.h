#pragma once

#include "model/ViberData.h"
#include "model/ViberRecords.h"

#include <QList>
#include <QString>

#include <functional>

class DataFolders;
class IOSViberDb;
class QWidget;

namespace UiCommands {

// What the main window does after a command that writes a local database.
struct LocalDbChange
{
    // The database written (its folder's name, which may differ in case from
    // the name typed); the tree gets a node for it when it has none. Empty
    // when the command ended before a database existed.
    QString dbName;
    // The job succeeded: reset the shown messages, reload the node's data
    // (loadLocalDbThrow) and select it. False after a failure or a cancel:
    // the database is as it was and must not be reloaded.
    bool reload = false;
};

// The name proposed for a backup of a source node.
QString proposedBackupName(const QString& sourceNodeName);

// Asks for the database of folders (proposing proposedName), backs msgs up
// into it under the progress dialog and says what the window must do.
LocalDbChange backupMessages(QWidget* parent, const DataFolders& folders, const QString& proposedName,
                             const QList<_ViberMsg*>& msgs);

// Loads the local database name as the tree shows it. Raises
// std::runtime_error with a text for the user. watch, when given, is called
// with the open store before its rows are read, and with null once they are
// read (or the read failed), before the store is closed.
ViberData loadLocalDbThrow(const DataFolders& folders, const QString& name,
                           const std::function<void(IOSViberDb*)>& watch = {});

} // namespace UiCommands
