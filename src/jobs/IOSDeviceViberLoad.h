#pragma once

#include "device/IOSDevice.h"
#include "shell/JobProgress.h"
#include "stores/ViberContainers.h"

#include <QDir>
#include <QThread>

#include <functional>

class BackupManifest;
class DataFolders;

// How a caller runs one job: makeJob builds the job on the progress display
// the caller shows it with (the GUI's modal progress form, the CLI's
// terminal line); the runner runs it to its end and answers whether it
// succeeded (neither failed nor cancelled). The job object stays the
// caller's of makeJob.
using DeviceJobRunner = std::function<bool(const std::function<QThread*(JobProgress&)>& makeJob)>;

struct IOSDeviceLoadHooks
{
    DeviceJobRunner runJob;
    // Unlocks an encrypted device backup (asks for its password); false when
    // the user gave up. Without it an encrypted backup stops the load.
    std::function<bool(BackupManifest&)> unlockBackup;
    // The whole-device backups go here instead of iosbackup_temp_dir().
    QString backupRoot;
    // A transfer over the backup route asks this once the merge has shown
    // that the phone lacks something, before the phone changes (the window
    // asks whether the phone may be restored); false stops the transfer.
    // Unset: go on.
    std::function<bool()> confirmDeviceRestore;
};

struct IOSDeviceLoadResult
{
    ViberContainers containers; // where the copied store and its containers are
    QDir dataDir;               // the copy of the app container (attachments)
    bool viaBackup = false;     // house arrest refused: the device was backed up
    int skipped = 0;            // attachments that could not be copied
    bool templateStore = false; // the device had no store: an empty one stands in
};

// Brings a copy of the device's Viber data into its cache folder: directly
// through house arrest when the device allows it, else through a whole-device
// backup. False when a job failed or was cancelled (its progress display has
// told the user); raises std::runtime_error with a text for the user when the
// device's backup settings refuse or the backup cannot be read.
// Whether a backup holds a Viber container (the app's, or today's app group).
bool g_backupHasViberData(const BackupManifest& manifest);

// The device's cache folder is taken from folders.
bool g_loadIOSViberMessagesThrow(const IOSDevice& device, const DataFolders& folders, const IOSDeviceLoadHooks& hooks,
                                 IOSDeviceLoadResult& result);
