#include "ui/MainWindow.h"

#include "shell/UserTexts.h"
#include "ui/ItemModelMain.h"
#include "ui/ItemModelSms.h"
#include "ui/MyTreeView.h"
#include "ui/Tips.h"

#include <QLineEdit>
#include <functional>

namespace {
// The first of rows start … count-1 that matches, else the first of
// 0 … start-1: a search that wraps around once.
int findWrapping(int count, int start, const std::function<bool(int)>& matches)
{
    for (int row = start; row < count; ++row) {
        if (matches(row))
            return row;
    }
    for (int row = 0; row < qMin(start, count); ++row) {
        if (matches(row))
            return row;
    }
    return -1;
}
} // namespace

void MainWindow::searchChats()
{
    const _ItemNode* node = currentNode();
    if (!node)
        return;
    const _ItemNode* source = node;
    int start = 0;
    if (node->type == ITEMNODE_CHAT) {
        source = node->parent;
        start = int(source->children.indexOf(const_cast<_ItemNode*>(node))) + 1;
    } else if (!g_isSourceNodeType(node->type)) {
        return;
    }
    const QString keyword = txtHandleKeyword->text().trimmed();
    if (keyword.isEmpty())
        return;
    const int row = findWrapping(int(source->children.size()), start, [&](int r) {
        return source->children.at(r)->name.contains(keyword, Qt::CaseInsensitive);
    });
    if (row < 0) {
        // The box shows rich text: a keyword is text, never markup.
        Tips::info(ids("IDS_CAN_NOT_FOUNDCONTACT_KEYWORD_%0").arg(keyword.toHtmlEscaped()));
        return;
    }
    treeViewDS->setCurrentIndex(itemModelMain->indexOfItemNode(source->children.at(row)));
}

void MainWindow::searchMessages()
{
    const QString keyword = txtSMSKeyword->text().trimmed();
    if (keyword.isEmpty())
        return;
    const QList<_ViberMsg*>& list = itemModelSms->messages();
    if (list.isEmpty()) {
        Tips::info(ids("IDS_CAN_NOT_FOUND_AND_MESSAGES"));
        return;
    }
    const QModelIndex current = treeViewSMS->currentIndex();
    const int start = current.isValid() ? current.row() + 1 : 0;
    const int row = findWrapping(int(list.size()), start, [&](int r) {
        // As the list shows it (emoji drawn) or as typed ("(heart)", "[STICKER-1026]").
        const _ViberMsg* m = list.at(r);
        return m->summary(_ViberMsg::SUMMARY_READABLE).contains(keyword, Qt::CaseInsensitive) ||
               m->summary().contains(keyword, Qt::CaseInsensitive);
    });
    if (row < 0) {
        Tips::info(ids("IDS_CAN_NOT_FOUNDSMS_KEYWORD_%0").arg(keyword.toHtmlEscaped()));
        return;
    }
    const QModelIndex found = itemModelSms->indexOfPos(row);
    treeViewSMS->setCurrentIndex(found);
    treeViewSMS->scrollTo(found);
}
