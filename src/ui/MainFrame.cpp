#include "ui/MainFrame.h"

#include "BuildSettings.h"
#include "export/ExportMessagesThread.h"
#include "export/ExportPaths.h"
#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "stores/IOSViberDb.h"
#include "ui/ErrorReport.h"
#include "ui/FileDialogs.h"
#include "ui/ItemModelMain.h"
#include "ui/ItemModelSms.h"
#include "ui/MyTreeView.h"
#include "ui/ProgressForm.h"
#include "ui/StyleSheet.h"
#include "ui/Tips.h"
#include "ui/UpdateCheck.h"
#include "ui/VBBubbleViewMgr.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <algorithm>
#include <functional>

namespace {
QIcon resIcon(const char* name)
{
    return QIcon(QStringLiteral(":/res/%1.png").arg(QLatin1String(name)));
}

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

QToolButton* searchButton(const QString& objectName)
{
    auto* button = new QToolButton;
    button->setObjectName(objectName);
    button->setText(QStringLiteral("..."));
    button->setIcon(resIcon("search"));
    button->setIconSize(QSize(20, 20));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

// The folders whose files the messages of a source node may link to.
QStringList sourceFoldersOf(const _ItemNode* node)
{
    if (node && node->type == ITEMNODE_LOCAL_DB)
        return {g_localDbDir().absoluteFilePath(node->name)};
    if (node && node->type == ITEMNODE_IOS_DEVICE)
        return {g_dataSaveDir().absolutePath()};
    return {};
}
} // namespace

MainFrame::MainFrame(QWidget* parent)
    : QMainWindow(parent), m_itemModelMain(new ItemModelMain(this)), m_itemModelSms(new ItemModelSms(this)),
      m_bubbleViewMgr(new VBBubbleViewMgr(this)), m_updateCheck(new UpdateCheck(g_dataSaveDir(), this))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(g_productName());
    resize(1000, 680);
    setStyleSheet(getStyleSheet());

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    auto* layout = new QVBoxLayout(central);
    layout->setSpacing(0);
    layout->setContentsMargins(6, 0, 6, 6);
    auto* splitter = new QSplitter(Qt::Horizontal, central);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setHandleWidth(1);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(buildSourcePane());
    splitter->addWidget(buildMessagePane());
    splitter->addWidget(buildReadingPane());
    splitter->setSizes({200, 450, 350});
    layout->addWidget(splitter);
    setCentralWidget(central);
    statusBar()->setObjectName(QStringLiteral("statusBar"));

    initMainMenu();
    resetMessagesShow();
    listLocalDatabases();
    updateMenuActionState();
    connect(m_updateCheck, &UpdateCheck::quitRequested, this, &QWidget::close);
    m_updateCheck->start();
}

QWidget* MainFrame::buildSourcePane()
{
    auto* pane = new QWidget;
    pane->setObjectName(QStringLiteral("widget_5"));
    auto* v = new QVBoxLayout(pane);
    v->setSpacing(0);
    v->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("widget_4"));
    auto* h = new QHBoxLayout(bar);
    h->setSpacing(0);
    h->setContentsMargins(0, 0, 0, 0);
    m_txtHandleKeyword = new QLineEdit;
    m_txtHandleKeyword->setObjectName(QStringLiteral("txtHandleKeyword"));
    m_txtHandleKeyword->setPlaceholderText(QStringLiteral("Search chats"));
    h->addWidget(m_txtHandleKeyword);
    QToolButton* search = searchButton(QStringLiteral("btnSearchHandle"));
    h->addWidget(search);
    v->addWidget(bar);
    connect(search, &QToolButton::pressed, this, &MainFrame::searchCotnact);
    connect(m_txtHandleKeyword, &QLineEdit::returnPressed, this, &MainFrame::searchCotnact);

    m_treeViewDS = new MyTreeView;
    m_treeViewDS->setObjectName(QStringLiteral("treeViewDS"));
    m_treeViewDS->setHeaderHidden(true);
    m_treeViewDS->setModel(m_itemModelMain);
    m_treeViewDS->setIconSize(QSize(18, 18));
    v->addWidget(m_treeViewDS);
    connect(m_treeViewDS, &MyTreeView::onSelectionChanged, this, &MainFrame::onMainTreeSelected);
    return pane;
}

