#pragma once

#include "jobs/IOSDeviceViberLoad.h"
#include "model/ViberData.h"

#include <QList>
#include <QString>

struct IOSTransferResult
{
    bool done = false;  // false: a job failed or was cancelled (its display told the user)
    int msgCount = 0;   // messages queued for merging
    int callCount = 0;  // calls queued for merging
    int addedMsgCount = 0;  // messages the target did not have yet
    int addedCallCount = 0; // calls the target did not have yet
    bool viaBackup = false; // the device was restored from its backup and restarts (not when nothing was added)
    bool intoBackupFolder = false; // written into an iTunes backup folder, not onto a device
    QString target;         // the phone or backup written to, as the user knows it
    ViberContainers merged; // a transfer to a device: the local copy that holds the merged store
    // What was added to the target ("Successfully transferred 3 messages and
    // 1 call to iPhone "Ann's iPhone"."), or that it had everything already.
    QString successText() const;
};

// Writes msgs into the Viber store of the device: brings a current copy of
// its data to the computer (direct or through a device backup), merges the
// messages into it and brings the merged store back (directly, or by
// writing it into the device's backup and restoring that). Raises
// std::runtime_error with a text for the user when the device's settings or
// its store refuse, before the device changes.
IOSTransferResult g_restoreMessages2IOSThrow(const IOSDevice& device, const DataFolders& folders,
                                             const QList<_ViberMsg*>& msgs, const IOSDeviceLoadHooks& hooks);

// Writes msgs into the Viber store inside an iTunes backup folder of either
// generation (a backup without one gets the template store), so that
// restoring the backup brings them onto an iPhone. The backup's index is
// replaced only once the new one is complete. An encrypted backup is
// unlocked through hooks.unlockBackup. The working files go into a cache
// folder of folders, removed afterwards.
IOSTransferResult g_export2ITunesBKThrow(const QString& backupDir, const DataFolders& folders,
                                         const QList<_ViberMsg*>& msgs, const IOSDeviceLoadHooks& hooks);
