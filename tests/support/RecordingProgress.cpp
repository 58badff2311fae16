#include "RecordingProgress.h"

void RecordingProgress::invokeUpdateProgress(const QString& status, int curProgress, const QString& progressText)
{
    qsizetype count = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_updates.append({status, curProgress, progressText});
        count = m_updates.size();
    }
    if (m_cancelAfter > 0 && count == m_cancelAfter)
        setClosed(true);
}

void RecordingProgress::invokeSucceed(const QString& tipsStr)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_successes.append(tipsStr);
}

void RecordingProgress::invokeErrorOccurred(const QString& err)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_errors.append(err);
}

void RecordingProgress::invokeTipsWait(const QString& info)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_tips.append(info);
    }
    setWaiting(false);
}

QList<RecordingProgress::Update> RecordingProgress::updates() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_updates;
}

QStringList RecordingProgress::successes() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_successes;
}

QStringList RecordingProgress::errors() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_errors;
}

QStringList RecordingProgress::tips() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_tips;
}