QWidget* MainFrame::buildMessagePane()
{
    auto* pane = new QWidget;
    pane->setObjectName(QStringLiteral("widget"));
    auto* v = new QVBoxLayout(pane);
    v->setSpacing(0);
    v->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("widget_3"));
    auto* h = new QHBoxLayout(bar);
    h->setSpacing(0);
    h->setContentsMargins(0, 0, 0, 0);
    m_txtSMSKeyword = new QLineEdit;
    m_txtSMSKeyword->setObjectName(QStringLiteral("txtSMSKeyword"));
    m_txtSMSKeyword->setPlaceholderText(QStringLiteral("Search messages"));
    h->addWidget(m_txtSMSKeyword);
    QToolButton* search = searchButton(QStringLiteral("btnSearchSMS"));
    h->addWidget(search);
    v->addWidget(bar);
    connect(search, &QToolButton::pressed, this, &MainFrame::searchMessages);
    connect(m_txtSMSKeyword, &QLineEdit::returnPressed, this, &MainFrame::searchMessages);

    m_treeViewSMS = new MyTreeView;
    m_treeViewSMS->setObjectName(QStringLiteral("treeViewSMS"));
    m_treeViewSMS->setModel(m_itemModelSms);
    m_treeViewSMS->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_treeViewSMS->setIndentation(5);
    m_treeViewSMS->setItemsExpandable(false);
    m_treeViewSMS->setRootIsDecorated(false);
    m_treeViewSMS->setUniformRowHeights(true);
    m_treeViewSMS->setIconSize(QSize(18, 18));
    m_treeViewSMS->setColumnWidth(0, 160);
    m_treeViewSMS->setColumnWidth(1, 50);
    m_treeViewSMS->setColumnWidth(2, 120);
    m_treeViewSMS->header()->setSectionsMovable(false);
    m_treeViewSMS->header()->setSortIndicatorShown(true);
    m_treeViewSMS->header()->setSectionsClickable(true);
    m_treeViewSMS->header()->setSortIndicator(0, Qt::AscendingOrder);
    connect(m_treeViewSMS->header(), &QHeaderView::sortIndicatorChanged, this,
            &MainFrame::onSMSSortIndicatorChanged);
    connect(m_treeViewSMS, &MyTreeView::onSelectionChanged, this, [this](const QItemSelection& selected) {
        const QModelIndexList rows = selected.indexes();
        const _ViberMsg* m =
            rows.isEmpty() ? nullptr : ItemModelSms::messageOf(rows.first().siblingAtColumn(0));
        if (!m)
            return;
        m_bubbleViewMgr->scrollToPos(rows.first().row());
    });
    v->addWidget(m_treeViewSMS);

    m_lbSMSCount = new QLabel;
    m_lbSMSCount->setObjectName(QStringLiteral("lbSMSCount"));
    m_lbSMSCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    v->addWidget(m_lbSMSCount);
    return pane;
}

QWidget* MainFrame::buildReadingPane()
{
    auto* pane = new QWidget;
    pane->setObjectName(QStringLiteral("widget_2"));
    auto* v = new QVBoxLayout(pane);
    v->setSpacing(0);
    v->setContentsMargins(0, 0, 0, 0);
    auto* header = new QWidget;
    header->setObjectName(QStringLiteral("lbConversation"));
    auto* h = new QHBoxLayout(header);
    h->setContentsMargins(10, 0, 10, 0);
    m_lbChatName = new QLabel;
    m_lbChatName->setObjectName(QStringLiteral("lbChatName"));
    m_lbChatName->setAlignment(Qt::AlignCenter);
    h->addWidget(m_lbChatName);
    v->addWidget(header);
    m_webViewSMS = new QWebEngineView;
    m_webViewSMS->setObjectName(QStringLiteral("webViewSMS"));
    m_bubbleViewMgr->setWebview(m_webViewSMS);
    v->addWidget(m_webViewSMS, 1);
    return pane;
}

