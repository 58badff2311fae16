#include "stores/PreviewMaker.h"

#include "stores/StorePaths.h"

#include <QThread>

PreviewMaker::PreviewMaker(const QDir& base) : m_base(base)
{
    // Decoding photos is most of the work where a backup lacks previews:
    // every core takes a share, the copying thread included.
    m_pool.setMaxThreadCount(qMax(1, QThread::idealThreadCount()));
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
