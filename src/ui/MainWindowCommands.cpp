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
    if (chooseMessages(scope, msgs))
        (this->*command)(msgs);
}

void MainWindow::miImportiTunes() { importViberFromiTunes(QString()); }
void MainWindow::miImportPCPort() { importViberFromPC(QString()); }

void MainWindow::importITunesHere()
{
    if (const _AbsDBItemNode* source = currentSource(); source && source->type == ITEMNODE_LOCAL_DB)
        importViberFromiTunes(source->name);
}

void MainWindow::importDesktopHere()
{
    if (const _AbsDBItemNode* source = currentSource(); source && source->type == ITEMNODE_LOCAL_DB)
        importViberFromPC(source->name);
}
