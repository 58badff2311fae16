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
#include <array>

// The command table: every entry of the menus, the context menus and the tool
// bar comes from one row here; the rows run through trigger().

namespace {
enum SourceKinds
{
    ON_IPHONE = 1,
    ON_LOCALDB = 2,
    ON_BOTH = ON_IPHONE | ON_LOCALDB,
};

QAction* menuEntry(QMenu* menu, const QString& text, const char* icon)
{
    return icon ? menu->addAction(QIcon(QString::fromLatin1(icon)), text) : menu->addAction(text);
}
} // namespace

struct MainWindow::CommandEntry
{
    CommandId id;
    const char* icon; // none when null
    // The text key of the entry in each place, by MsgScope (selection, chat,
    // all, tool bar); null where the command has no entry. A chat entry's
    // text takes "with this Contact" or "in this Chat" for %1.
    std::array<const char*, 4> keys;
    // The short caption under the tool-bar icon.
    const char* barCaption;
    int sources;   // the sources the command is offered for
    int minPhones; // attached iPhones it needs to be enabled
    // The tool-bar group (a separator after each; the File menu separates
    // them too); -1 when not on the bar.
    int barGroup;
    // Runs the entry; the scope is never SCOPE_TOOLBAR here.
    void (*run)(MainWindow& window, MsgScope scope);
};

