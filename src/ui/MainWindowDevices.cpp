#include "ui/MainWindow.h"

#include "device/IOSDevice.h"
#include "itunes/BackupManifest.h"
#include "jobs/IOSDeviceViberLoad.h"
#include "jobs/IOSDeviceViberTransfer.h"
#include "shell/UserTexts.h"
#include "stores/IOSViberDb.h"
#include "ui/ItemModelMain.h"
#include "ui/MyTreeView.h"
#include "ui/ProgressForm.h"
#include "ui/Tips.h"
#include "ui/dialogs/DataSourceSelForm.h"
#include "ui/dialogs/LoadItunesBackupDlg.h"
#include "ui/dialogs/PasscodeDlg.h"

#include <QFileInfo>

// The commands that read from and write to attached iPhones and iTunes
// backups: every job runs under its own progress dialog, an encrypted
// backup asks for its password.

namespace {
IOSDeviceLoadHooks windowHooks(QWidget* parent)
{
    IOSDeviceLoadHooks hooks;
    hooks.runJob = [parent](const std::function<QThread*(JobProgress&)>& makeJob) {
        ProgressForm form(QString(), parent);
        QThread* job = makeJob(form);
        return job && g_execJob(*job, form) == 1 && !form.closed();
    };
    hooks.unlockBackup = [parent](BackupManifest& manifest) {
        PasscodeDlg dlg(&manifest, parent);
        return dlg.execUnlock();
    };
    return hooks;
}

// The attached device of a node; false with the error shown.
bool readDevice(const _IOSDeviceItemNode* node, IOSDevice& device)
{
    if (!node || !node->device)
        return false;
    try {
        device = IOSDevice::readThrow(static_cast<am_device*>(node->device));
    } catch (const std::exception& e) {
        Tips::error(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

// The store the load copied into the device's cache, read like a container.
ViberData loadCopiedStoreThrow(const ViberContainers& found)
{
    IOSViberDb db(found.appRoot, found.storeFile, false);
    if (found.isGroup()) {
        if (QFileInfo(found.settingsFile()).isFile())
            db.setSettingsFile(found.settingsFile());
        db.setIconsDir(found.iconsDir());
    }
    return db.loadDataThrow();
}

void askAboutEmptyPhone(const QString& title)
{
    if (Tips::question(ids("IDS_ASK_VIBER_MESSAGES_ON_%1").arg(title)))
        Tips::warning(ids("IDS_NO_VIBER_MESSAGES_ON_%1_USE_DESKTOP").arg(title));
    else
        Tips::info(ids("IDS_NOW_TRANSFER_TO_%1").arg(title));
}

// The chat shown in node, to be found again once its data set is replaced.
qint64 chatShownIn(const _AbsDBItemNode* node, const _AbsDBItemNode* current, const _ViberChat* chat)
{
    return node == current && chat ? chat->id : 0;
}
} // namespace

bool MainWindow::loadIOSViberMessages(_IOSDeviceItemNode* node, bool askWhenEmpty)
{
    IOSDevice device;
    if (!readDevice(node, device))
        return false;
    // The phone may leave while its jobs run (their dialogs run the event
    // loop): its node is found again afterwards, never used stale.
    void* const attached = node->device;
    const QString title = g_iPhoneTitle(device.name).toHtmlEscaped();
    IOSDeviceLoadResult result;
    ViberData data;
    try {
        if (!g_loadIOSViberMessagesThrow(device, m_folders, windowHooks(this), result))
            return false;
        if (result.templateStore && askWhenEmpty)
            askAboutEmptyPhone(title);
        data = loadCopiedStoreThrow(result.containers);
    } catch (const std::exception& e) {
        Tips::error(ids("IDS_FAILED_TO_LOAD_%1").arg(title) + QStringLiteral("<br/><br/>") +
                    QString::fromUtf8(e.what()));
        return false;
    }
    if (result.skipped > 0)
        Tips::info(ids("IDS_LOADED_%1_ATTACHMENTS_SKIPPED", result.skipped).arg(title));
    node = findDevice(attached);
    if (!node)
        return false;
    showDeviceData(node, data);
    return true;
}

void MainWindow::showDeviceData(_IOSDeviceItemNode* node, const ViberData& data)
{
    // The list and the chat nodes may point into the node's old data set;
    // whoever was reading in the node reads on in the same chat.
    const qint64 chatId = chatShownIn(node, currentSource(), curChat);
    const bool reading = currentSource() == node;
    if (reading) {
        treeViewDS->setCurrentIndex(QModelIndex());
        resetMessagesShow();
    }
    sortedCache = {};
    itemModelMain->clearChilds(node);
    node->data = data;
    node->loaded = true;
    itemModelMain->listChats(node);
    updateMenuActionState();
    if (reading)
        selectInSource(node, chatId);
}

void MainWindow::restoreMessages2IOS(const ViberMsgList& msgs)
{
    if (msgs.isEmpty()) {
        Tips::info(ids("IDS_NO_MESSAGES_CHOSEN"));
        return;
    }
    const _AbsDBItemNode* source = currentSource();
    const auto* sourceDevice =
        source && source->type == ITEMNODE_IOS_DEVICE ? static_cast<const _IOSDeviceItemNode*>(source) : nullptr;
    QList<void*> targets; // the devices: nodes may go while the dialogs run
    QList<DataSourceSelForm::Entry> entries;
    for (_ItemNode* child : itemModelMain->rootDevice()->children) {
        auto* phone = static_cast<_IOSDeviceItemNode*>(child);
        if (child->type != ITEMNODE_IOS_DEVICE || !phone->device)
            continue;
        if (sourceDevice && sourceDevice->identifier == phone->identifier)
            continue;
        targets << phone->device;
        entries.append({phone->name, phone->identifier});
    }
    if (targets.isEmpty()) {
        Tips::warning(ids("IDS_CONNECT_TARGET_IPHONE"));
        return;
    }
    DataSourceSelForm chooser(this);
    const int chosen = chooser.execSel(ids("IDS_SEL_ONE_IOS_DEVICE"), entries);
    if (chosen < 0)
        return;
    void* const attached = targets.at(chosen);
    const QString title = g_iPhoneTitle(entries.at(chosen).first).toHtmlEscaped();
    if (!Tips::confirm(ids("IDS_BEFORE_RESTORE_VIBER_KILL_VIBER_FIRST").arg(title) +
                       QStringLiteral("<br/><br/><img src=\":/res/kill_viber.png\">")))
        return;
    _IOSDeviceItemNode* target = findDevice(attached);
    if (!target) {
        Tips::warning(ids("IDS_IPHONE_LEFT_%1").arg(title));
        return;
    }

    IOSDevice device;
    if (!readDevice(target, device))
        return;
    IOSDeviceLoadHooks hooks = windowHooks(this);
    hooks.confirmDeviceRestore = [title] { return Tips::question(ids("IDS_RESTORE_QUESTION_%1").arg(title)); };
    IOSTransferResult result;
    try {
        result = g_restoreMessages2IOSThrow(device, m_folders, msgs, hooks);
    } catch (const std::exception& e) {
        Tips::error(QString::fromUtf8(e.what()));
        return;
    }
    if (!result.done)
        return;
    Tips::info(result.successText().toHtmlEscaped());
    target = findDevice(attached); // it may have left meanwhile
    if (!target || (result.addedMsgCount == 0 && result.addedCallCount == 0))
        return;
    if (result.viaBackup) {
        // The phone restarts with the restored data; the node stays and
        // shows the merged store the phone now holds (a restart that drops
        // the phone brings it back as a new arrival).
        try {
            showDeviceData(target, loadCopiedStoreThrow(result.merged));
        } catch (const std::exception& e) {
            Tips::error(QString::fromUtf8(e.what()));
            return;
        }
    } else if (!loadIOSViberMessages(target, false)) {
        return;
    }
    // The target's merged history is listed; the user reads on where they were.
    if (const _IOSDeviceItemNode* again = findDevice(attached))
        treeViewDS->expand(itemModelMain->indexOfItemNode(again));
}

void MainWindow::export2ITunesBK(const ViberMsgList& msgs)
{
    if (msgs.isEmpty()) {
        Tips::info(ids("IDS_NO_MESSAGES_CHOSEN"));
        return;
    }
    LoadItunesBackupDlg chooser(m_folders, this);
    const QSharedPointer<BackupManifest> backup = chooser.execChoose();
    if (!backup)
        return;
    IOSTransferResult result;
    try {
        result = g_export2ITunesBKThrow(backup->root().absolutePath(), m_folders, msgs, windowHooks(this));
    } catch (const std::exception& e) {
        Tips::error(QString::fromUtf8(e.what()));
        return;
    }
    if (result.done)
        Tips::info(result.successText().toHtmlEscaped());
}
