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

void askAboutEmptyPhone()
{
    if (Tips::question(QStringLiteral("Failed to load Viber Messages. Do you have any Viber Message on your iPhone?")))
        Tips::warning(QStringLiteral(
            "Can't load Viber Messages from your iPhone. If you are using Viber Desktop on your computer, you can click "
            "\"File\" -> \"Import Messages from Viber Desktop\" on the software to load messages from Viber "
            "Desktop.<br/><br/> Note: Transferring messages to your iPhone may erase your current Viber messages."));
    else
        Tips::info(QStringLiteral("iPhone detected. Now you can transfer messages to your iPhone.<br/><br/>Note: Please "
                                  "make sure you have installed and verified Viber on your iPhone before transferring "
                                  "messages."));
}

const char* const kRestoreNotes =
    "Notes:<br/>1) If your iPhone is protected with a passcode, please enter your passcode on iPhone first.<br/>"
    "2) Please make sure you've turned off \"iCloud Backup\" on your iPhone.<br/>"
    "3) \"Find My iPhone\" must be disabled before restoring: Settings, your name, Find My, Find My iPhone.";
} // namespace

bool MainWindow::loadIOSViberMessages(_IOSDeviceItemNode* node, bool askWhenEmpty)
{
    IOSDevice device;
    if (!readDevice(node, device))
        return false;
    // The phone may leave while its jobs run (their dialogs run the event
    // loop): its node is found again afterwards, never used stale.
    void* const attached = node->device;
    IOSDeviceLoadResult result;
    ViberData data;
    try {
        if (!g_loadIOSViberMessagesThrow(device, m_folders, windowHooks(this), result))
            return false;
        if (result.templateStore && askWhenEmpty)
            askAboutEmptyPhone();
        data = loadCopiedStoreThrow(result.containers);
    } catch (const std::exception& e) {
        Tips::error(QString::fromUtf8(e.what()));
        return false;
    }
    if (result.skipped > 0)
        Tips::info(QStringLiteral("Loaded successfully and %1 attachments skipped.").arg(result.skipped));
    node = findDevice(attached);
    if (!node)
        return false;
    // The list and the chat nodes may point into the node's old data set.
    if (currentSource() == node) {
        treeViewDS->setCurrentIndex(QModelIndex());
        resetMessagesShow();
    }
    sortedCache = {};
    itemModelMain->clearChilds(node);
    node->data = data;
    node->loaded = true;
    itemModelMain->listChats(node);
    updateMenuActionState();
    return true;
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
        Tips::warning(QStringLiteral("Please connect the iPhone to transfer the messages to."));
        return;
    }
    DataSourceSelForm chooser(this);
    const int chosen = chooser.execSel(ids("IDS_SEL_ONE_IOS_DEVICE"), entries);
    if (chosen < 0)
        return;
    void* const attached = targets.at(chosen);
    Tips::info(ids("IDS_BEFORE_RESTORE_VIBER_KILL_VIBER_FIRST") +
               QStringLiteral("<br/><br/><img src=\":/res/kill_viber.png\">"));
    _IOSDeviceItemNode* target = findDevice(attached);
    if (!target) {
        Tips::warning(QStringLiteral("The iPhone has been disconnected."));
        return;
    }

    IOSDevice device;
    if (!readDevice(target, device))
        return;
    IOSDeviceLoadHooks hooks = windowHooks(this);
    hooks.confirmDeviceRestore = [] { return Tips::question(QString::fromLatin1(kRestoreNotes)); };
    IOSTransferResult result;
    try {
        result = g_restoreMessages2IOSThrow(device, m_folders, msgs, hooks);
    } catch (const std::exception& e) {
        Tips::error(QString::fromUtf8(e.what()));
        return;
    }
    if (!result.done)
        return;
    Tips::info(result.successText());
    target = findDevice(attached); // it may have left meanwhile
    if (!target) {
        return;
    } else if (result.viaBackup) {
        // The phone restarts with the restored data: it comes back as a new arrival.
        removeDeviceNode(target);
    } else if (loadIOSViberMessages(target, false)) {
        if (const _IOSDeviceItemNode* again = findDevice(attached))
            iniShowDSNode(again);
    }
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
        Tips::info(result.successText());
}
