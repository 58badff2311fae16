#pragma once

#include "model/ViberData.h"
#include "shell/DataFolders.h"
#include "device/MobileDevice.h"
#include "ui/ItemNodes.h"
#include "ui/LocalDbLoader.h"

#include <QHash>
#include <QItemSelection>
#include <QMainWindow>
#include <functional>

class DeviceWatcher;
class ItemModelMain;
class ItemModelSms;
class MyTreeView;
class QAbstractItemModel;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QVBoxLayout;
class QWebEngineView;
class UpdateCheck;
class VBBubbleViewMgr;
class WelcomePanel;
struct _ViberChat;
struct _ViberMsg;

using ViberMsgList = QList<_ViberMsg*>;

namespace UiCommands {
struct LocalDbChange;
}

// The File-menu actions that also sit on the tool bar and follow the current
// tree node.
struct MainActions
{
    QAction* actBackup = nullptr;
    QAction* actI2i = nullptr;
    QAction* actDb2i = nullptr;
    QAction* actExtractMedia = nullptr;
    QAction* actExport = nullptr;
    QAction* actExportCall = nullptr;
    QAction* actPrint = nullptr;
    QAction* actDelete = nullptr;
    QAction* actImportiTunes = nullptr;
};

// The one window: sources (iPhones and local databases with their chats), the
// message list of the chosen source or chat, and the bubble view. Every
// command starts here. One command table (MainWindowMenus.cpp) gives each
// command its entries (selected rows, shown chat, whole source, tool bar) with
// text, icon and enable rule; the File menu, the tool bar and both context
// menus are built from it, and every entry runs through trigger(). The
// message commands pick their messages in one place, chooseMessages(), and
// hand them to one command function.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // Which messages an entry of a command family works on.
    enum MsgScope
    {
        SCOPE_SELECTION, // the rows selected in the message list
        SCOPE_CHAT,      // the list shown, in its order
        SCOPE_ALL,       // every message of the current source
        SCOPE_TOOLBAR,   // selected rows, else the chat shown, else the source
    };

    // The window keeps its local databases, caches and stored phones in folders.
    explicit MainWindow(const DataFolders& folders, QWidget* parent = nullptr);
    ~MainWindow() override;

    ItemModelMain* treeModel() const { return itemModelMain; }
    ItemModelSms* messageModel() const { return itemModelSms; }
    MyTreeView* sourceTree() const { return treeViewDS; }
    MyTreeView* messageList() const { return treeViewSMS; }
    VBBubbleViewMgr* bubbles() const { return bubbleViewMgr; }
    const MainActions& actions() const { return acts; }
    const DataFolders& dataFolders() const { return m_folders; }
    QAction* exportAction() const { return acts.actExport; }
    QString countText() const;
    QLineEdit* chatKeyword() const { return txtHandleKeyword; }
    QLineEdit* messageKeyword() const { return txtSMSKeyword; }
    _ViberChat* currentChat() const { return curChat; }
    DeviceWatcher* deviceWatcher() const { return watcher; }
    // Shown instead of the list and the bubbles while there is no source.
    WelcomePanel* welcomePanel() const { return welcome; }
    // How folders are shown in the file browser; tests record instead.
    void setOpener(std::function<void(const QString&)> open) { opener = std::move(open); }

    // The data set of the current source (the chat's source for a chat node);
    // null when no source is current.
    ViberData allMessages() const;
    ViberMsgList selMessages() const;
    // The messages an entry of a family works on; false when it has nothing
    // to work on (no usable current node).
    bool chooseMessages(MsgScope scope, ViberMsgList& out) const;

    // The context menus as they would be shown now; null when none is shown.
    // The caller owns the menu.
    QMenu* buildMainTreeMenu();
    QMenu* buildSMSMenu();

    // Expands the node and makes it current once the caller has returned.
    void showSourceNode(const _ItemNode* node);

    // The commands of the menus, the context menus and the tool bar, in the
    // order the menus show them (the command table lists their entries).
    enum CommandId
    {
        CMD_BACKUP,          // into a local database (from an iPhone)
        CMD_I2I,             // from an iPhone to another attached iPhone
        CMD_DB2I,            // from a local database to an attached iPhone
        CMD_EXTRACT_MEDIA,
        CMD_EXPORT,
        CMD_EXPORT_CALLS,
        CMD_PRINT,
        CMD_DELETE,          // from a local database
        CMD_UNMOUNT_DEVICE,  // takes an iPhone's node off the tree
        CMD_VIEW_CACHE,      // opens an iPhone's cache folder
        CMD_IMPORT_ITUNES_HERE,
        CMD_IMPORT_DESKTOP_HERE,
        CMD_TO_ITUNES_BACKUP,
    };
    // Runs the entry of command for scope, as its menu item or tool button
    // does.
    void trigger(CommandId command, MsgScope scope);
    // Searches a box's keyword from the row after the current one, once
    // around (Return in the box or its button).
    void searchChats();
    void searchMessages();

