#include "ui/MainWindow.h"

#include "device/DeviceWatcher.h"
#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "stores/IOSViberDb.h"
#include "ui/DeviceFramework.h"
#include "ui/EmojiItemDelegate.h"
#include "ui/ItemModelMain.h"
#include "ui/ItemModelSms.h"
#include "ui/MessageListSort.h"
#include "ui/MyTreeView.h"
#include "ui/StyleSheet.h"
#include "ui/Tips.h"
#include "ui/commands/LocalDbCommands.h"
#include "ui/UpdateCheck.h"
#include "ui/UiSettings.h"
#include "ui/VBBubbleViewMgr.h"
#include "ui/WelcomePanel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QDateTime>
#include <QLocale>
#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <algorithm>

namespace {
// A pane of the splitter: its parts stacked without gaps.
QWidget* pane(const QString& name, QVBoxLayout*& layout)
{
    auto* pane = new QWidget;
    pane->setObjectName(name);
    layout = new QVBoxLayout(pane);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    return pane;
}

// The folders whose files the messages of a source may link to.
QStringList sourceFoldersOf(const DataFolders& folders, const _ItemNode* node)
{
    if (node && node->type == ITEMNODE_LOCAL_DB)
        return {folders.localDbDir().absoluteFilePath(node->name)};
    if (node && node->type == ITEMNODE_IOS_DEVICE)
        return {folders.root().absolutePath()};
    return {};
}

QImage participantPicture(const _ViberChat* chat)
{
    QImage image;
    if (chat && chat->members.size() == 1) {
        const _ViberPerson* person = chat->members.cbegin().value();
        if (person && !person->picturePath.isEmpty() && !image.load(person->picturePath, "JPG"))
            image.load(person->picturePath, "PNG");
    }
    return image;
}
} // namespace

MainWindow::MainWindow(const DataFolders& folders, QWidget* parent)
    : QMainWindow(parent), m_folders(folders), itemModelMain(new ItemModelMain(this)),
      itemModelSms(new ItemModelSms(this)), bubbleViewMgr(new VBBubbleViewMgr(this)),
      updateCheck(new UpdateCheck(m_folders.root(), this)), localDbLoader(new LocalDbLoader(m_folders, this))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(g_productName());
    resize(1000, 680);
    setStyleSheet(getStyleSheet());

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    auto* layout = new QVBoxLayout(central);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Horizontal, central);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setHandleWidth(1);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(buildSourcePane());
    messagePane = buildMessagePane();
    splitter->addWidget(messagePane);
    readingPane = buildReadingPane();
    splitter->addWidget(readingPane);
    welcome = new WelcomePanel;
    welcome->hide();
    splitter->addWidget(welcome);
    splitter->setSizes({200, 450, 350, 800});
    connect(welcome, &WelcomePanel::importBackupRequested, this, &MainWindow::miImportiTunes);
    connect(welcome, &WelcomePanel::importDesktopRequested, this, &MainWindow::miImportPCPort);
    connect(welcome, &WelcomePanel::demoRequested, this, &MainWindow::openDemo);
    connect(localDbLoader, &LocalDbLoader::loaded, this, &MainWindow::onLocalDbLoaded);
    layout->addWidget(splitter);
    setCentralWidget(central);
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    UiSettings::use(m_folders);
    restoreLayout();

    resetMessagesShow();
    lbChatImg->installEventFilter(this);
    initMainMenu();
    startDeviceWatcher();
    listLocalDatabases();
    listStoredDevices();
    updateMenuActionState();
    checkForUpdate();
}

MainWindow::~MainWindow()
{
    // No device notice may reach a half-destroyed window.
    if (watcher)
        watcher->stop();
    itemModelSms->loadSMS({});
    UiSettings::forget();
}

