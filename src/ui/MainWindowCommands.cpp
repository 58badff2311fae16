#include "ui/MainWindow.h"

#include "shell/UserTexts.h"
#include "ui/ItemModelMain.h"
#include "ui/ItemModelSms.h"
#include "ui/MyTreeView.h"
#include "ui/Tips.h"

#include <QItemSelectionModel>

// Every entry of a command family comes through here: the scope picks the
// messages, the family's one command function does the work.

ViberData MainWindow::allMessages() const
{
    const _AbsDBItemNode* source = currentSource();
    return source ? source->data : ViberData();
}

ViberMsgList MainWindow::selMessages() const
{
    ViberMsgList list;
    for (const QModelIndex& index : treeViewSMS->selectionModel()->selectedRows(0)) {
        if (_ViberMsg* m = ItemModelSms::messageOf(index))
            list.append(m);
    }
    return list;
}

bool MainWindow::chooseMessages(MsgScope scope, ViberMsgList& out) const
{
    const _ItemNode* node = currentNode();
    if (scope == SCOPE_TOOLBAR) {
        if (treeViewSMS->selectionModel()->hasSelection())
            scope = SCOPE_SELECTION;
        else if (!node)
            return false;
        else
            scope = node->type == ITEMNODE_CHAT ? SCOPE_CHAT : SCOPE_ALL;
    }
    // A command needs a source to act for (backups are named after it,
    // deletions change it).
    if (!currentSource())
        return false;
    switch (scope) {
    case SCOPE_SELECTION:
        out = selMessages();
        return true;
    case SCOPE_CHAT:
        out = itemModelSms->messages();
        return true;
    case SCOPE_ALL: {
        const ViberData data = allMessages();
        out = data.isNull() ? ViberMsgList() : data.messages();
        return true;
    }
    case SCOPE_TOOLBAR:
        break;
    }
    return false;
}

void MainWindow::runCommand(MsgScope scope, Command command)
{
    ViberMsgList msgs;
    // The messages belong to the source's data set, which must outlive the
    // command even when the source goes meanwhile (an iPhone leaving while
    // its dialogs run).
    const ViberData keep = allMessages();
    if (chooseMessages(scope, msgs))
        (this->*command)(msgs);
}

void MainWindow::notAvailableYet(const QString& what)
{
    Tips::info(ids("IDS_NOT_AVAILABLE_YET_%1").arg(what));
}

void MainWindow::miBackup() { runCommand(SCOPE_SELECTION, &MainWindow::backupMessages); }
void MainWindow::miBackupChat() { runCommand(SCOPE_CHAT, &MainWindow::backupMessages); }
void MainWindow::miBackupAll() { runCommand(SCOPE_ALL, &MainWindow::backupMessages); }
void MainWindow::miBackupToolbar() { runCommand(SCOPE_TOOLBAR, &MainWindow::backupMessages); }

void MainWindow::miExtractMedia() { runCommand(SCOPE_SELECTION, &MainWindow::extractMediaFiles); }
void MainWindow::miExtractMediaChat() { runCommand(SCOPE_CHAT, &MainWindow::extractMediaFiles); }
void MainWindow::miExtractMediaAll() { runCommand(SCOPE_ALL, &MainWindow::extractMediaFiles); }
void MainWindow::miExtractMediaToolbar() { runCommand(SCOPE_TOOLBAR, &MainWindow::extractMediaFiles); }

void MainWindow::miExport() { runCommand(SCOPE_SELECTION, &MainWindow::exportMessages); }
void MainWindow::miExportChat() { runCommand(SCOPE_CHAT, &MainWindow::exportMessages); }
void MainWindow::miExportAll() { runCommand(SCOPE_ALL, &MainWindow::exportMessages); }
void MainWindow::miExportToolbar() { runCommand(SCOPE_TOOLBAR, &MainWindow::exportMessages); }

// The call log has no selection entry: with rows selected the tool bar takes
// the whole list shown, whose calls are what the user is looking at.
void MainWindow::miExportCallChat() { runCommand(SCOPE_CHAT, &MainWindow::exportCalls); }
void MainWindow::miExportCallAll() { runCommand(SCOPE_ALL, &MainWindow::exportCalls); }
void MainWindow::miExportCallToolbar()
{
    const bool rowsSelected = treeViewSMS->selectionModel()->hasSelection();
    runCommand(rowsSelected ? SCOPE_CHAT : SCOPE_TOOLBAR, &MainWindow::exportCalls);
}

void MainWindow::miPrint() { runCommand(SCOPE_SELECTION, &MainWindow::printMessages); }
void MainWindow::miPrintChat() { runCommand(SCOPE_CHAT, &MainWindow::printMessages); }
void MainWindow::miPrintAll() { runCommand(SCOPE_ALL, &MainWindow::printMessages); }
void MainWindow::miPrintToolbar() { runCommand(SCOPE_TOOLBAR, &MainWindow::printMessages); }

void MainWindow::miI2i() { runCommand(SCOPE_SELECTION, &MainWindow::restoreMessages2IOS); }
void MainWindow::miI2iChat() { runCommand(SCOPE_CHAT, &MainWindow::restoreMessages2IOS); }
void MainWindow::miI2iAll() { runCommand(SCOPE_ALL, &MainWindow::restoreMessages2IOS); }
void MainWindow::miI2iToolbar() { runCommand(SCOPE_TOOLBAR, &MainWindow::restoreMessages2IOS); }
void MainWindow::miDb2i() { runCommand(SCOPE_SELECTION, &MainWindow::restoreMessages2IOS); }
void MainWindow::miDb2iChat() { runCommand(SCOPE_CHAT, &MainWindow::restoreMessages2IOS); }
void MainWindow::miDb2iAll() { runCommand(SCOPE_ALL, &MainWindow::restoreMessages2IOS); }
void MainWindow::miDb2iToolbar() { runCommand(SCOPE_TOOLBAR, &MainWindow::restoreMessages2IOS); }

void MainWindow::miExport2ITunesBKSel() { runCommand(SCOPE_SELECTION, &MainWindow::export2ITunesBK); }
void MainWindow::miExport2ITunesBKChat() { runCommand(SCOPE_CHAT, &MainWindow::export2ITunesBK); }
void MainWindow::miExport2ITunesBKAll() { runCommand(SCOPE_ALL, &MainWindow::export2ITunesBK); }
void MainWindow::miExport2ITunesBKToolbar() { runCommand(SCOPE_TOOLBAR, &MainWindow::export2ITunesBK); }

void MainWindow::miImportiTunes() { importViberFromiTunes(QString()); }
void MainWindow::miImportPCPort() { importViberFromPC(QString()); }

void MainWindow::miImportiTunesToLocalDb()
{
    if (const _AbsDBItemNode* source = currentSource(); source && source->type == ITEMNODE_LOCAL_DB)
        importViberFromiTunes(source->name);
}

void MainWindow::miImportPCPortToLocalDb()
{
    if (const _AbsDBItemNode* source = currentSource(); source && source->type == ITEMNODE_LOCAL_DB)
        importViberFromPC(source->name);
}

void MainWindow::miDeleteToolbar()
{
    const _ItemNode* node = currentNode();
    if (treeViewSMS->selectionModel()->hasSelection())
        miDelete();
    else if (node && node->type == ITEMNODE_CHAT)
        miDeleteChat();
    else if (node)
        miDeleteAll();
}
