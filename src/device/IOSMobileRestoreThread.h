#pragma once

#include "device/Backup2Tool.h"
#include "device/IOSDevice.h"
#include "shell/JobProgress.h"

#include <QDir>
#include <QThread>

// Restores the device from the backup sourceDir/<udid>; the device restarts
// afterwards. The backup's Info.plist is set aside while the program runs
// and is always put back.
class IOSMobileRestoreThread : public QThread
{
    Q_OBJECT
public:
    IOSMobileRestoreThread(const IOSDevice& device, const QDir& sourceDir, JobProgress& progress,
                           QObject* parent = nullptr);
    void run() override;

    // What the user reads when the program failed with text: the device's
    // known refusals in plain words, anything else with a restart note.
    static QString failureText(const QString& text);

public slots:
    void backupUpdate(double pg, const QString& status1, const QString& status2);

private:
    QString restoreThrow();

    IOSDevice m_device;
    QDir m_sourceDir;
    JobProgress& m_progress;
    backup2tool m_tool;
};
