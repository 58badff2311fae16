#include "ui/MainWindow.h"

#include "BuildSettings.h"
#include "device/DeviceWatcher.h"
#include "device/IOSBackupTemp.h"
#include "device/IOSDevice.h"
#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "stores/DemoHistory.h"
#include "stores/IOSViberDb.h"
#include "stores/StorePaths.h"
#include "ui/DeviceFramework.h"
#include "ui/ErrorReport.h"
#include "ui/ItemModelMain.h"
#include "ui/MyTreeView.h"
#include "ui/Tips.h"
#include "ui/WelcomePanel.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSplitter>
#include <QStatusBar>

// Where sources come from: local databases and stored device copies found at
// start-up, iPhones arriving and leaving; and the folder commands.

namespace {
QStringList subFolders(const QDir& dir)
{
    return dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}
} // namespace

void MainWindow::startDeviceWatcher()
{
    if (!g_deviceFrameworkLoaded())
        return;
    watcher = new DeviceWatcher(this);
    connect(watcher, &DeviceWatcher::deviceArrived, this, &MainWindow::onDeviceArrived);
    connect(watcher, &DeviceWatcher::deviceLeft, this, &MainWindow::onDeviceLeft);
    QString error;
    if (!watcher->start(error))
        Tips::error(error);
}

void MainWindow::listLocalDatabases()
{
    for (const QString& name : g_localDbNames(m_folders))
        itemModelMain->addLocalDb(name);
    treeViewDS->expand(itemModelMain->indexOfItemNode(itemModelMain->rootLocalDb()));
}

void MainWindow::listStoredDevices()
{
    const QDir root = m_folders.storedDevicesDir();
    if (!root.exists())
        return;
    for (const QString& name : subFolders(root))
        addStoredDevice(name);
    treeViewDS->expand(itemModelMain->indexOfItemNode(itemModelMain->rootDevice()));
}

_IOSDeviceItemNode* MainWindow::addStoredDevice(const QString& name)
{
    const QString folder = m_folders.storedDevicesDir().absoluteFilePath(name);
    const bool ours = QFileInfo(QDir(folder).filePath(QString::fromLatin1(kLocalDbStoreFile))).isFile();
    const QString storeFile = ours ? QString::fromLatin1(kLocalDbStoreFile) : QStringLiteral("Documents/Contacts.data");
    try {
        IOSViberDb store{QDir(folder), storeFile, false};
        ViberData data = store.loadDataThrow();
        _IOSDeviceItemNode* node = itemModelMain->addIOSDevice(name, folder);
        node->data = data;
        itemModelMain->listChats(node);
        return node;
    } catch (const std::exception& e) {
        Tips::error(QString::fromUtf8(e.what()));
        return nullptr;
    }
}

void MainWindow::updateEmptyState()
{
    const bool empty =
        itemModelMain->rootLocalDb()->children.isEmpty() && itemModelMain->rootDevice()->children.isEmpty();
    if (welcome->isHidden() == !empty)
        return;
    // The panes that appear take the room of those that go: a size kept from
    // the last run (or 0 for a pane hidden then) must not leave them squeezed.
    auto* splitter = findChild<QSplitter*>(QStringLiteral("splitter"));
    QList<int> sizes = splitter->sizes();
    int total = 0;
    for (int s : sizes)
        total += s;
    const int tree = sizes.value(0) > 0 ? sizes.value(0) : 200;
    const int rest = qMax(400, total - tree);
    messagePane->setVisible(!empty);
    readingPane->setVisible(!empty);
    welcome->setVisible(empty);
    if (empty)
        splitter->setSizes({tree, 0, 0, rest});
    else if (sizes.value(1) <= 0 || sizes.value(2) <= 0)
        splitter->setSizes({tree, rest * 9 / 16, rest - rest * 9 / 16, 0});
}

