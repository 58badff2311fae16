#pragma once

#include "export/ExportOutput.h"
#include "model/ViberRecords.h"
#include "shell/JobProgress.h"

#include <QDir>
#include <QList>
#include <QThread>

// Copies the attachment files of messages into one folder, named after the
// message time ("atta_yyyyMMdd-hhmmss.<suffix>") and dated like the message.
// A file that cannot be read is skipped and counted; a folder that cannot be
// written (full disk) fails the job and removes what it copied. A cancelled
// job keeps the files copied so far.
class ExtractMediaFilesThread : public QThread
{
public:
    ExtractMediaFilesThread(const QList<_ViberMsg*>& msgs, QDir outDir, JobProgress& progress,
                            QObject* parent = nullptr);
    void run() override;

    // Copies one message's attachment through output; returns the target
    // path, or empty when nothing was copied. Raises when the folder cannot
    // be written.
    static QString extractOne(const _ViberMsg& m, const QDir& outDir, ExportOutput& output);

private:
    QString extractAll();

    QList<_ViberMsg*> m_msgs;
    QDir m_outDir;
    JobProgress& m_progress;
    ExportOutput m_output;
};
