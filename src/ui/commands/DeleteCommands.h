#pragma once

#include "model/ViberRecords.h"

#include <QList>
#include <QString>

class DataFolders;
class QWidget;

namespace UiCommands {

enum class DeleteWhat {
    SelectedMessages, // the rows selected in the message list
    Chat,             // every message of the current chat
};

// Asks for confirmation, then deletes msgs from the local database dbName
// under the progress dialog. True when the job succeeded and the window must
// reload the database node; false when nothing was asked, confirmed or
// changed (a cancelled or failed job leaves the store as it was).
bool deleteMessages(QWidget* parent, const DataFolders& folders, const QString& dbName, const QList<_ViberMsg*>& msgs,
                    DeleteWhat what);

// Asks for confirmation and removes the whole database folder. True when the
// folder is gone and the window must remove the node (after clearing the
// tree's current index and the shown messages).
bool deleteLocalDb(QWidget* parent, const DataFolders& folders, const QString& dbName);

} // namespace UiCommands
