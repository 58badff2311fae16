#pragma once

#include <QDir>
#include <QSet>
#include <QString>
#include <QThreadPool>

// Makes the previews a load finds missing (g_makeImagePreview) on other
// cores while the load goes on copying: decoding thousands of photos would
// otherwise take as long as the copies themselves. Each preview is made
// once however many attachments name it, so no two threads write one file.
class PreviewMaker
{
public:
    // Previews are written inside base only.
    explicit PreviewMaker(const QDir& base);
    // Waits for the previews under way and drops those not begun.
    ~PreviewMaker();
    PreviewMaker(const PreviewMaker&) = delete;
    PreviewMaker& operator=(const PreviewMaker&) = delete;

    void make(const QString& src, const QString& dst);
    // Returns once every preview asked for is written (or failed).
    void finish();
    // Drops the previews not begun and waits for the rest (a cancel).
    void cancel();

private:
    QDir m_base;
    QThreadPool m_pool;
    QSet<QString> m_asked;
};