const QList<MainWindow::CommandEntry>& MainWindow::commandTable()
{
    // The message commands pick their messages by scope and hand them to
    // one command function.
#define ON_MESSAGES(function) [](MainWindow& w, MsgScope s) { w.runCommand(s, &MainWindow::function); }
    static const QList<CommandEntry> table = {
        {CMD_BACKUP, ":/res/backup.png",
         {"IDS_MI_BACKUP_SEL", "IDS_MI_BACKUP_CHAT", "IDS_MI_BACKUP_ALL", "IDS_MI_BACKUP_TOOLBAR"},
         "IDS_BAR_BACKUP", ON_IPHONE, 0, 0, ON_MESSAGES(backupMessages)},
        {CMD_I2I, ":/res/i2i.png", {"IDS_MI_I2I_SEL", "IDS_MI_I2I_CHAT", "IDS_MI_I2I_ALL", "IDS_MI_I2I_TOOLBAR"},
         "IDS_BAR_I2I", ON_IPHONE, 2, 0, ON_MESSAGES(restoreMessages2IOS)},
        {CMD_DB2I, ":/res/db2i.png", {"IDS_MI_DB2I_SEL", "IDS_MI_DB2I_CHAT", "IDS_MI_DB2I_ALL", "IDS_MI_DB2I_TOOLBAR"},
         "IDS_BAR_DB2I", ON_LOCALDB, 1, 0, ON_MESSAGES(restoreMessages2IOS)},
        {CMD_EXTRACT_MEDIA, ":/res/extract_media.png",
         {"IDS_MI_EXTRACT_MEDIA_SEL", "IDS_MI_EXTRACT_MEDIA_CHAT", "IDS_MI_EXTRACT_MEDIA_All",
          "IDS_MI_EXTRACT_MEDIA_TOOLBAR"},
         "IDS_BAR_EXTRACT_MEDIA", ON_BOTH, 0, 1, ON_MESSAGES(extractMediaFiles)},
        {CMD_EXPORT, ":/res/export.png",
         {"IDS_MI_EXPORT_SEL", "IDS_MI_EXPORT_CHAT", "IDS_MI_EXPORT_ALL", "IDS_MI_EXPORT_TOOLBAR"}, "IDS_BAR_EXPORT",
         ON_BOTH, 0, 1, ON_MESSAGES(exportMessages)},
        // The call log has no selection entry: with rows selected the tool
        // bar takes the whole list shown, whose calls are what the user is
        // looking at.
        {CMD_EXPORT_CALLS, ":/res/export_calls.png",
         {nullptr, "IDS_MI_EXPORT_CALL_CHAT", "IDS_MI_EXPORT_CALL_ALL", "IDS_MI_EXPORT_CALL_TOOLBAR"},
         "IDS_BAR_EXPORT_CALLS", ON_BOTH, 0, 1, ON_MESSAGES(exportCalls)},
        {CMD_PRINT, ":/res/print.png", {"IDS_MI_PRINT_SEL", "IDS_MI_PRINT_CHAT", "IDS_MI_PRINT_ALL", "IDS_MI_PRINT_TOOLBAR"},
         "IDS_BAR_PRINT", ON_BOTH, 0, 1, ON_MESSAGES(printMessages)},
        {CMD_DELETE, ":/res/delete.png",
         {"IDS_MI_DELETE_SEL", "IDS_MI_DELETE_CHAT", "IDS_MI_DELETE_ALL", "IDS_MI_DELETE_TOOLBAR"}, "IDS_BAR_DELETE",
         ON_LOCALDB, 0, 1, [](MainWindow& w, MsgScope s) { w.deleteFromLocalDb(s); }},
        {CMD_UNMOUNT_DEVICE, ":/res/unmount.png", {nullptr, nullptr, "IDS_MI_UNMOUNT_DEVICE", nullptr}, nullptr,
         ON_IPHONE, 0, -1, [](MainWindow& w, MsgScope) { w.unmountDevice(); }},
        {CMD_VIEW_CACHE, ":/res/view-cache.png", {nullptr, nullptr, "IDS_MI_VIEW_CACHE_FILES", nullptr}, nullptr,
         ON_IPHONE, 0, -1, [](MainWindow& w, MsgScope) { w.viewDeviceCache(); }},
        {CMD_IMPORT_ITUNES_HERE, ":/res/load_itunes.png", {nullptr, nullptr, "IDS_MI_IMPORT_FROM_ITUNES", nullptr},
         nullptr, ON_LOCALDB, 0, -1, [](MainWindow& w, MsgScope) { w.importITunesHere(); }},
        {CMD_IMPORT_DESKTOP_HERE, nullptr, {nullptr, nullptr, "IDS_MI_IMPORT_FROM_PC", nullptr}, nullptr, ON_LOCALDB,
         0, -1, [](MainWindow& w, MsgScope) { w.importDesktopHere(); }},
        {CMD_TO_ITUNES_BACKUP, nullptr,
         {"IDS_MI_TO_ITUNES_BACKUP_SEL", "IDS_MI_TO_ITUNES_BACKUP_CHAT", "IDS_MI_TO_ITUNES_BACKUP_ALL", nullptr},
         nullptr, ON_LOCALDB, 0, -1, ON_MESSAGES(export2ITunesBK)},
    };
#undef ON_MESSAGES
    return table;
}

void MainWindow::trigger(CommandId command, MsgScope scope)
{
    for (const CommandEntry& entry : commandTable()) {
        if (entry.id != command)
            continue;
        // The messages belong to the source's data set, which must outlive
        // the command even when the source goes meanwhile (an iPhone
        // leaving while its dialogs run).
        const ViberData keep = allMessages();
        entry.run(*this, scope == SCOPE_TOOLBAR ? toolBarScope(entry) : scope);
        return;
    }
}

MainWindow::MsgScope MainWindow::toolBarScope(const CommandEntry& entry) const
{
    if (treeViewSMS->selectionModel()->hasSelection())
        return entry.keys[SCOPE_SELECTION] ? SCOPE_SELECTION : SCOPE_CHAT;
    const _ItemNode* node = currentNode();
    return node && node->type == ITEMNODE_CHAT ? SCOPE_CHAT : SCOPE_ALL;
}

bool MainWindow::offers(const CommandEntry& entry, const _AbsDBItemNode* source) const
{
    if (!source)
        return false;
    const int kind = source->type == ITEMNODE_IOS_DEVICE ? ON_IPHONE : source->type == ITEMNODE_LOCAL_DB ? ON_LOCALDB : 0;
    return (entry.sources & kind) != 0;
}

