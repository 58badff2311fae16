#include "export/ExtractMediaFilesThread.h"

#include "model/ViberTime.h"
#include "shell/FileRoutines.h"
#include "shell/UserTexts.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <stdexcept>
#include <utime.h>

ExtractMediaFilesThread::ExtractMediaFilesThread(const QList<_ViberMsg*>& msgs, QDir outDir, JobProgress& progress,
                                                 QObject* parent)
    : QThread(parent), m_msgs(msgs), m_outDir(std::move(outDir)), m_progress(progress)
{
}

void ExtractMediaFilesThread::run()
{
    runJobProtocol(m_progress, [this] { return extractAll(); });
}

namespace {
bool isFile(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

QString copyAs(const QString& source, const QDir& outDir, const QString& base, const QString& suffix)
{
    const QString name = suffix.isEmpty() ? base : base + u'.' + suffix;
    const QString target = g_getValidFilePath(outDir.filePath(name));
    return QFile::copy(source, target) ? target : QString();
}
} // namespace

QString ExtractMediaFilesThread::extractOne(const _ViberMsg& m, const QDir& outDir)
{
    const _ViberAtta* a = m.atta;
    if (!a)
        return QString();
    const QString base = QStringLiteral("atta_") + dtFromTimestamp(m.date).toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target;
    switch (m.type) {
    case MSG_TYPE_AUDIO:
        if (isFile(a->filePath))
            target = copyAs(a->filePath, outDir, base, QStringLiteral("viber_voice"));
        break;
    case MSG_TYPE_IMAGE:
    case MSG_TYPE_VIDEO:
        if (isFile(a->filePath))
            target = copyAs(a->filePath, outDir, base, QFileInfo(a->filePath).suffix());
        else if (isFile(a->thumbPath))
            target = copyAs(a->thumbPath, outDir, base, QFileInfo(a->thumbPath).suffix());
        break;
    case MSG_TYPE_LOCATION:
    case MSG_TYPE_STICKER:
        if (isFile(a->thumbPath))
            target = copyAs(a->thumbPath, outDir, base, QFileInfo(a->thumbPath).suffix());
        break;
    default:
        break;
    }
    if (!target.isEmpty()) {
        const double unixTime = std::trunc(m.date) + double(kCoreDataEpochUnix);
        struct utimbuf times;
        times.actime = times.modtime = time_t(qBound(0.0, unixTime, 4294967295.0));
        ::utime(QFile::encodeName(target).constData(), &times);
    }
    return target;
}

QString ExtractMediaFilesThread::extractAll()
{
    m_progress.invokeUpdateProgress(ids("IDS_EXTRACTING_MEDIA_FILES"), -1, QString());
    if (!m_outDir.exists() && !QDir().mkpath(m_outDir.absolutePath()))
        throw std::runtime_error(QStringLiteral("Cannot create the folder %1.").arg(m_outDir.absolutePath()).toStdString());
    const qint64 total = m_msgs.size();
    qint64 i = 0;
    PercentReporter reporter(m_progress);
    for (const _ViberMsg* m : std::as_const(m_msgs)) {
        m_progress.throwIfClosed();
        ++i;
        reporter.report(i, total);
        if (m)
            extractOne(*m, m_outDir);
    }
    return ids("IDS_SUC_EXTRACT_MEDIA_FILES_TO_%1").arg(m_outDir.absolutePath());
}
