#include "jobs/IOSDeviceViberTransfer.h"

#include "device/IOSBackupTemp.h"
#include "device/IOSMobileRestoreThread.h"
#include "itunes/BackupManifest.h"
#include "jobs/IOSLoadViberFromiTunesThread.h"
#include "jobs/IOSMergeWAFiles2iTunesBKThread.h"
#include "jobs/IOSRestoreViberMsgThread.h"
#include "stores/TemplateStore.h"
#include "shell/Failure.h"
#include "shell/FileRoutines.h"
#include "shell/UserTexts.h"
#include "stores/CurrentStoreLayout.h"

#include <QFileInfo>

#include <memory>

namespace {
// Merges msgs into the store of target; false when the job did not succeed.
bool mergeThrow(const IOSDevice& device, const ViberContainers& target, const QList<_ViberMsg*>& msgs, bool direct,
                const IOSDeviceLoadHooks& hooks, IOSTransferResult& result,
                QList<IOSMergeWAFiles2iTunesBKThread::_Item>& items)
{
    std::unique_ptr<IOSRestoreViberMsgThread> job;
    const bool ok = hooks.runJob([&](JobProgress& p) {
        job = std::make_unique<IOSRestoreViberMsgThread>(device, target, msgs, p);
        job->setDirect(direct);
        return job.get();
    });
    result.msgCount = job->msgCount();
    result.callCount = job->callCount();
    result.addedMsgCount = job->addedMsgCount();
    result.addedCallCount = job->addedCallCount();
    items = job->items();
    return ok;
}

bool writeIntoBackupThrow(BackupManifest& manifest, const QList<IOSMergeWAFiles2iTunesBKThread::_Item>& items,
                          const IOSDeviceLoadHooks& hooks)
{
    std::unique_ptr<IOSMergeWAFiles2iTunesBKThread> job;
    return hooks.runJob([&](JobProgress& p) {
        job = std::make_unique<IOSMergeWAFiles2iTunesBKThread>(manifest, items, p);
        return job.get();
    });
}
} // namespace

QString IOSTransferResult::successText() const
{
    if (addedMsgCount == 0 && addedCallCount == 0)
        return ids("IDS_TRANSFER_NOTHING_NEW_%1").arg(target);
    QString text = ids("IDS_SUC_TRANSFER_%1_MSGS_%2_CALLS_TO_%3")
                       .arg(ids("IDS_%1_MESSAGES", addedMsgCount), ids("IDS_%1_CALLS", addedCallCount), target);
    // A backup folder is not a phone yet: say how the messages get there.
    if (intoBackupFolder)
        text += u' ' + ids("IDS_RESTORE_BACKUP_TO_BRING_THEM_ONTO_AN_IPHONE");
    return text;
}

IOSTransferResult g_restoreMessages2IOSThrow(const IOSDevice& device, const DataFolders& folders,
                                             const QList<_ViberMsg*>& msgs, const IOSDeviceLoadHooks& hooks)
{
    IOSTransferResult result;
    result.target = g_iPhoneTitle(device.name);
    IOSDeviceLoadResult loaded;
    if (!g_loadIOSViberMessagesThrow(device, folders, hooks, loaded))
        return result;
    result.viaBackup = loaded.viaBackup;
    if (!loaded.viaBackup && loaded.templateStore)
        g_raise(QStringLiteral("Can't find Viber installed on %1.").arg(result.target.toHtmlEscaped()));

    QList<IOSMergeWAFiles2iTunesBKThread::_Item> items;
    if (loaded.viaBackup) {
        // Checked before the store changes: a restore would be refused later.
        QString warning;
        if (!device.checkiTunesBackupSettings(true, true, &warning))
            g_raise(warning);
    }
    if (!mergeThrow(device, loaded.containers, msgs, !loaded.viaBackup, hooks, result, items))
        return result;
    result.merged = loaded.containers;
    // A phone that had everything is not restored (and restarted) for nothing.
    if (!loaded.viaBackup || (result.addedMsgCount == 0 && result.addedCallCount == 0)) {
        result.viaBackup = false;
        result.done = true;
        return result;
    }
    // The merge changed only the copy on the computer; the phone changes
    // from here on, and only when the user allows its restore.
    if (hooks.confirmDeviceRestore && !hooks.confirmDeviceRestore())
        return result;

    const QDir root(hooks.backupRoot.isEmpty() ? iosbackup_temp_dir().absolutePath() : hooks.backupRoot);
    BackupManifest manifest(root.absoluteFilePath(device.udid), folders);
    manifest.readManifestInfo();
    if (manifest.info().isEncrypted && !(hooks.unlockBackup && hooks.unlockBackup(manifest)))
        return result;
    manifest.parseInfo();
    if (!writeIntoBackupThrow(manifest, items, hooks))
        return result;
    std::unique_ptr<IOSMobileRestoreThread> restore;
    result.done = hooks.runJob([&](JobProgress& p) {
        restore = std::make_unique<IOSMobileRestoreThread>(device, root, p);
        return restore.get();
    });
    return result;
}

IOSTransferResult g_export2ITunesBKThrow(const QString& backupDir, const DataFolders& folders,
                                         const QList<_ViberMsg*>& msgs, const IOSDeviceLoadHooks& hooks)
{
    IOSTransferResult result;
    result.intoBackupFolder = true;
    BackupManifest manifest(QFileInfo(backupDir).absoluteFilePath(), folders);
    manifest.readManifestInfo();
    if (manifest.info().isEncrypted) {
        // The older index cannot carry plain files in an encrypted backup.
        if (manifest.generation() != BackupGeneration::ManifestDb)
            g_raise(QStringLiteral("Failed to export messages to iTunes backup because your current iTunes backup is "
                                   "encrypted."));
        if (!(hooks.unlockBackup && hooks.unlockBackup(manifest)))
            return result;
    }
    manifest.parseInfo();
    result.target = ids("IDS_ITUNES_BACKUP_OF_%1").arg(manifest.info().deviceName.isEmpty()
                                                            ? QDir(backupDir).dirName()
                                                            : manifest.info().deviceName);

    // A stand-in device whose cache folder holds the working files.
    IOSDevice virtualDevice;
    virtualDevice.udid = QStringLiteral("virtual_") + manifest.dirPathMd5();
    const QDir cache = virtualDevice.cacheDir(folders);
    struct CacheGuard
    {
        QString path;
        ~CacheGuard() { g_delDirCascade(path); }
    } guard{cache.absolutePath()};

    ViberContainers target;
    target.appRoot = QDir(cache.absoluteFilePath(QStringLiteral("com.viber")));
    bool hasData = false;
    if (g_backupHasViberData(manifest)) {
        std::unique_ptr<IOSLoadViberFromiTunesThread> load;
        if (!hooks.runJob([&](JobProgress& p) {
                load = std::make_unique<IOSLoadViberFromiTunesThread>(&manifest, p, cache.absolutePath());
                return load.get();
            }))
            return result;
        hasData = load->hasData();
        if (hasData)
            target = load->containers();
    }
    if (!hasData) {
        target.storeFile = target.appRoot.absoluteFilePath(QStringLiteral("Documents/Contacts.data"));
        g_copyTemplateStoreThrow(target.storeFile);
    }

    QList<IOSMergeWAFiles2iTunesBKThread::_Item> items;
    if (!mergeThrow(virtualDevice, target, msgs, false, hooks, result, items))
        return result;
    result.done = writeIntoBackupThrow(manifest, items, hooks);
    return result;
}