public slots:
    void onMainTreeSelected(const QItemSelection& selected, const QItemSelection& deselected);
    void onMainTreeContextMenu();
    void onSMSSortIndicatorChanged(int logicalIndex, Qt::SortOrder order);
    void onSMSItemSelected(const QItemSelection& selected, const QItemSelection& deselected);
    void onSMSContextMenu();

    // The application's own commands (File, Tools and Help menus).
    void miOpenDBFolder();
    void miCheckUpdate();
    void miHelp();
    void miFeedback();
    void miAbout();
    void miClearCache();
    void miImportPCPort();
    void miImportiTunes();
    // Writes the demo history as a stored iPhone copy (once) and shows it.
    void openDemo();

public:
    // The command functions, one per family.
    void backupMessages(const ViberMsgList& msgs);
    void backupMessages(const QString& dbName, const ViberMsgList& msgs);
    void exportMessages(const ViberMsgList& msgs);
    void exportCalls(const ViberMsgList& msgs);
    void extractMediaFiles(const ViberMsgList& msgs);
    void printMessages(const ViberMsgList& msgs);
    void restoreMessages2IOS(const ViberMsgList& msgs);
    void export2ITunesBK(const ViberMsgList& msgs);
    void importViberFromPC(const QString& dbName);
    void importViberFromiTunes(const QString& dbName);
    // Copies Viber's data off the node's attached iPhone and shows it in the
    // node; askWhenEmpty asks about a phone without Viber messages.
    bool loadIOSViberMessages(_IOSDeviceItemNode* node, bool askWhenEmpty = true);

protected:
    bool eventFilter(QObject* object, QEvent* event) override;
    // Remembers the window's size and splitter positions for the next run.
    void closeEvent(QCloseEvent* event) override;

