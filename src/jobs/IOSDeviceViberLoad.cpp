#include "jobs/IOSDeviceViberLoad.h"

#include "device/IOSBackupTemp.h"
#include "device/IOSMobileBackupThread.h"
#include "itunes/BackupManifest.h"
#include "jobs/IOSLoadViberFromiTunesThread.h"
#include "jobs/IOSLoadViberThread.h"
#include "stores/TemplateStore.h"
#include "shell/Failure.h"
#include "shell/UserTexts.h"
#include "stores/CurrentStoreLayout.h"

#include <memory>

namespace {
void useTemplate(IOSDeviceLoadResult& result)
{
    const QString store = result.dataDir.absoluteFilePath(QStringLiteral("Documents/Contacts.data"));
    g_copyTemplateStoreThrow(store);
    result.templateStore = true;
    result.containers = ViberContainers();
    result.containers.storeFile = store;
    result.containers.appRoot = result.dataDir;
}
} // namespace

bool g_backupHasViberData(const BackupManifest& m)
{
    for (const auto& top : m.rootNode().children) {
        const bool apps = top->name.compare(QLatin1String("Applications"), Qt::CaseInsensitive) == 0;
        const bool groups = top->name.compare(QLatin1String(CurrentStore::kBackupGroupTop), Qt::CaseInsensitive) == 0;
        for (const auto& child : top->children) {
            if ((apps && child->name.compare(QLatin1String("com.viber"), Qt::CaseInsensitive) == 0) ||
                (groups && child->name.compare(QLatin1String(CurrentStore::kGroupContainerName), Qt::CaseInsensitive) == 0))
                return true;
        }
    }
    return false;
}

bool g_loadIOSViberMessagesThrow(const IOSDevice& device, const DataFolders& folders, const IOSDeviceLoadHooks& hooks,
                                 IOSDeviceLoadResult& result)
{
    result = IOSDeviceLoadResult();
    std::unique_ptr<IOSLoadViberThread> direct;
    if (!hooks.runJob([&](JobProgress& p) {
            direct = std::make_unique<IOSLoadViberThread>(device, folders, p);
            return direct.get();
        }))
        return false;
    result.dataDir = direct->dataDir();
    result.viaBackup = direct->needBackup();
    result.skipped = direct->skipped();
    if (!result.viaBackup) {
        result.containers.storeFile = result.dataDir.absoluteFilePath(QStringLiteral("Documents/Contacts.data"));
        result.containers.appRoot = result.dataDir;
        return true;
    }

    QString warning;
    if (!device.checkiTunesBackupSettings(true, false, &warning))
        g_raise(warning);
    const QDir root(hooks.backupRoot.isEmpty() ? iosbackup_temp_dir().absolutePath() : hooks.backupRoot);
    std::unique_ptr<IOSMobileBackupThread> backup;
    if (!hooks.runJob([&](JobProgress& p) {
            backup = std::make_unique<IOSMobileBackupThread>(device, root, p);
            return backup.get();
        }))
        return false;

    BackupManifest manifest(backup->backupDir(), folders);
    manifest.readManifestInfo();
    if (manifest.info().isEncrypted && !(hooks.unlockBackup && hooks.unlockBackup(manifest)))
        return false;
    manifest.parseInfo();

    const QDir cache = device.cacheDir(folders);
    result.dataDir = QDir(cache.absoluteFilePath(QStringLiteral("com.viber")));
    if (!g_backupHasViberData(manifest)) {
        useTemplate(result);
        return true;
    }
    std::unique_ptr<IOSLoadViberFromiTunesThread> load;
    if (!hooks.runJob([&](JobProgress& p) {
            load = std::make_unique<IOSLoadViberFromiTunesThread>(&manifest, p, cache.absolutePath());
            return load.get();
        }))
        return false;
    result.dataDir = load->dataDir();
    if (!load->hasData()) {
        useTemplate(result);
        return true;
    }
    result.containers = load->containers();
    return true;
}