bool MainWindow::canRun(const CommandEntry& entry, const _AbsDBItemNode* source) const
{
    // A database being read has no messages to work on yet.
    return offers(entry, source) && !isLoading(source) && (entry.minPhones == 0 || iPhoneCount() >= entry.minPhones);
}

void MainWindow::initMainMenu()
{
    menuBar()->setObjectName(QStringLiteral("menuBar"));

    // The application's own commands sit in the menus beside the table's
    // tool-bar entries; the import of a backup is on the tool bar as well.
    QMenu* file = menuBar()->addMenu(ids("IDS_MENU_FILE"));
    QList<QList<QAction*>> barGroups(2);
    for (const CommandEntry& entry : commandTable()) {
        if (!entry.keys[SCOPE_TOOLBAR] || entry.barGroup < 0)
            continue;
        if (entry.barGroup > 0 && barGroups.at(entry.barGroup).isEmpty())
            file->addSeparator();
        QAction* action = menuEntry(file, ids(entry.keys[SCOPE_TOOLBAR]), entry.icon);
        const CommandId id = entry.id;
        connect(action, &QAction::triggered, this, [this, id] { trigger(id, SCOPE_TOOLBAR); });
        action->setEnabled(false);
        action->setToolTip(action->text());
        // Short captions under the tool-bar icons, on two lines so that every
        // button fits a window of 1024 pixels (a narrower bar would cut
        // them); the menus and the tool tips keep the long texts.
        action->setIconText(ids(entry.barCaption));
        barGroups[entry.barGroup] << action;
        barActions[id] = action;
    }
    acts.actBackup = barActions[CMD_BACKUP];
    acts.actI2i = barActions[CMD_I2I];
    acts.actDb2i = barActions[CMD_DB2I];
    acts.actExtractMedia = barActions[CMD_EXTRACT_MEDIA];
    acts.actExport = barActions[CMD_EXPORT];
    acts.actExportCall = barActions[CMD_EXPORT_CALLS];
    acts.actPrint = barActions[CMD_PRINT];
    acts.actDelete = barActions[CMD_DELETE];

    file->addSeparator();
    acts.actImportiTunes = menuEntry(file, ids("IDS_MI_IMPORT_FROM_ITUNES"), ":/res/load_itunes.png");
    connect(acts.actImportiTunes, &QAction::triggered, this, &MainWindow::miImportiTunes);
    acts.actImportiTunes->setToolTip(acts.actImportiTunes->text());
    acts.actImportiTunes->setIconText(ids("IDS_BAR_IMPORT_ITUNES"));
    barGroups[0] << acts.actImportiTunes;
    connect(menuEntry(file, ids("IDS_MI_IMPORT_FROM_PC"), nullptr), &QAction::triggered, this,
            &MainWindow::miImportPCPort);
    connect(menuEntry(file, ids("IDS_MI_OPEN_DB_FOLDER"), ":/res/open_db_folder.png"), &QAction::triggered, this,
            &MainWindow::miOpenDBFolder);
    file->addSeparator();
    connect(menuEntry(file, ids("IDS_MI_EXIT"), ":/res/exit.png"), &QAction::triggered, this, &QWidget::close);

    // Update page, help and support live on the maker's web server: without
    // one configured there is nothing to open, so they are not offered.
    const bool web = g_webHostConfigured();
    QMenu* tools = menuBar()->addMenu(ids("IDS_MENU_TOOLS"));
    QAction* update = menuEntry(tools, ids("IDS_MI_CHECK_UPDATE"), ":/res/check-update.png");
    connect(update, &QAction::triggered, this, &MainWindow::miCheckUpdate);
    update->setVisible(web);
    connect(menuEntry(tools, ids("IDS_CLEAR_CACHE"), ":/res/clear-cache.png"), &QAction::triggered, this,
            &MainWindow::miClearCache);

    QMenu* help = menuBar()->addMenu(ids("IDS_MENU_HELP"));
    QAction* helpPage = menuEntry(help, ids("IDS_MI_HELP"), ":/res/help.png");
    connect(helpPage, &QAction::triggered, this, &MainWindow::miHelp);
    helpPage->setVisible(web);
    QAction* feedback = menuEntry(help, ids("IDS_MI_FEEDBACK"), ":/res/feedback.png");
    connect(feedback, &QAction::triggered, this, &MainWindow::miFeedback);
    feedback->setVisible(web);
    connect(menuEntry(help, ids("IDS_MI_ABOUT"), ":/res/about.png"), &QAction::triggered, this, &MainWindow::miAbout);

    QToolBar* bar = addToolBar(ids("IDS_TOOLBAR_MAIN"));
    bar->setObjectName(QStringLiteral("mainToolBar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    // The artwork is drawn at 52 pixels: sharp at its own size.
    bar->setIconSize(QSize(52, 52));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const QList<QAction*>& group : barGroups) {
        bar->addActions(group);
        bar->addSeparator();
    }
}

void MainWindow::updateMenuActionState()
{
    const _AbsDBItemNode* source = currentSource();
    for (const CommandEntry& entry : commandTable()) {
        if (QAction* action = barActions.value(entry.id))
            action->setEnabled(canRun(entry, source));
    }
    updateEmptyState();
}

QMenu* MainWindow::buildCommandMenu(MsgScope scope, const _AbsDBItemNode* source)
{
    auto* menu = new QMenu(this);
    QString which;
    if (scope == SCOPE_CHAT) {
        // A group is a chat, not a contact.
        const _ViberChat* chat = static_cast<const _ChatSessionItemNode*>(currentNode())->chat;
        which = ids(chat && !chat->groupId.isEmpty() ? "IDS_IN_THIS_CHAT" : "IDS_WITH_THIS_CONTACT");
    }
    for (const CommandEntry& entry : commandTable()) {
        if (!entry.keys[scope] || !offers(entry, source))
            continue;
        const QString text = scope == SCOPE_CHAT ? ids(entry.keys[scope]).arg(which) : ids(entry.keys[scope]);
        QAction* action = menuEntry(menu, text, entry.icon);
        const CommandId id = entry.id;
        connect(action, &QAction::triggered, this, [this, id, scope] { trigger(id, scope); });
        action->setEnabled(canRun(entry, source));
    }
    if (menu->isEmpty()) {
        delete menu;
        return nullptr;
    }
    return menu;
}

QMenu* MainWindow::buildMainTreeMenu()
{
    const _ItemNode* node = currentNode();
    if (!node)
        return nullptr;
    if (node->type == ITEMNODE_ROOT_LOCALDB) {
        auto* menu = new QMenu(this);
        connect(menuEntry(menu, ids("IDS_MI_OPEN_DB_FOLDER"), ":/res/open_db_folder.png"), &QAction::triggered, this,
                &MainWindow::miOpenDBFolder);
        connect(menuEntry(menu, ids("IDS_MI_IMPORT_FROM_ITUNES"), ":/res/load_itunes.png"), &QAction::triggered,
                this, &MainWindow::miImportiTunes);
        connect(menuEntry(menu, ids("IDS_MI_IMPORT_FROM_PC"), nullptr), &QAction::triggered, this,
                &MainWindow::miImportPCPort);
        return menu;
    }
    if (node->type == ITEMNODE_CHAT)
        return buildCommandMenu(SCOPE_CHAT, currentSource());
    if (g_isSourceNodeType(node->type))
        return buildCommandMenu(SCOPE_ALL, currentSource());
    return nullptr;
}

QMenu* MainWindow::buildSMSMenu()
{
    const _AbsDBItemNode* source = currentSource();
    return source ? buildCommandMenu(SCOPE_SELECTION, source) : nullptr;
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