QWidget* MainWindow::searchablePane(const PaneNames& names, void (MainWindow::*search)(),
                                    void (MainWindow::*selected)(const QItemSelection&, const QItemSelection&),
                                    void (MainWindow::*contextMenu)(), QAbstractItemModel* model,
                                    QLineEdit*& box, MyTreeView*& view, QVBoxLayout*& layout)
{
    QWidget* searchable = pane(QLatin1String(names.pane), layout);

    // The search box with its button; Return in the box and the button both
    // search.
    auto* bar = new QWidget;
    bar->setObjectName(QLatin1String(names.bar));
    auto* row = new QHBoxLayout(bar);
    row->setSpacing(0);
    row->setContentsMargins(0, 0, 0, 0);
    box = new QLineEdit;
    box->setObjectName(QLatin1String(names.box));
    box->setPlaceholderText(ids(names.placeholder));
    row->addWidget(box);
    auto* button = new QToolButton;
    button->setObjectName(QLatin1String(names.button));
    button->setToolTip(box->placeholderText());
    button->setIcon(QIcon(QStringLiteral(":/res/search.png")));
    button->setIconSize(QSize(20, 20));
    button->setCursor(Qt::PointingHandCursor);
    row->addWidget(button);
    connect(button, &QToolButton::pressed, this, search);
    connect(box, &QLineEdit::returnPressed, this, search);
    layout->addWidget(bar);

    view = new MyTreeView;
    view->setObjectName(QLatin1String(names.view));
    // The model first: the window hears selections only once it has one.
    view->setModel(model);
    connect(view, &MyTreeView::selectionUpdated, this, selected);
    connect(view, &MyTreeView::contextMenuRequested, this, contextMenu);
    layout->addWidget(view);
    return searchable;
}

QWidget* MainWindow::buildSourcePane()
{
    QVBoxLayout* v = nullptr;
    QWidget* sources = searchablePane(
        {"sourcePane", "chatSearchBar", "txtHandleKeyword", "btnSearchHandle", "IDS_SEARCH_CHATS", "treeViewDS"},
        &MainWindow::searchChats, &MainWindow::onMainTreeSelected, &MainWindow::onMainTreeContextMenu,
        itemModelMain, txtHandleKeyword, treeViewDS, v);
    treeViewDS->setFrameShadow(QFrame::Sunken);
    treeViewDS->setLineWidth(1);
    treeViewDS->setHeaderHidden(true);
    treeViewDS->setIconSize(QSize(18, 18));
    return sources;
}

QWidget* MainWindow::buildMessagePane()
{
    QVBoxLayout* v = nullptr;
    QWidget* messages = searchablePane(
        {"messagePane", "messageSearchBar", "txtSMSKeyword", "btnSearchSMS", "IDS_SEARCH_MESSAGES", "treeViewSMS"},
        &MainWindow::searchMessages, &MainWindow::onSMSItemSelected, &MainWindow::onSMSContextMenu, itemModelSms,
        txtSMSKeyword, treeViewSMS, v);
    treeViewSMS->setDropIndicatorShown(false);
    treeViewSMS->setItemDelegate(new EmojiItemDelegate(treeViewSMS));
    treeViewSMS->setSelectionMode(QAbstractItemView::ExtendedSelection);
    treeViewSMS->setIndentation(5);
    treeViewSMS->setItemsExpandable(false);
    treeViewSMS->setRootIsDecorated(false);
    // Fixed row heights let the view lay out a million rows without asking
    // each one for its size.
    treeViewSMS->setUniformRowHeights(true);
    treeViewSMS->setIconSize(QSize(18, 18));
    // Wide enough for the longest date of the system's short format, so
    // the time is never cut.
    const QString longestDate = QLocale::system().toString(QDateTime(QDate(2024, 12, 28), QTime(22, 44, 44)),
                                                           QLocale::ShortFormat);
    treeViewSMS->setColumnWidth(0, qMax(160, treeViewSMS->fontMetrics().horizontalAdvance(longestDate) + 48));
    treeViewSMS->setColumnWidth(1, 50);
    fittingColumns = true;
    treeViewSMS->setColumnWidth(2, 120);
    fittingColumns = false;
    // The view never sorts the model itself: the header only signals, and
    // onSMSSortIndicatorChanged orders the list (and the bubbles) by the column.
    treeViewSMS->header()->setSectionsMovable(false);
    treeViewSMS->header()->setSortIndicatorShown(true);
    treeViewSMS->header()->setSectionsClickable(true);
    treeViewSMS->header()->setSortIndicator(0, Qt::AscendingOrder);
    connect(treeViewSMS->header(), &QHeaderView::sortIndicatorChanged, this,
            &MainWindow::onSMSSortIndicatorChanged);
    connect(treeViewSMS->header(), &QHeaderView::sectionResized, this, [this](int section, int, int) {
        if (section == ItemModelSms::COL_CONTACT && !fittingColumns)
            contactSizedByUser = true;
    });
    treeViewSMS->viewport()->installEventFilter(this);

    lbSMSCount = new QLabel;
    lbSMSCount->setObjectName(QStringLiteral("lbSMSCount"));
    lbSMSCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    v->addWidget(lbSMSCount);
    return messages;
}