void MainFrame::initMainMenu()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    m_actExport =
        file->addAction(resIcon("export"), ids("IDS_MI_EXPORT_TOOLBAR"), this, &MainFrame::miExportToolbar);
    file->addSeparator();
    QAction* openDb = file->addAction(resIcon("open_db_folder"), ids("IDS_MI_OPEN_DB_FOLDER"), this,
                                      &MainFrame::miOpenDBFolder);
    file->addSeparator();
    QAction* exitAct = file->addAction(resIcon("exit"), ids("IDS_MI_EXIT"), this, &QWidget::close);

    QMenu* tools = menuBar()->addMenu(QStringLiteral("Tools"));
    // The update page lives on the maker's web server: without one there is
    // nothing to open.
    if (g_webHostConfigured())
        tools->addAction(resIcon("check-update"), ids("IDS_MI_CHECK_UPDATE"), this,
                         &MainFrame::miCheckUpdate);
    tools->addAction(resIcon("clear-cache"), ids("IDS_CLEAR_CACHE"), this, &MainFrame::miClearCache);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    QAction* about = help->addAction(resIcon("about"), ids("IDS_MI_ABOUT"), this, &MainFrame::miAbout);

    QToolBar* bar = addToolBar(QStringLiteral("Main"));
    bar->setObjectName(QStringLiteral("mainToolBar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(52, 52));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->addAction(m_actExport);
    bar->addAction(openDb);
    bar->addSeparator();
    bar->addAction(about);
    bar->addAction(exitAct);
    for (QAction* a : bar->actions())
        a->setIconText(a->text().replace(QLatin1String(" to File"), QString()));
}

void MainFrame::listLocalDatabases()
{
    for (const QString& name : g_localDbNames())
        m_itemModelMain->addLocalDb(name);
    m_treeViewDS->expand(m_itemModelMain->indexOfItemNode(m_itemModelMain->rootLocalDb()));
}

QString MainFrame::countText() const
{
    return m_lbSMSCount->text();
}

void MainFrame::onMainTreeSelected(const QItemSelection& selected, const QItemSelection&)
{
    updateMenuActionState();
    if (selected.isEmpty())
        return;
    _ItemNode* node = AbsTreeItemModel::nodeOf(selected.first().topLeft());
    if (!node)
        return;
    if (node->type == ITEMNODE_CHAT) {
        auto* source = static_cast<_AbsDBItemNode*>(node->parent);
        loadMessages(source->data, static_cast<_ChatSessionItemNode*>(node)->chat, sourceFoldersOf(source));
    } else if (node->type == ITEMNODE_IOS_DEVICE) {
        loadMessages(static_cast<_AbsDBItemNode*>(node)->data, nullptr, sourceFoldersOf(node));
    } else if (node->type == ITEMNODE_LOCAL_DB) {
        auto* db = static_cast<_LocalDbItemNode*>(node);
        resetMessagesShow();
        if (db->children.isEmpty()) {
            try {
                IOSViberDb store(QDir(g_localDbDir().absoluteFilePath(db->name)),
                                 QString::fromLatin1(kLocalDbStoreFile), true);
                db->data = store.loadDataThrow();
            } catch (const std::exception& e) {
                Tips::error(QString::fromUtf8(e.what()));
                return;
            }
            m_itemModelMain->listChats(db);
            m_treeViewDS->expand(m_itemModelMain->indexOfItemNode(db));
        }
        loadMessages(db->data, nullptr, sourceFoldersOf(db));
    } else {
        resetMessagesShow();
    }
}

void MainFrame::loadMessages(const ViberData& data, _ViberChat* chat, const QStringList& sourceFolders)
{
    m_shownData = data;
    m_curChat = chat;
    QList<_ViberMsg*> list = chat ? chat->msgs : (data.isNull() ? QList<_ViberMsg*>() : data.messages());
    const bool descending = m_treeViewSMS->header()->sortIndicatorOrder() == Qt::DescendingOrder;
    std::sort(list.begin(), list.end(), descending ? compareViberMsgDesc : compareViberMsgAsc);
    m_itemModelSms->loadSMS(list);
    m_lbSMSCount->setText(QStringLiteral("Messages: %1").arg(list.size()));
    QString title = chat ? chat->display() : QStringLiteral("All");
    if (title.size() >= 21)
        title = title.left(17) + QStringLiteral("...");
    m_lbChatName->setText(title);
    m_bubbleViewMgr->setSourceFolders(sourceFolders);
    m_bubbleViewMgr->showBubble(list);
}

void MainFrame::resetMessagesShow()
{
    m_curChat = nullptr;
    m_itemModelSms->loadSMS({});
    m_shownData = ViberData();
    m_lbSMSCount->setText(QStringLiteral("Messages: 0"));
    m_lbChatName->clear();
    m_bubbleViewMgr->setSourceFolders({});
    m_bubbleViewMgr->showBubble({});
}

void MainFrame::onSMSSortIndicatorChanged(int logicalIndex, Qt::SortOrder order)
{
    if (logicalIndex != 0) {
        m_treeViewSMS->header()->setSortIndicator(0, Qt::AscendingOrder);
        return;
    }
    QList<_ViberMsg*> list = m_itemModelSms->messages();
    std::sort(list.begin(), list.end(),
              order == Qt::DescendingOrder ? compareViberMsgDesc : compareViberMsgAsc);
    m_itemModelSms->loadSMS(list);
    m_bubbleViewMgr->showBubble(list);
}

void MainFrame::searchCotnact()
{
    const _ItemNode* node = AbsTreeItemModel::nodeOf(m_treeViewDS->currentIndex());
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
    const QString keyword = m_txtHandleKeyword->text().trimmed();
    if (keyword.isEmpty())
        return;
    const int row = findWrapping(int(source->children.size()), start, [&](int r) {
        return source->children.at(r)->name.contains(keyword, Qt::CaseInsensitive);
    });
    if (row < 0) {
        Tips::info(ids("IDS_CAN_NOT_FOUNDCONTACT_KEYWORD_%0").arg(keyword.toHtmlEscaped()));
        return;
    }
    m_treeViewDS->setCurrentIndex(m_itemModelMain->indexOfItemNode(source->children.at(row)));
}

void MainFrame::searchMessages()
{
    const QString keyword = m_txtSMSKeyword->text().trimmed();
    if (keyword.isEmpty())
        return;
    const QList<_ViberMsg*>& list = m_itemModelSms->messages();
    if (list.isEmpty()) {
        Tips::info(ids("IDS_CAN_NOT_FOUND_AND_MESSAGES"));
        return;
    }
    const QModelIndex current = m_treeViewSMS->currentIndex();
    const int start = current.isValid() ? current.row() + 1 : 0;
    const int row = findWrapping(int(list.size()), start, [&](int r) {
        return list.at(r)->summary().contains(keyword, Qt::CaseInsensitive);
    });
    if (row < 0) {
        Tips::info(ids("IDS_CAN_NOT_FOUNDSMS_KEYWORD_%0").arg(keyword.toHtmlEscaped()));
        return;
    }
    m_treeViewSMS->setCurrentIndex(m_itemModelSms->indexOfPos(row));
    m_treeViewSMS->scrollTo(m_itemModelSms->indexOfPos(row));
}

void MainFrame::updateMenuActionState()
{
    const _ItemNode* node = AbsTreeItemModel::nodeOf(m_treeViewDS->currentIndex());
    if (node && node->type == ITEMNODE_CHAT)
        node = node->parent;
    m_actExport->setEnabled(node && g_isSourceNodeType(node->type));
}

QList<_ViberMsg*> MainFrame::selMessages() const
{
    QList<_ViberMsg*> list;
    for (const QModelIndex& index : m_treeViewSMS->selectionModel()->selectedRows(0)) {
        if (_ViberMsg* m = ItemModelSms::messageOf(index))
            list.append(m);
    }
    return list;
}

void MainFrame::miExportToolbar()
{
    const _ItemNode* node = AbsTreeItemModel::nodeOf(m_treeViewDS->currentIndex());
    if (!node)
        return;
    const QList<_ViberMsg*> selected = selMessages();
    if (!selected.isEmpty())
        exportMessages(selected);
    else if (node->type == ITEMNODE_CHAT)
        exportMessages(m_itemModelSms->messages());
    else if (g_isSourceNodeType(node->type))
        exportMessages(static_cast<const _AbsDBItemNode*>(node)->data.messages());
}

void MainFrame::exportMessages(const QList<_ViberMsg*>& msgs)
{
    if (msgs.isEmpty())
        return;
    static const QStringList filters = {QStringLiteral("Text (*.txt)"), QStringLiteral("Document (*.doc)"),
                                        QStringLiteral("CSV (*.csv)"), QStringLiteral("PDF (*.pdf)"),
                                        QStringLiteral("HTML (*.html)")};
    static const QStringList suffixes = {QStringLiteral("txt"), QStringLiteral("doc"), QStringLiteral("csv"),
                                         QStringLiteral("pdf"), QStringLiteral("html")};
    QString selectedFilter = filters.first();
    const QString proposed = QDir::home().filePath(g_timestampedName(QStringLiteral("chats")));
    const QString path = g_getSaveFileName(this, ids("IDS_SEL_EXPORT_MESSAGES_PATH"), proposed,
                                           filters.join(QStringLiteral(";;")), &selectedFilter);
    if (path.isEmpty())
        return;
    int filter = int(suffixes.indexOf(QFileInfo(path).suffix().toLower()));
    if (filter < 0)
        filter = qMax(0, int(filters.indexOf(selectedFilter)));
    const ExportTarget target = g_exportTarget(path, ExportFilter(filter));
    ProgressForm form(QString(), this);
    ExportMessagesThread job(msgs, target.path, ExportMessagesThread::FormatType(target.formatType), form);
    g_execJob(job, form);
}

void MainFrame::miOpenDBFolder()
{
    g_openFileOrFolder(g_localDbDir().absolutePath());
}

void MainFrame::miClearCache()
{
    g_delDirCascade(g_dataSaveDir().filePath(QStringLiteral("ios_cache")));
    Tips::info(ids("IDS_SUC_CLEAR_CACHE"));
}

void MainFrame::miCheckUpdate()
{
    g_openLink(QStringLiteral("http://%1/").arg(QString::fromLatin1(FERROWICK_WEB_HOST).trimmed()));
}

void MainFrame::miAbout()
{
    Tips::info(
        QStringLiteral("<b>%1</b><br/>Version %2 (%3)<br/><br/>Reads, exports and keeps your Viber history.")
            .arg(g_productName(), QLatin1String(FERROWICK_VERSION_TEXT))
            .arg(FERROWICK_BUILD_NUMBER));
}
