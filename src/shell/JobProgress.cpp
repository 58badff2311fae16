#include "shell/JobProgress.h"

#include <QThread>

#include <exception>
#include <vector>

void JobProgress::setClosed(bool closed)
{
    const bool was = m_closed.exchange(closed, std::memory_order_acq_rel);
    if (!closed || was)
        return;
    std::vector<CancelHandler> handlers;
    {
        std::lock_guard<std::mutex> guard(m_handlersLock);
        for (const auto& entry : m_handlers)
            handlers.push_back(entry.second);
    }
    for (const CancelHandler& h : handlers)
        h();
}

void JobProgress::throwIfClosed() const
{
    if (closed())
        throw JobCancelled();
}

int JobProgress::subscribeCancel(CancelHandler handler)
{
    std::lock_guard<std::mutex> guard(m_handlersLock);
    const int id = m_nextHandlerId++;
    m_handlers.emplace(id, std::move(handler));
    return id;
}

void JobProgress::unsubscribeCancel(int id)
{
    std::lock_guard<std::mutex> guard(m_handlersLock);
    m_handlers.erase(id);
}

void JobProgress::waitTipsAcknowledged() const
{
    while (waiting() && !closed())
        QThread::msleep(50);
}

int JobProgress::percent(qint64 done, qint64 total)
{
    if (total <= 0)
        return 0;
    return int(double(done) * 100.0 / double(total));
}

void PercentReporter::report(qint64 done, qint64 total, const QString& detail)
{
    const int percent = JobProgress::percent(done, total);
    if (percent == m_last && done != total)
        return;
    m_last = percent;
    m_progress.invokeUpdateProgress(QString(), percent,
                                    detail.isEmpty() ? QString() : detail.arg(done).arg(total));
}

CancelSubscription::CancelSubscription(JobProgress& progress, JobProgress::CancelHandler handler)
    : m_progress(progress), m_id(progress.subscribeCancel(std::move(handler)))
{
}

CancelSubscription::~CancelSubscription()
{
    m_progress.unsubscribeCancel(m_id);
}

void runJobProtocol(JobProgress& progress, const std::function<QString()>& body, const QString& errorPrefix)
{
    try {
        const QString tips = body();
        progress.invokeSucceed(tips);
    } catch (const JobCancelled&) {
        // The user asked for it: nothing to report.
    } catch (const std::exception& e) {
        progress.invokeErrorOccurred(errorPrefix + QString::fromUtf8(e.what()));
    } catch (...) {
        progress.invokeErrorOccurred(errorPrefix + QStringLiteral("internal error"));
    }
}