QWidget* MainWindow::buildReadingPane()
{
    QVBoxLayout* v = nullptr;
    QWidget* reading = pane(QStringLiteral("readingPane"), v);
    auto* header = new QWidget;
    header->setObjectName(QStringLiteral("lbConversation"));
    auto* h = new QHBoxLayout(header);
    h->setContentsMargins(10, 0, 10, 0);
    // The chat's name, centred over the bubbles.
    auto* nameBox = new QWidget;
    nameBox->setObjectName(QStringLiteral("chatNameBox"));
    auto* nameLayout = new QHBoxLayout(nameBox);
    nameLayout->addStretch();
    lbChatName = new QLabel;
    lbChatName->setObjectName(QStringLiteral("lbChatName"));
    nameLayout->addWidget(lbChatName);
    nameLayout->addStretch();
    h->addWidget(nameBox, 1);
    lbChatImg = new QLabel;
    lbChatImg->setObjectName(QStringLiteral("lbChatImg"));
    lbChatImg->setFixedSize(32, 32);
    lbChatImg->setCursor(Qt::PointingHandCursor);
    h->addWidget(lbChatImg);
    v->addWidget(header);

    webViewSMS = new QWebEngineView;
    webViewSMS->setObjectName(QStringLiteral("webViewSMS"));
    webViewSMS->setContextMenuPolicy(Qt::NoContextMenu);
    webViewSMS->setAcceptDrops(false);
    bubbleViewMgr->setWebview(webViewSMS);
    v->addWidget(webViewSMS, 1);
    return reading;
}

QString MainWindow::countText() const
{
    return lbSMSCount->text();
}

_ItemNode* MainWindow::currentNode() const
{
    return AbsTreeItemModel::nodeOf(treeViewDS->currentIndex());
}

_AbsDBItemNode* MainWindow::currentSource() const
{
    _ItemNode* node = currentNode();
    if (node && node->type == ITEMNODE_CHAT)
        node = node->parent;
    if (!node || !g_isSourceNodeType(node->type))
        return nullptr;
    return static_cast<_AbsDBItemNode*>(node);
}

int MainWindow::iPhoneCount() const
{
    return itemModelMain->rootDevice()->deviceCount(ITEMNODE_IOS_DEVICE);
}

void MainWindow::showSourceNode(const _ItemNode* node)
{
    const QModelIndex index = itemModelMain->indexOfItemNode(node);
    if (index.row() < 0)
        return;
    treeViewDS->expand(index);
    // Selected once the view has settled; a persistent index, because the
    // node (a device that left) may be gone by then.
    const QPersistentModelIndex target(index);
    QMetaObject::invokeMethod(
        treeViewDS,
        [view = treeViewDS, target] {
            if (target.isValid())
                view->setCurrentIndex(target);
        },
        Qt::QueuedConnection);
}

void MainWindow::onMainTreeSelected(const QItemSelection& selected, const QItemSelection&)
{
    updateMenuActionState();
    if (selected.isEmpty())
        return;
    _ItemNode* node = AbsTreeItemModel::nodeOf(selected.first().topLeft());
    if (!node) {
        resetMessagesShow();
        return;
    }
    if (node->type == ITEMNODE_IOS_DEVICE) {
        auto* phone = static_cast<_IOSDeviceItemNode*>(node);
        if (phone->device && !phone->loaded) {
            // An attached iPhone whose load failed or was cancelled is read
            // again once the selection has settled (the load resets it).
            void* device = phone->device;
            QMetaObject::invokeMethod(
                this,
                [this, device] {
                    _IOSDeviceItemNode* again = findDevice(device);
                    if (again && !again->loaded && loadIOSViberMessages(again))
                        if (const _IOSDeviceItemNode* loaded = findDevice(device))
                            showSourceNode(loaded);
                },
                Qt::QueuedConnection);
        }
        loadMessages(phone->data, nullptr);
    } else if (node->type == ITEMNODE_CHAT) {
        loadMessages(static_cast<_AbsDBItemNode*>(node->parent)->data,
                     static_cast<_ChatSessionItemNode*>(node)->chat);
    } else if (node->type == ITEMNODE_LOCAL_DB) {
        auto* db = static_cast<_LocalDbItemNode*>(node);
        if (!db->loaded) {
            // Shown once read (at once for a small store); nothing shown may
            // point into a data set about to be replaced.
            resetMessagesShow();
            loadLocalDb(db);
            return;
        }
        loadMessages(db->data, nullptr);
    } else {
        resetMessagesShow();
    }
}

