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

QString copyAs(const QString& source, const QDir& outDir, const QString& base, const QString& suffix,
               ExportOutput& output)
{
    const QString name = suffix.isEmpty() ? base : base + u'.' + suffix;
    const QString target = g_getValidFilePath(outDir.filePath(name));
    return output.copyFile(source, target) ? target : QString();
}
} // namespace

QString ExtractMediaFilesThread::extractOne(const _ViberMsg& m, const QDir& outDir, ExportOutput& output)
{
    const _ViberAtta* a = m.atta;
    if (!a)
        return QString();
    const QString base = QStringLiteral("atta_") + dtFromTimestamp(m.date).toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target;
    switch (m.type) {
    case MSG_TYPE_AUDIO:
        if (isFile(a->filePath))
            target = copyAs(a->filePath, outDir, base, QStringLiteral("viber_voice"), output);
        break;
    case MSG_TYPE_IMAGE:
    case MSG_TYPE_VIDEO:
        if (isFile(a->filePath))
            target = copyAs(a->filePath, outDir, base, QFileInfo(a->filePath).suffix(), output);
        else if (isFile(a->thumbPath))
            target = copyAs(a->thumbPath, outDir, base, QFileInfo(a->thumbPath).suffix(), output);
        break;
    case MSG_TYPE_LOCATION:
    case MSG_TYPE_STICKER:
        if (isFile(a->thumbPath))
            target = copyAs(a->thumbPath, outDir, base, QFileInfo(a->thumbPath).suffix(), output);
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
    if (!m_outDir.exists() && !m_output.makeFolder(m_outDir.absolutePath()))
        throw std::runtime_error(QStringLiteral("Cannot create the folder %1.").arg(m_outDir.absolutePath()).toStdString());
    const qint64 total = m_msgs.size();
    qint64 i = 0;
    PercentReporter reporter(m_progress);
    for (const _ViberMsg* m : std::as_const(m_msgs)) {
        m_progress.throwIfClosed();
        ++i;
        reporter.report(i, total);
        if (!m)
            continue;
        try {
            extractOne(*m, m_outDir, m_output);
        } catch (const std::exception&) {
            // The folder cannot take more: a partial extraction would pass
            // for a whole one.
            m_output.removeAll();
            throw;
        }
    }
    return ids("IDS_SUC_EXTRACT_MEDIA_FILES_TO_%1").arg(m_outDir.absolutePath()) +
           g_failedCopiesNote(m_output.failedCopies());
}
