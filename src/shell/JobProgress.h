#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>

// Thrown inside a job when the user has cancelled; the job protocol catches
// it and ends the job quietly. Not a std::exception on purpose: handlers that
// report errors must not show a cancellation as one.
struct JobCancelled
{
};

// What a job sees of whoever shows its progress: the progress dialog in the
// GUI, a terminal line in the CLI, a recorder in tests. The invoke* calls may
// be made from any thread.
class JobProgress
{
public:
    using CancelHandler = std::function<void()>;

    virtual ~JobProgress() = default;

    // An empty status keeps the current one; a negative percentage keeps the
    // current one; an empty detail shows "Progress:<percent>%".
    virtual void invokeUpdateProgress(const QString& status, int curProgress, const QString& progressText) = 0;
    // The job ended well; a non-empty text is shown to the user.
    virtual void invokeSucceed(const QString& tipsStr) = 0;
    // The job failed with this text.
    virtual void invokeErrorOccurred(const QString& err) = 0;
    // Shows an information text; the job may then waitTipsAcknowledged().
    virtual void invokeTipsWait(const QString& info) = 0;

    // Set when the user cancelled or the display was closed after an error.
    bool closed() const { return m_closed.load(std::memory_order_acquire); }
    // Sets or clears the flag; setting it runs every cancel handler once.
    void setClosed(bool closed);
    // Throws the cancellation signal when the job has been closed.
    void throwIfClosed() const;

    // Cancel handlers let an engine interrupt a blocking transfer. They run on
    // the thread that sets the flag and must only signal the engine.
    int subscribeCancel(CancelHandler handler);
    void unsubscribeCancel(int id);

    bool waiting() const { return m_waiting.load(std::memory_order_acquire); }
    void setWaiting(bool waiting) { m_waiting.store(waiting, std::memory_order_release); }
    // Blocks the job until the text of invokeTipsWait was acknowledged or the
    // job was closed.
    void waitTipsAcknowledged() const;

    // done * 100 / total, truncated, 0 for an empty total.
    static int percent(qint64 done, qint64 total);

private:
    std::atomic_bool m_closed{false};
    std::atomic_bool m_waiting{false};
    std::mutex m_handlersLock;
    std::map<int, CancelHandler> m_handlers;
    int m_nextHandlerId = 1;
};

// Reports "done of total" only when the percentage changes (and at the end),
// so a job over a million records does not flood the display with updates.
class PercentReporter
{
public:
    explicit PercentReporter(JobProgress& progress) : m_progress(progress) {}
    // detail may hold %1 (done) and %2 (total); an empty detail shows the percentage.
    void report(qint64 done, qint64 total, const QString& detail = QString());

private:
    JobProgress& m_progress;
    int m_last = -1;
};

// Keeps a cancel handler subscribed for the lifetime of a scope.
class CancelSubscription
{
public:
    CancelSubscription(JobProgress& progress, JobProgress::CancelHandler handler);
    ~CancelSubscription();
    CancelSubscription(const CancelSubscription&) = delete;
    CancelSubscription& operator=(const CancelSubscription&) = delete;

private:
    JobProgress& m_progress;
    int m_id;
};

// The outermost handler every job's run() uses: runs body, reports its text as
// success, swallows the cancellation signal, and reports any failure of the
// layers below (std::exception) as an error with errorPrefix in front.
void runJobProtocol(JobProgress& progress, const std::function<QString()>& body,
                    const QString& errorPrefix = QString());