void MainWindow::loadLocalDb(_LocalDbItemNode* db)
{
    if (!localDbLoader->isLoading(db->name))
        localDbLoader->load(db->name, treeViewSMS->header()->sortIndicatorOrder() == Qt::DescendingOrder);
    // A small store was read in the call above.
    if (localDbLoader->isLoading(db->name)) {
        if (currentSource() == db)
            showReading(true);
        updateMenuActionState();
    }
}

void MainWindow::onLocalDbLoaded(const LocalDbLoader::Result& read)
{
    const qint64 chatId = selectWhenLoaded.take(read.name);
    _LocalDbItemNode* db = findLocalDb(read.name);
    if (!db)
        return;
    updateMenuActionState();
    const bool reading = currentNode() == db;
    if (!read.error.isEmpty()) {
        if (reading)
            resetMessagesShow();
        Tips::error(read.error);
        return;
    }
    // Nothing of the node was shown while it was read (its reader saw the
    // "reading" state; a chat of it cannot be current without chats).
    itemModelMain->clearChilds(db);
    db->data = read.data;
    db->loaded = true;
    itemModelMain->listChats(db);
    treeViewDS->expand(itemModelMain->indexOfItemNode(db));
    if (!reading)
        return;
    // The sort made on the reading thread, if the list still wants that order.
    sortedCache.data = read.data;
    sortedCache.descending = read.descending;
    sortedCache.list = read.byDate;
    if (const _ItemNode* chat = db->chatNode(chatId))
        treeViewDS->setCurrentIndex(itemModelMain->indexOfItemNode(chat));
    else
        loadMessages(db->data, nullptr);
}

void MainWindow::showReading(bool reading)
{
    // The panes stay usable (another source can be chosen meanwhile); the
    // cursor and the count say that this one is on its way.
    for (QWidget* pane : {messagePane, readingPane}) {
        if (reading)
            pane->setCursor(Qt::BusyCursor);
        else
            pane->unsetCursor();
    }
    if (reading)
        lbSMSCount->setText(ids("IDS_READING_LOCALDB"));
}

bool MainWindow::isLoading(const _AbsDBItemNode* source) const
{
    return source && source->type == ITEMNODE_LOCAL_DB && localDbLoader->isLoading(source->name);
}

void MainWindow::dropLocalDbData(_LocalDbItemNode* db)
{
    const _AbsDBItemNode* shown = currentSource();
    if (shown == db) {
        treeViewDS->setCurrentIndex(QModelIndex());
        resetMessagesShow();
    }
    if (sortedCache.data.p() == db->data.p())
        sortedCache = {};
    // A read under way would bring back what the caller changes now.
    localDbLoader->forget(db->name);
    selectWhenLoaded.remove(db->name);
    itemModelMain->clearChilds(db);
    db->data = {};
    db->loaded = false;
}

void MainWindow::loadMessages(ViberData& data, _ViberChat* chat)
{
    showReading(false);
    curChat = chat;
    const int column = treeViewSMS->header()->sortIndicatorSection();
    const Qt::SortOrder order = treeViewSMS->header()->sortIndicatorOrder();
    QList<_ViberMsg*> list;
    if (chat) {
        list = chat->msgs;
        g_sortMessageList(list, column, order, false);
    } else if (column == ItemModelSms::COL_DATE) {
        list = sortedSourceMessages(data, order == Qt::DescendingOrder);
    } else if (!data.isNull()) {
        list = data.messages();
        g_sortMessageList(list, column, order, true);
    }
    itemModelSms->loadSMS(list, !chat);
    bubbleViewMgr->setSourceFolders(sourceFoldersOf(m_folders, currentSource()));
    bubbleViewMgr->setMixedChats(!chat);
    bubbleViewMgr->showBubble(list);
    lbSMSCount->setText(ids("IDS_MESSAGE_COUNT_%1").arg(list.size()));
    if (!chat) {
        lbChatImg->hide();
        lbChatName->setText(ids("IDS_ALL_CHATS"));
        return;
    }
    showChatPicture(chat);
    QString title = chat->display();
    if (title.size() >= 21)
        title = title.left(17) + QStringLiteral("...");
    lbChatName->setText(title);
}

