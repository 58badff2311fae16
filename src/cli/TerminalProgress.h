#pragma once

#include "shell/JobProgress.h"

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>

#include <functional>

#include <mutex>

// Shows a job's progress as one line on the error stream (only when it is a
// terminal) and remembers how the job ended. While an InterruptGuard is alive,
// Ctrl-C sets the closed flag, so the job stops before its next unit of work.
class TerminalProgress : public JobProgress
{
public:
    enum Outcome { Running, Succeeded, Failed };

    TerminalProgress(QTextStream& err, bool drawProgress);

    void invokeUpdateProgress(const QString& status, int curProgress, const QString& progressText) override;
    void invokeSucceed(const QString& tipsStr) override;
    void invokeErrorOccurred(const QString& err) override;
    void invokeTipsWait(const QString& info) override;

    Outcome outcome() const;
    QString resultText() const;

    // The exit status after the job has returned: 130 when interrupted, 1 when
    // it failed (the error is printed), 0 when it succeeded (the success text,
    // if any, goes to out).
    int finish(QTextStream& out);

private:
    void clearLine();

    mutable std::mutex m_lock;
    QTextStream& m_err;
    bool m_draw;
    bool m_lineShown = false;
    QString m_status;
    int m_percent = 0;
    QElapsedTimer m_sinceDraw;
    Outcome m_outcome = Running;
    QString m_text;
};

// Routes SIGINT to a JobProgress for its lifetime: the first Ctrl-C closes the
// job, a second one ends the process at once with status 130.
class InterruptGuard
{
public:
    explicit InterruptGuard(JobProgress& progress);
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

struct CliContext;

// Runs a job on this thread under a TerminalProgress, with Ctrl-C routed to
// it, and returns the exit status of TerminalProgress::finish. The job reports
// through the progress it is given (its run() follows runJobProtocol).
int g_runTerminalJob(CliContext& ctx, const std::function<void(JobProgress&)>& job);
