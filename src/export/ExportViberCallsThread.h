#pragma once

#include "model/ViberRecords.h"
#include "shell/JobProgress.h"

#include <QIODevice>
#include <QList>
#include <QString>
#include <QThread>

// Writes call records as a fixed-width UTF-8 table, newest call first.
class ExportViberCallsThread : public QThread
{
public:
    ExportViberCallsThread(const QList<_ViberCall*>& calls, QString path, JobProgress& progress,
                           QObject* parent = nullptr);
    // Writes to the caller's device instead of a file.
    ExportViberCallsThread(const QList<_ViberCall*>& calls, QIODevice& device, JobProgress& progress,
                           QObject* parent = nullptr);
    void run() override;

    // The calls of the messages that carry one, in message order.
    static QList<_ViberCall*> callsOf(const QList<_ViberMsg*>& msgs);

private:
    QString exportAll();

    QList<_ViberCall*> m_calls;
    QString m_path;
    QIODevice* m_device = nullptr;
    JobProgress& m_progress;
};