void MainWindow::openDemo()
{
    const QString name = QStringLiteral("Demo iPhone");
    const QString folder = m_folders.storedDevicesDir().absoluteFilePath(name);
    for (const _ItemNode* node : itemModelMain->rootDevice()->children) {
        if (node->type == ITEMNODE_IOS_DEVICE && static_cast<const _IOSDeviceItemNode*>(node)->identifier == folder) {
            showSourceNode(node);
            return;
        }
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    try {
        if (!QFileInfo::exists(folder))
            g_writeDemoContainerThrow(folder);
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    QApplication::restoreOverrideCursor();
    if (!error.isEmpty()) {
        Tips::error(error);
        return;
    }
    if (const _IOSDeviceItemNode* node = addStoredDevice(name)) {
        treeViewDS->expand(itemModelMain->indexOfItemNode(itemModelMain->rootDevice()));
        updateMenuActionState();
        showSourceNode(node);
    }
}

_LocalDbItemNode* MainWindow::findLocalDb(const QString& name) const
{
    for (_ItemNode* node : itemModelMain->rootLocalDb()->children) {
        if (node->type == ITEMNODE_LOCAL_DB && node->name == name)
            return static_cast<_LocalDbItemNode*>(node);
    }
    return nullptr;
}

_IOSDeviceItemNode* MainWindow::findDevice(void* device) const
{
    for (_ItemNode* node : itemModelMain->rootDevice()->children) {
        if (node->type == ITEMNODE_IOS_DEVICE && static_cast<_IOSDeviceItemNode*>(node)->device == device)
            return static_cast<_IOSDeviceItemNode*>(node);
    }
    return nullptr;
}

void MainWindow::onDeviceArrived(am_device* p)
{
    if (!p || findDevice(p))
        return;
    IOSDevice device;
    try {
        device = IOSDevice::readThrow(p);
    } catch (const std::exception& e) {
        Tips::error(QString::fromUtf8(e.what()));
        return;
    }
    const QString name = device.name.isEmpty() ? device.udid : device.name;
    _IOSDeviceItemNode* node = itemModelMain->addIOSDevice(name, device.udid);
    node->device = p;
    treeViewDS->expand(itemModelMain->indexOfItemNode(itemModelMain->rootDevice()));
    updateMenuActionState();
    statusBar()->showMessage(ids("IDS_DEVICE_CONNECTED_%1").arg(name), 5000);
    // The node is looked up again: the phone may have left during the load.
    // It is shown only when the user is reading nothing else.
    if (loadIOSViberMessages(node))
        if (const _IOSDeviceItemNode* loaded = findDevice(p)) {
            if (currentNode())
                treeViewDS->expand(itemModelMain->indexOfItemNode(loaded));
            else
                showSourceNode(loaded);
        }
}

void MainWindow::onDeviceLeft(am_device* p)
{
    _IOSDeviceItemNode* node = p ? findDevice(p) : nullptr;
    if (!node)
        return;
    removeDeviceNode(node);
}

void MainWindow::removeDeviceNode(_IOSDeviceItemNode* node)
{
    // The list and the chat shown may point into the node's data set.
    treeViewDS->setCurrentIndex(QModelIndex());
    resetMessagesShow();
    sortedCache = {}; // frees a departed phone's messages now
    itemModelMain->removeNode(node);
    updateMenuActionState();
}

void MainWindow::unmountDevice()
{
    _ItemNode* node = currentNode();
    if (node && node->type == ITEMNODE_IOS_DEVICE)
        removeDeviceNode(static_cast<_IOSDeviceItemNode*>(node));
}

void MainWindow::viewDeviceCache()
{
    const _ItemNode* node = currentNode();
    if (!node || node->type != ITEMNODE_IOS_DEVICE)
        return;
    const auto* device = static_cast<const _IOSDeviceItemNode*>(node);
    // A stored copy is its own folder; an attached device's copies live in
    // the cache under its identifier, which must be a plain name.
    QString folder = device->identifier;
    if (device->device) {
        if (!g_isPlainFileName(device->identifier))
            return;
        const QDir cache = m_folders.deviceCacheDir();
        cache.mkpath(device->identifier);
        folder = cache.absoluteFilePath(device->identifier);
    }
    openPath(folder);
}

void MainWindow::miOpenDBFolder()
{
    openPath(m_folders.localDbDir().absolutePath());
}

void MainWindow::miClearCache()
{
    // The whole-device backups are large and slow to make again: say so first.
    const QString text = ids("IDS_CONFIRM_CLEAR_CACHE_%1_%2")
                             .arg(QDir::toNativeSeparators(m_folders.deviceCacheDir().absolutePath()).toHtmlEscaped(),
                                  QDir::toNativeSeparators(iosbackup_temp_dir().absolutePath()).toHtmlEscaped());
    if (!Tips::question(text))
        return;
    g_delDirCascade(m_folders.deviceCacheDir().absolutePath());
    // The whole-device backups made to reach Viber's files go with it.
    iosbackup_clear_temp(m_folders);
    Tips::info(ids("IDS_SUC_CLEAR_CACHE"));
}

void MainWindow::openPath(const QString& path)
{
    if (opener)
        opener(path);
    else
        g_openFileOrFolder(path);
}

// The web pages exist only with a configured host; without one the menu
// entries are hidden, and a call from elsewhere says so.
void MainWindow::miCheckUpdate() { openWebPage(QStringLiteral("update.html"), "IDS_PAGE_UPDATE"); }
void MainWindow::miHelp() { openWebPage(QStringLiteral("help.html"), "IDS_PAGE_HELP"); }
void MainWindow::miFeedback() { openWebPage(QStringLiteral("support.html"), "IDS_PAGE_SUPPORT"); }

void MainWindow::openWebPage(const QString& page, const char* nameKey)
{
    if (g_webHostConfigured())
        g_openLink(g_webUrl(QLatin1Char('/') + page).toString());
    else
        Tips::info(ids("IDS_NO_WEB_HOST_%1").arg(ids(nameKey)));
}

void MainWindow::miAbout()
{
    Tips::info(ids("IDS_ABOUT_%1_%2_%3")
                   .arg(g_productName(), QLatin1String(FERROWICK_VERSION_TEXT))
                   .arg(FERROWICK_BUILD_NUMBER));
}
