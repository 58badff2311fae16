#pragma once

#include "device/Backup2Tool.h"
#include "device/IOSDevice.h"
#include "shell/JobProgress.h"

#include <QDir>
#include <QThread>

// Makes or brings up to date a whole backup of the device in the temporary
// backup folder (root()/<udid>). A failed or cancelled backup leaves no
// folder behind; a finished one of the same iOS version is kept, so the next
// backup of the device is incremental.
class IOSMobileBackupThread : public QThread
{
    Q_OBJECT
public:
    IOSMobileBackupThread(const IOSDevice& device, JobProgress& progress, QObject* parent = nullptr);
    // Backs up into root instead of the temporary backup folder.
    IOSMobileBackupThread(const IOSDevice& device, const QDir& root, JobProgress& progress, QObject* parent = nullptr);
    void run() override;

    const QDir& root() const { return m_root; }
    QString backupDir() const { return m_root.absoluteFilePath(m_device.udid); }
    // Whether an earlier backup in folder can be brought up to date: finished,
    // with its index, and made under productVersion.
    static bool isReusableBackup(const QString& folder, const QString& productVersion);

public slots:
    void backupUpdate(double pg, const QString& status1, const QString& status2);

private:
    QString backupThrow();

    IOSDevice m_device;
    JobProgress& m_progress;
    QDir m_root;
    backup2tool m_tool;
};

// Text of a backup program's failure as the progress display shows it.
QString g_backupFailureText(const QString& text);
