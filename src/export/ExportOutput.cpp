#include "export/ExportOutput.h"

#include "shell/FileRoutines.h"
#include "shell/UserTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

bool ExportOutput::makeFolder(const QString& path)
{
    const QString abs = QDir(path).absolutePath();
    QStringList missing;
    for (QString p = abs; !QFileInfo::exists(p); p = QFileInfo(p).absolutePath()) {
        missing.prepend(p);
        if (QFileInfo(p).absolutePath() == p)
            break;
    }
    if (!QDir().mkpath(abs))
        return false;
    std::lock_guard<std::mutex> guard(m_lock);
    m_folders.append(missing);
    return true;
}

void ExportOutput::addFile(const QString& path)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_files.append(QFileInfo(path).absoluteFilePath());
}

void ExportOutput::removeAll()
{
    std::lock_guard<std::mutex> guard(m_lock);
    for (const QString& f : std::as_const(m_files))
        QFile::remove(f);
    for (auto it = m_folders.crbegin(); it != m_folders.crend(); ++it)
        QDir().rmdir(*it); // fails, harmlessly, when something else is inside
    m_files.clear();
    m_folders.clear();
}

bool ExportOutput::copyFile(const QString& src, const QString& target)
{
    int failed = 0; // the count is shared by the copying threads
    if (!g_copyFileOrCountThrow(src, target, failed)) {
        m_failedCopies += failed;
        return false;
    }
    addFile(target);
    return true;
}

QString g_failedCopiesNote(int failed)
{
    return failed > 0 ? QLatin1Char('\n') + ids("IDS_%1_FILES_NOT_COPIED", failed) : QString();
}

bool g_exportCopy(ExportOutput* output, const QString& src, const QString& target)
{
    if (output)
        return output->copyFile(src, target);
    QString error;
    const CopyFailure failure = g_copyFile(src, target, error);
    if (failure == CopyFailure::Target)
        throw std::runtime_error(error.toStdString());
    return failure == CopyFailure::None;
}