QList<_ViberMsg*> MainWindow::sortedSourceMessages(const ViberData& data, bool descending)
{
    if (data.isNull())
        return {};
    // Sorting a million messages again on every visit to the same source
    // costs most of the time it takes to show them: the last sorted list is
    // kept with a handle on its data set, so its pointers stay valid and a
    // reloaded set (another object) never matches it.
    if (sortedCache.data.p() == data.p() && sortedCache.descending != descending &&
        g_turnDateOrder(sortedCache.list, descending)) {
        sortedCache.descending = descending;
    } else if (sortedCache.data.p() != data.p() || sortedCache.descending != descending) {
        sortedCache.data = data;
        sortedCache.descending = descending;
        sortedCache.list = data.messages();
        g_stableSortByDate(sortedCache.list, descending);
    }
    return sortedCache.list;
}

void MainWindow::showChatPicture(const _ViberChat* chat)
{
    // A group has no one picture: the previous chat's must not stay.
    const QImage picture = participantPicture(chat);
    if (picture.isNull()) {
        lbChatImg->hide();
        return;
    }
    lbChatImg->setPixmap(QPixmap::fromImage(picture.scaledToWidth(32, Qt::SmoothTransformation)));
    lbChatImg->show();
}

void MainWindow::resetMessagesShow()
{
    showReading(false);
    curChat = nullptr;
    itemModelSms->loadSMS({});
    bubbleViewMgr->setSourceFolders({});
    bubbleViewMgr->showBubble({});
    lbSMSCount->setText(ids("IDS_MESSAGE_COUNT_%1").arg(0));
    lbChatImg->hide();
    lbChatName->clear();
}

void MainWindow::onSMSItemSelected(const QItemSelection& selected, const QItemSelection&)
{
    if (selected.isEmpty())
        return;
    const QModelIndex first = selected.first().topLeft();
    if (ItemModelSms::messageOf(first.siblingAtColumn(0)))
        bubbleViewMgr->scrollToPos(first.row());
}

void MainWindow::onSMSSortIndicatorChanged(int logicalIndex, Qt::SortOrder order)
{
    QList<_ViberMsg*> list = itemModelSms->messages();
    const bool mixed = itemModelSms->mixedChats();
    g_sortMessageList(list, logicalIndex, order, mixed);
    itemModelSms->loadSMS(list, mixed);
    bubbleViewMgr->showBubble(list);
}

void MainWindow::restoreLayout()
{
    // A settings file is the user's to edit: sizes are kept inside the screen
    // and a state the splitter cannot read is ignored.
    QSize size = UiSettings::value(QStringLiteral("window/size")).toSize();
    if (size.isValid()) {
        QSize room(4096, 4096);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            room = screen->availableSize();
        resize(size.expandedTo(QSize(640, 400)).boundedTo(room));
    }
    if (auto* splitter = findChild<QSplitter*>(QStringLiteral("splitter")))
        splitter->restoreState(UiSettings::value(QStringLiteral("window/splitter")).toByteArray());
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    UiSettings::setValue(QStringLiteral("window/size"), size());
    // With the welcome panel up the panes have no sizes worth keeping.
    const auto* splitter = findChild<QSplitter*>(QStringLiteral("splitter"));
    if (splitter && welcome->isHidden())
        UiSettings::setValue(QStringLiteral("window/splitter"), splitter->saveState());
    QMainWindow::closeEvent(event);
}

void MainWindow::fitMessageColumns()
{
    if (contactSizedByUser)
        return;
    const int rest = treeViewSMS->viewport()->width() - treeViewSMS->columnWidth(ItemModelSms::COL_DATE) -
                     treeViewSMS->columnWidth(ItemModelSms::COL_FLAG);
    fittingColumns = true;
    treeViewSMS->setColumnWidth(ItemModelSms::COL_CONTACT, qBound(120, rest * 2 / 5, 480));
    fittingColumns = false;
}

bool MainWindow::eventFilter(QObject* object, QEvent* event)
{
    if (object == treeViewSMS->viewport() && event->type() == QEvent::Resize)
        fitMessageColumns();
    if (object == lbChatImg && event->type() == QEvent::MouseButtonPress && curChat &&
        curChat->members.size() == 1) {
        const _ViberPerson* person = curChat->members.cbegin().value();
        if (person && !person->picturePath.isEmpty() && QFileInfo(person->picturePath).isFile())
            openPath(person->picturePath);
    }
    return QMainWindow::eventFilter(object, event);
}

void MainWindow::checkForUpdate()
{
    connect(updateCheck, &UpdateCheck::quitRequested, this, &QWidget::close);
    updateCheck->start();
}
