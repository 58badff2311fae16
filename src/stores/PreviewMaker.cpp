#include "stores/PreviewMaker.h"

#include "stores/StorePaths.h"

#include <QThread>

PreviewMaker::PreviewMaker(const QDir& base) : m_base(base)
{
    // The thread that asks keeps one core busy copying.
    m_pool.setMaxThreadCount(qMax(1, QThread::idealThreadCount() - 1));
}

PreviewMaker::~PreviewMaker()
{
    cancel();
}

void PreviewMaker::make(const QString& src, const QString& dst)
{
    if (m_asked.contains(dst))
        return;
    m_asked.insert(dst);
    m_pool.start([src, dst, base = m_base] { g_makeImagePreview(src, dst, base); });
}

void PreviewMaker::finish()
{
    m_pool.waitForDone();
}

void PreviewMaker::cancel()
{
    m_pool.clear();
    m_pool.waitForDone();
}
