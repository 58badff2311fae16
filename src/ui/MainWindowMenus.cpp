#include "ui/MainWindow.h"

#include "shell/UserTexts.h"
#include "ui/ErrorReport.h"
#include "ui/ItemModelMain.h"
#include "ui/MyTreeView.h"

#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace {
// One menu entry: a text key (or literal text), an icon (none when null) and
// the slot; enabled as given.
template <typename Slot>
QAction* addItem(QMenu* menu, const QString& text, const char* icon, MainWindow* window, Slot slot,
                 bool enabled = true)
{
    QAction* action = icon ? menu->addAction(QIcon(QString::fromLatin1(icon)), text) : menu->addAction(text);
    QObject::connect(action, &QAction::triggered, window, slot);
    action->setEnabled(enabled);
    return action;
}
} // namespace

void MainWindow::initMainMenu()
{
    menuBar()->setObjectName(QStringLiteral("menuBar"));
    menuBar()->setGeometry(0, 0, 999, 20);

    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    acts.actBackup = addItem(file, ids("IDS_MI_BACKUP_TOOLBAR"), ":/res/backup.png", this, &MainWindow::miBackupToolbar, false);
    acts.actI2i = addItem(file, ids("IDS_MI_I2I_TOOLBAR"), ":/res/i2i.png", this, &MainWindow::miI2iToolbar, false);
    acts.actDb2i = addItem(file, ids("IDS_MI_DB2I_TOOLBAR"), ":/res/db2i.png", this, &MainWindow::miDb2iToolbar, false);
    file->addSeparator();
    acts.actExtractMedia = addItem(file, ids("IDS_MI_EXTRACT_MEDIA_TOOLBAR"), ":/res/extract_media.png", this,
                                   &MainWindow::miExtractMediaToolbar, false);
    acts.actExport = addItem(file, ids("IDS_MI_EXPORT_TOOLBAR"), ":/res/export.png", this, &MainWindow::miExportToolbar, false);
    acts.actExportCall = addItem(file, ids("IDS_MI_EXPORT_CALL_TOOLBAR"), ":/res/export_calls.png", this,
                                 &MainWindow::miExportCallToolbar, false);
    acts.actPrint = addItem(file, ids("IDS_MI_PRINT_TOOLBAR"), ":/res/print.png", this, &MainWindow::miPrintToolbar, false);
    acts.actDelete = addItem(file, ids("IDS_MI_DELETE_TOOLBAR"), ":/res/delete.png", this, &MainWindow::miDeleteToolbar, false);
    file->addSeparator();
    acts.actImportiTunes =
        addItem(file, ids("IDS_MI_IMPORT_FROM_ITUNES"), ":/res/load_itunes.png", this, &MainWindow::miImportiTunes);
    addItem(file, ids("IDS_MI_IMPORT_FROM_PC"), nullptr, this, &MainWindow::miImportPCPort);
    addItem(file, ids("IDS_MI_OPEN_DB_FOLDER"), ":/res/open_db_folder.png", this, &MainWindow::miOpenDBFolder);
    file->addSeparator();
    addItem(file, ids("IDS_MI_EXIT"), ":/res/exit.png", this, &QWidget::close);

    // Update page, help and support live on the maker's web server: without
    // one configured there is nothing to open, so they are not offered.
    const bool web = g_webHostConfigured();
    QMenu* tools = menuBar()->addMenu(QStringLiteral("Tools"));
    addItem(tools, ids("IDS_MI_CHECK_UPDATE"), ":/res/check-update.png", this, &MainWindow::miCheckUpdate)->setVisible(web);
    addItem(tools, ids("IDS_CLEAR_CACHE"), ":/res/clear-cache.png", this, &MainWindow::miClearCache);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    addItem(help, ids("IDS_MI_HELP"), ":/res/help.png", this, &MainWindow::miHelp)->setVisible(web);
    addItem(help, ids("IDS_MI_FEEDBACK"), ":/res/feedback.png", this, &MainWindow::miFeedback)->setVisible(web);
    addItem(help, ids("IDS_MI_ABOUT"), ":/res/about.png", this, &MainWindow::miAbout);

    QToolBar* bar = addToolBar(QStringLiteral("Main"));
    bar->setObjectName(QStringLiteral("mainToolBar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(52, 52));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (QAction* a : {acts.actBackup, acts.actI2i, acts.actDb2i, acts.actImportiTunes})
        bar->addAction(a);
    bar->addSeparator();
    for (QAction* a : {acts.actExtractMedia, acts.actExport, acts.actExportCall, acts.actPrint, acts.actDelete})
        bar->addAction(a);
    bar->addSeparator();
    // Short captions under the tool-bar icons, on two lines so that every
    // button fits a window of 1024 pixels (a narrower bar would cut them);
    // the menus and the tool tips keep the long texts.
    for (QAction* a : bar->actions())
        a->setToolTip(a->text());
    acts.actBackup->setIconText(QStringLiteral("Backup\nMessages"));
    acts.actI2i->setIconText(QStringLiteral("iPhone to\niPhone"));
    acts.actDb2i->setIconText(QStringLiteral("Database\nto iPhone"));
    acts.actImportiTunes->setIconText(QStringLiteral("Import iTunes\nBackup"));
    acts.actExtractMedia->setIconText(QStringLiteral("Extract\nAttachments"));
    acts.actExport->setIconText(QStringLiteral("Export\nMessages"));
    acts.actExportCall->setIconText(QStringLiteral("Extract\nCall Log"));
    acts.actPrint->setIconText(QStringLiteral("Print\nMessages"));
    acts.actDelete->setIconText(QStringLiteral("Delete\n"));
}

void MainWindow::updateMenuActionState()
{
    const _AbsDBItemNode* source = currentSource();
    const bool iPhone = source && source->type == ITEMNODE_IOS_DEVICE;
    const bool localDb = source && source->type == ITEMNODE_LOCAL_DB;
    acts.actBackup->setEnabled(iPhone);
    acts.actI2i->setEnabled(iPhone && iPhoneCount() >= 2);
    acts.actDb2i->setEnabled(localDb && iPhoneCount() >= 1);
    for (QAction* a : {acts.actExtractMedia, acts.actExport, acts.actExportCall, acts.actPrint})
        a->setEnabled(iPhone || localDb);
    acts.actDelete->setEnabled(localDb);
    updateEmptyState();
}

QMenu* MainWindow::buildMainTreeMenu()
{
    const _ItemNode* node = currentNode();
    if (!node || node->type == ITEMNODE_ROOT_DEVICE)
        return nullptr;
    const int phones = iPhoneCount();
    auto* menu = new QMenu(this);
    switch (node->type) {
    case ITEMNODE_ROOT_LOCALDB:
        addItem(menu, ids("IDS_MI_OPEN_DB_FOLDER"), ":/res/open_db_folder.png", this, &MainWindow::miOpenDBFolder);
        addItem(menu, ids("IDS_MI_IMPORT_FROM_ITUNES"), ":/res/load_itunes.png", this, &MainWindow::miImportiTunes);
        addItem(menu, ids("IDS_MI_IMPORT_FROM_PC"), nullptr, this, &MainWindow::miImportPCPort);
        break;
    case ITEMNODE_IOS_DEVICE:
        addItem(menu, ids("IDS_MI_BACKUP_ALL"), ":/res/backup.png", this, &MainWindow::miBackupAll);
        addItem(menu, ids("IDS_MI_I2I_ALL"), ":/res/i2i.png", this, &MainWindow::miI2iAll, phones >= 2);
        addItem(menu, ids("IDS_MI_EXTRACT_MEDIA_All"), ":/res/extract_media.png", this, &MainWindow::miExtractMediaAll);
        addItem(menu, ids("IDS_MI_EXPORT_ALL"), ":/res/export.png", this, &MainWindow::miExportAll);
        addItem(menu, ids("IDS_MI_EXPORT_CALL_ALL"), ":/res/export_calls.png", this, &MainWindow::miExportCallAll);
        addItem(menu, ids("IDS_MI_PRINT_ALL"), ":/res/print.png", this, &MainWindow::miPrintAll);
        addItem(menu, ids("IDS_MI_UNMOUNT_DEVICE"), ":/res/unmount.png", this, &MainWindow::miUnmoutDevice);
        addItem(menu, QStringLiteral("View Cache Files"), ":/res/view-cache.png", this, &MainWindow::miViewIOSCacheFiles);
        break;
    case ITEMNODE_LOCAL_DB:
        addItem(menu, ids("IDS_MI_DB2I_ALL"), ":/res/db2i.png", this, &MainWindow::miDb2iAll, phones >= 1);
        addItem(menu, ids("IDS_MI_EXTRACT_MEDIA_All"), ":/res/extract_media.png", this, &MainWindow::miExtractMediaAll);
        addItem(menu, ids("IDS_MI_EXPORT_ALL"), ":/res/export.png", this, &MainWindow::miExportAll);
        addItem(menu, ids("IDS_MI_EXPORT_CALL_ALL"), ":/res/export_calls.png", this, &MainWindow::miExportCallAll);
        addItem(menu, ids("IDS_MI_PRINT_ALL"), ":/res/print.png", this, &MainWindow::miPrintAll);
        addItem(menu, ids("IDS_MI_DELETE_ALL"), ":/res/delete.png", this, &MainWindow::miDeleteAll);
        addItem(menu, ids("IDS_MI_IMPORT_FROM_ITUNES"), ":/res/load_itunes.png", this, &MainWindow::miImportiTunesToLocalDb);
        addItem(menu, ids("IDS_MI_IMPORT_FROM_PC"), nullptr, this, &MainWindow::miImportPCPortToLocalDb);
        addItem(menu, QStringLiteral("Export Messages to iTunes Backup"), nullptr, this,
                &MainWindow::miExport2ITunesBKAll);
        break;
    case ITEMNODE_CHAT: {
        // A group is a chat, not a contact.
        const _ViberChat* chat = static_cast<const _ChatSessionItemNode*>(node)->chat;
        const QString which = ids(chat && !chat->groupId.isEmpty() ? "IDS_IN_THIS_CHAT" : "IDS_WITH_THIS_CONTACT");
        const auto chatItem = [&which](const char* key) { return ids(key).arg(which); };
        if (node->parent->type == ITEMNODE_IOS_DEVICE) {
            addItem(menu, chatItem("IDS_MI_BACKUP_CHAT"), ":/res/backup.png", this, &MainWindow::miBackupChat);
            addItem(menu, chatItem("IDS_MI_I2I_CHAT"), ":/res/i2i.png", this, &MainWindow::miI2iChat, phones >= 2);
        } else {
            addItem(menu, chatItem("IDS_MI_DB2I_CHAT"), ":/res/db2i.png", this, &MainWindow::miDb2iChat, phones >= 1);
        }
        addItem(menu, chatItem("IDS_MI_EXTRACT_MEDIA_CHAT"), ":/res/extract_media.png", this, &MainWindow::miExtractMediaChat);
        addItem(menu, chatItem("IDS_MI_EXPORT_CHAT"), ":/res/export.png", this, &MainWindow::miExportChat);
        addItem(menu, chatItem("IDS_MI_EXPORT_CALL_CHAT"), ":/res/export_calls.png", this, &MainWindow::miExportCallChat);
        addItem(menu, chatItem("IDS_MI_PRINT_CHAT"), ":/res/print.png", this, &MainWindow::miPrintChat);
        if (node->parent->type == ITEMNODE_LOCAL_DB) {
            addItem(menu, chatItem("IDS_MI_DELETE_CHAT"), ":/res/delete.png", this, &MainWindow::miDeleteChat);
            addItem(menu, QStringLiteral("Export Messages %1 to iTunes Backup").arg(which), nullptr, this,
                    &MainWindow::miExport2ITunesBKChat);
        }
        break;
    }
    default:
        break;
    }
    if (menu->isEmpty()) {
        delete menu;
        return nullptr;
    }
    return menu;
}

QMenu* MainWindow::buildSMSMenu()
{
    const _AbsDBItemNode* source = currentSource();
    if (!source)
        return nullptr;
    const int phones = iPhoneCount();
    auto* menu = new QMenu(this);
    if (source->type == ITEMNODE_IOS_DEVICE) {
        addItem(menu, ids("IDS_MI_BACKUP_SEL"), ":/res/backup.png", this, &MainWindow::miBackup);
        addItem(menu, ids("IDS_MI_I2I_SEL"), ":/res/i2i.png", this, &MainWindow::miI2i, phones >= 2);
    } else {
        addItem(menu, ids("IDS_MI_DB2I_SEL"), ":/res/db2i.png", this, &MainWindow::miDb2i, phones >= 1);
    }
    addItem(menu, ids("IDS_MI_EXTRACT_MEDIA_SEL"), ":/res/extract_media.png", this, &MainWindow::miExtractMedia);
    addItem(menu, ids("IDS_MI_EXPORT_SEL"), ":/res/export.png", this, &MainWindow::miExport);
    addItem(menu, ids("IDS_MI_PRINT_SEL"), ":/res/print.png", this, &MainWindow::miPrint);
    if (source->type == ITEMNODE_LOCAL_DB) {
        addItem(menu, ids("IDS_MI_DELETE_SEL"), ":/res/delete.png", this, &MainWindow::miDelete);
        addItem(menu, QStringLiteral("Export selected Messages to iTunes Backup"), nullptr, this,
                &MainWindow::miExport2ITunesBKSel);
    }
    return menu;
}

void MainWindow::onMainTreeContextMenu()
{
    if (QMenu* menu = buildMainTreeMenu()) {
        menu->exec(QCursor::pos());
        menu->deleteLater();
    }
}

void MainWindow::onSMSContextMenu()
{
    if (QMenu* menu = buildSMSMenu()) {
        menu->exec(QCursor::pos());
        menu->deleteLater();
    }
}
