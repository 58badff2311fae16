#pragma once

#include "model/ViberRecords.h"
#include "shell/JobProgress.h"

#include <QDir>
#include <QList>
#include <QThread>

// Copies the attachment files of messages into one folder, named after the
// message time ("atta_yyyyMMdd-hhmmss.<suffix>") and dated like the message.
class ExtractMediaFilesThread : public QThread
{
public:
    ExtractMediaFilesThread(const QList<_ViberMsg*>& msgs, QDir outDir, JobProgress& progress,
                            QObject* parent = nullptr);
    void run() override;

    // Copies one message's attachment; returns the target path, or empty when
    // nothing was copied.
    static QString extractOne(const _ViberMsg& m, const QDir& outDir);

private:
    QString extractAll();

    QList<_ViberMsg*> m_msgs;
    QDir m_outDir;
    JobProgress& m_progress;
};
