#include "ui/MainWindow.h"

#include "export/ExportViberCallsThread.h"
#include "shell/UserTexts.h"
#include "ui/ItemModelMain.h"
#include "ui/MyTreeView.h"
#include "ui/Tips.h"
#include "ui/commands/DeleteCommands.h"
#include "ui/commands/ExportCommands.h"
#include "ui/commands/ImportCommands.h"
#include "ui/commands/LocalDbCommands.h"
#include "ui/commands/PrintCommand.h"

// The command functions. Each takes the messages its entry chose and hands
// them to its command body (which asks for what it needs and runs the job
// under the progress dialog); the window then brings the tree up to date.

namespace {
// Commands started on an empty choice (no rows selected, an empty source)
// say why nothing happens.
bool haveMessages(const ViberMsgList& msgs)
{
    if (msgs.isEmpty())
        Tips::info(ids("IDS_NO_MESSAGES_CHOSEN"));
    return !msgs.isEmpty();
}

// How a JSON export names its source.
JsonExportSource exportSourceOf(const _AbsDBItemNode* source)
{
    if (!source)
        return {};
    if (source->type == ITEMNODE_LOCAL_DB)
        return {QStringLiteral("localdb"), source->name};
    const auto* device = static_cast<const _IOSDeviceItemNode*>(source);
    return {QStringLiteral("device"), device->device ? device->identifier : source->name};
}
} // namespace

void MainWindow::exportMessages(const ViberMsgList& msgs)
{
    if (haveMessages(msgs))
        UiCommands::exportMessages(this, msgs, exportSourceOf(currentSource()));
}

void MainWindow::exportCalls(const ViberMsgList& msgs)
{
    if (ExportViberCallsThread::callsOf(msgs).isEmpty()) {
        Tips::info(ids("IDS_NO_CALLS_CHOSEN"));
        return;
    }
    UiCommands::exportCalls(this, msgs);
}

void MainWindow::extractMediaFiles(const ViberMsgList& msgs)
{
    if (haveMessages(msgs))
        UiCommands::extractMediaFiles(this, msgs);
}

void MainWindow::printMessages(const ViberMsgList& msgs)
{
    if (haveMessages(msgs))
        UiCommands::printMessages(this, msgs);
}

void MainWindow::importViberFromPC(const QString& dbName)
{
    applyLocalDbChange(UiCommands::importViberFromPC(this, m_folders, dbName), false);
}

void MainWindow::importViberFromiTunes(const QString& dbName)
{
    applyLocalDbChange(UiCommands::importViberFromiTunes(this, m_folders, dbName), false);
}

void MainWindow::backupMessages(const ViberMsgList& msgs)
{
    if (const _AbsDBItemNode* source = currentSource())
        backupMessages(UiCommands::proposedBackupName(source->name), msgs);
}

void MainWindow::backupMessages(const QString& dbName, const ViberMsgList& msgs)
{
    if (haveMessages(msgs))
        applyLocalDbChange(UiCommands::backupMessages(this, m_folders, dbName, msgs));
}

void MainWindow::applyLocalDbChange(const UiCommands::LocalDbChange& change, bool select)
{
    if (change.dbName.isEmpty())
        return;
    _LocalDbItemNode* db = findLocalDb(change.dbName);
    if (!db) {
        itemModelMain->addLocalDb(change.dbName);
        db = findLocalDb(change.dbName);
        treeViewDS->expand(itemModelMain->indexOfItemNode(itemModelMain->rootLocalDb()));
    }
    // A failed or cancelled job left the database as it was: nothing to
    // read again (a new node is read on its first selection).
    if (!db || !change.reload)
        return;
    if (select || !currentNode())
        reloadAndSelect(db, 0);
    else if (currentSource() == db)
        reloadAndSelect(db, curChat ? curChat->id : 0);
    else {
        dropLocalDbData(db);
        loadLocalDb(db);
    }
}

void MainWindow::reloadAndSelect(_LocalDbItemNode* db, qint64 chatId)
{
    // The chat nodes and the list point into the old data set: both go
    // before it is replaced. Selecting the emptied node reads it as on its
    // first selection, and the chat follows once it is read.
    dropLocalDbData(db);
    selectWhenLoaded.insert(db->name, chatId);
    treeViewDS->setCurrentIndex(itemModelMain->indexOfItemNode(db));
}

void MainWindow::selectInSource(_AbsDBItemNode* source, qint64 chatId)
{
    const _ItemNode* chat = source->chatNode(chatId);
    treeViewDS->expand(itemModelMain->indexOfItemNode(source));
    treeViewDS->setCurrentIndex(itemModelMain->indexOfItemNode(chat ? chat : source));
}

// Deletion changes only local databases: selected rows, the chat shown, or
// the whole database.
void MainWindow::deleteFromLocalDb(MsgScope scope)
{
    _AbsDBItemNode* source = currentSource();
    const _ItemNode* node = currentNode();
    if (!source || source->type != ITEMNODE_LOCAL_DB)
        return;
    auto* db = static_cast<_LocalDbItemNode*>(source);
    switch (scope) {
    case SCOPE_SELECTION: {
        const ViberMsgList msgs = selMessages();
        if (!haveMessages(msgs))
            return;
        const qint64 chatId = curChat ? curChat->id : 0;
        if (UiCommands::deleteMessages(this, m_folders, db->name, msgs, UiCommands::DeleteWhat::SelectedMessages))
            reloadAndSelect(db, chatId);
        return;
    }
    case SCOPE_CHAT: {
        if (node->type != ITEMNODE_CHAT)
            return;
        const _ViberChat* chat = static_cast<const _ChatSessionItemNode*>(node)->chat;
        if (UiCommands::deleteMessages(this, m_folders, db->name, chat->msgs, UiCommands::DeleteWhat::Chat))
            reloadAndSelect(db, 0);
        return;
    }
    case SCOPE_ALL:
        if (node != db || !UiCommands::deleteLocalDb(this, m_folders, db->name))
            return;
        dropLocalDbData(db);
        itemModelMain->removeNode(db);
        updateMenuActionState();
        return;
    case SCOPE_TOOLBAR:
        return;
    }
}
