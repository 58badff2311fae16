#pragma once

#include "shell/JobProgress.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <mutex>

// A JobProgress that records every call, for tests. It can close the job by
// itself after a number of progress updates, to test cancellation at a chosen
// point of the work.
class RecordingProgress : public JobProgress
{
public:
    struct Update
    {
        QString status;
        int percent;
        QString detail;
    };

    void invokeUpdateProgress(const QString& status, int curProgress, const QString& progressText) override;
    void invokeSucceed(const QString& tipsStr) override;
    void invokeErrorOccurred(const QString& err) override;
    void invokeTipsWait(const QString& info) override;

    // Closes the job when the n-th progress update arrives (1-based); 0 never.
    void cancelAfterUpdates(int n) { m_cancelAfter = n; }

    QList<Update> updates() const;
    QStringList successes() const;
    QStringList errors() const;
    QStringList tips() const;

private:
    mutable std::mutex m_lock;
    QList<Update> m_updates;
    QStringList m_successes;
    QStringList m_errors;
    QStringList m_tips;
    int m_cancelAfter = 0;
};