private:
    using Command = void (MainWindow::*)(const ViberMsgList&);
    struct CommandEntry;
    static const QList<CommandEntry>& commandTable();
    // Whether the entry is offered for a source of that node type, and
    // whether it can run now (transfers need their iPhones attached).
    bool offers(const CommandEntry& entry, const _AbsDBItemNode* source) const;
    bool canRun(const CommandEntry& entry, const _AbsDBItemNode* source) const;
    // The menu of the entries that have a text for scope, for source.
    QMenu* buildCommandMenu(MsgScope scope, const _AbsDBItemNode* source);
    // The scope a tool-bar entry works on now: the rows selected, else the
    // chat shown, else the whole source (an entry without a selection
    // entry takes the chat shown instead of the rows).
    MsgScope toolBarScope(const CommandEntry& entry) const;

    // Device notices from the watcher.
    void onDeviceArrived(am_device* device);
    void onDeviceLeft(am_device* device);

    // The node commands.
    void unmountDevice();
    void viewDeviceCache();
    void importITunesHere();
    void importDesktopHere();
    // Deletes the selected rows, the chat shown or the whole local database.
    void deleteFromLocalDb(MsgScope scope);

    // The object names of a pane with a search bar above its tree view (the
    // style sheet and the tests find the parts by them) and the text key of
    // the box's placeholder.
    struct PaneNames
    {
        const char* pane;
        const char* bar;
        const char* box;
        const char* button;
        const char* placeholder;
        const char* view;
    };
    // A pane of the splitter: the search bar, then the tree view, stacked
    // without gaps; the caller adds the rest to layout.
    QWidget* searchablePane(const PaneNames& names, void (MainWindow::*search)(),
                            void (MainWindow::*selected)(const QItemSelection&, const QItemSelection&),
                            void (MainWindow::*contextMenu)(), QAbstractItemModel* model, QLineEdit*& box,
                            MyTreeView*& view, QVBoxLayout*& layout);
    QWidget* buildSourcePane();
    QWidget* buildMessagePane();
    QWidget* buildReadingPane();
    void initMainMenu();
    void restoreLayout();
    // Gives the contact column its share of the list's width (until the
    // user sizes it by hand); the content column takes the rest.
    void fitMessageColumns();
    void updateMenuActionState();
    void startDeviceWatcher();
    void listLocalDatabases();
    void listStoredDevices();
    // Reads the stored device copy of that name into a new iPhone node; null
    // (with the error shown) when it cannot be read.
    _IOSDeviceItemNode* addStoredDevice(const QString& name);
    void updateEmptyState();
    void checkForUpdate();

    void loadMessages(ViberData& data, _ViberChat* chat);
    void resetMessagesShow();
    void showChatPicture(const _ViberChat* chat);
    // All messages of a source in the order of the sort indicator.
    QList<_ViberMsg*> sortedSourceMessages(const ViberData& data, bool descending);

    // The node commands decide by: the current node, its parent for a chat;
    // null when that is not a source.
    _AbsDBItemNode* currentSource() const;
    _ItemNode* currentNode() const;
    int iPhoneCount() const;
    // Runs a family's command function on the messages of scope; nothing
    // when there is nothing to work on.
    void runCommand(MsgScope scope, Command command);
    // Opens a page of the maker's web server; without a configured host says
    // so (never a silent no-op). nameKey names the page for the user.
    void openWebPage(const QString& page, const char* nameKey);

    // Lists the database a command wrote and, after a successful job, reads
    // it again and makes it current; an import (select false) leaves the
    // user reading where they were.
    void applyLocalDbChange(const UiCommands::LocalDbChange& change, bool select = true);
    // Reads db again and makes the chat chatId (when above 0) or db current.
    void reloadAndSelect(_LocalDbItemNode* db, qint64 chatId);
    // Makes the chat chatId of source current, or source itself when it has
    // no such chat (or chatId is 0).
    void selectInSource(_AbsDBItemNode* source, qint64 chatId);
    // Puts data into a phone's node; whoever was reading in the node reads
    // on in the same chat, the selection elsewhere stays.
    void showDeviceData(_IOSDeviceItemNode* node, const ViberData& data);
    // Starts reading a local database into its node (off the window's
    // thread when it is large); its chats are listed once it is read.
    void loadLocalDb(_LocalDbItemNode* db);
    // Puts a database's data set into its node; the node's reader, if any,
    // then sees its messages (or the chat the reload asked for).
    void onLocalDbLoaded(const LocalDbLoader::Result& read);
    // Forgets what the node holds: its chats, its data set and what is shown
    // of them.
    void dropLocalDbData(_LocalDbItemNode* db);
    // Shows, or ends showing, that the current source is being read.
    void showReading(bool reading);
    // Whether the database of node is being read; its commands wait.
    bool isLoading(const _AbsDBItemNode* source) const;
    _LocalDbItemNode* findLocalDb(const QString& name) const;
    _IOSDeviceItemNode* findDevice(void* device) const;
    void removeDeviceNode(_IOSDeviceItemNode* node);
    void openPath(const QString& path);

    DataFolders m_folders;
    ItemModelMain* itemModelMain;
    ItemModelSms* itemModelSms;
    VBBubbleViewMgr* bubbleViewMgr;
    UpdateCheck* updateCheck;
    LocalDbLoader* localDbLoader;
    // The chat (0 for the database itself) each reload shows once read.
    QHash<QString, qint64> selectWhenLoaded;
    DeviceWatcher* watcher = nullptr;
    _ViberChat* curChat = nullptr;
    MainActions acts;
    // The tool-bar (and File-menu) action of each command on the bar.
    QHash<int, QAction*> barActions;
    std::function<void(const QString&)> opener;
    struct
    {
        ViberData data;
        bool descending = false;
        QList<_ViberMsg*> list;
    } sortedCache;

    WelcomePanel* welcome = nullptr;
    bool contactSizedByUser = false;
    bool fittingColumns = false;
    QWidget* messagePane = nullptr;
    QWidget* readingPane = nullptr;
    MyTreeView* treeViewDS = nullptr;
    MyTreeView* treeViewSMS = nullptr;
    QLineEdit* txtHandleKeyword = nullptr;
    QLineEdit* txtSMSKeyword = nullptr;
    QLabel* lbSMSCount = nullptr;
    QLabel* lbChatName = nullptr;
    QLabel* lbChatImg = nullptr;
    QWebEngineView* webViewSMS = nullptr;
};
