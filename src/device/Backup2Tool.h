#pragma once

#include "device/MobileDevice.h"

#include <QDir>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>

enum backup2tool_op { BACKUP2TOOL_BACKUP = 0, BACKUP2TOOL_RESTORE = 1 };

struct _backup2tool_req
{
    int op = BACKUP2TOOL_BACKUP;
};

// Runs the whole-device backup program for one device as a child process:
// a backup into root/<udid>, or a restore of the device from root/<udid>.
// Progress is an estimate from the elapsed time against the device's used
// storage; cancel() kills the program.
class backup2tool : public QObject
{
    Q_OBJECT
public:
    backup2tool(am_device* device, const QString& udid, const QDir& root, QObject* parent = nullptr);

    // Runs the program to its end. Raises std::runtime_error with the
    // program's output when it reports an error, exits with a failure, or
    // (for a backup) leaves no finished backup; returns on success and when
    // cancelled (see cancelled()).
    void runThrow(const _backup2tool_req& req);
    double progress() const { return m_pg; }
    bool cancelled() const { return m_cancelled.load(); }

    // The backup program of the loaded backend, idevicebackup2 when it names none.
    static QString program();
    // Runs this program instead (tests).
    void setProgram(const QString& path) { m_program = path; }
    // A full backup transfers every file again; an earlier backup in the
    // folder lets the program send only what changed.
    void setFullBackup(bool full) { m_full = full; }
    static QStringList arguments(int op, const QString& udid, const QDir& root, bool full = true);
    // Seconds the run is expected to take: 0.03 s per MiB in use, 60 s when
    // the device reports less than 1 MiB or cannot be asked.
    static int estimateSeconds(am_device* device);
    static int estimateSecondsFor(qint64 totalCapacity, qint64 available);
    // 0..99, never 100 before the program ends.
    static double progressFor(double elapsedSeconds, int estimate);
    // How long the program may take to start; tests shorten it.
    static void setStartTimeoutMs(int ms);

signals:
    void update(double pg, const QString& status1, const QString& status2);

public slots:
    void cancel() { m_cancelled.store(true); }

private:
    am_device* m_device;
    QString m_udid;
    QDir m_root;
    QString m_program;
    double m_pg = 0;
    std::atomic_bool m_cancelled{false};
    bool m_full = true;
};

// Free bytes of the volume holding dir, -1 when unknown.
qint64 get_freespace(const QDir& dir);
