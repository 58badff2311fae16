#include "jobs/IOSMergeWAFiles2iTunesBKThread.h"
#include "shell/Failure.h"

#include "itunes/MBDBParser.h"
#include "itunes/ManifestDbWriter.h"

#include "shell/FileRoutines.h"

#include <QFile>
#include <QFileInfo>

#include <stdexcept>

IOSMergeWAFiles2iTunesBKThread::IOSMergeWAFiles2iTunesBKThread(BackupManifest& manifest, const QList<_Item>& items,
                                                               JobProgress& progress, QObject* parent)
    : QThread(parent), m_manifest(manifest), m_items(items), m_progress(progress)
{
}

void IOSMergeWAFiles2iTunesBKThread::run()
{
    runJobProtocol(m_progress, [this] { return mergeThrow(); });
}

QString IOSMergeWAFiles2iTunesBKThread::mergeThrow()
{
    m_written = 0;
    m_progress.invokeUpdateProgress(QStringLiteral("Transferring files..."), 0, QString());
    switch (m_manifest.generation()) {
    case BackupGeneration::ManifestDb:
        mergeIntoManifestDbThrow();
        break;
    case BackupGeneration::Mbdb:
        mergeIntoMbdbThrow();
        break;
    case BackupGeneration::None:
        g_raise(QStringLiteral("%1 holds no backup index.").arg(m_manifest.root().absolutePath()));
    }
    return QString();
}

bool IOSMergeWAFiles2iTunesBKThread::startItem(int i)
{
    m_progress.throwIfClosed();
    const _Item& item = m_items.at(i);
    const QString name = (u'/' + item.path).section(u'/', -1);
    m_progress.invokeUpdateProgress(QString(), JobProgress::percent(i + 1, m_items.size()),
                                    QStringLiteral("File: %1").arg(name));
    return !item.path.isEmpty() && !item.localFile.isEmpty() && QFileInfo(item.localFile).isFile();
}

void IOSMergeWAFiles2iTunesBKThread::mergeIntoManifestDbThrow()
{
    ManifestDbWriter writer(m_manifest);
    for (int i = 0; i < m_items.size(); ++i) {
        if (!startItem(i))
            continue;
        const _Item& item = m_items.at(i);
        if (writer.addFileThrow(item.domain, item.path, item.localFile, item.overwrite)) {
            ++m_written;
            qDebug("IOSMergeWAFiles2iTunesBKThread: %s ==> %s/%s", qUtf8Printable(item.localFile),
                   qUtf8Printable(item.domain), qUtf8Printable(item.path));
        }
    }
    writer.commitThrow();
}

void IOSMergeWAFiles2iTunesBKThread::mergeIntoMbdbThrow()
{
    // This index carries the keys of encrypted files; plain files written
    // into an encrypted backup would not restore.
    if (m_manifest.info().isEncrypted)
        g_raise(QStringLiteral("Failed to export messages to iTunes backup because your current iTunes backup is "
                             "encrypted."));
    const QString index = m_manifest.root().absoluteFilePath(QStringLiteral("Manifest.mbdb"));
    QHash<QString, _MBDBItem> records = MBDBParser::parse(index);
    // Each file is written beside the one it replaces; only when all are
    // complete do they take their names, the old files set aside until the
    // index, written last, is in place. A full disk, a failure or a
    // cancellation leaves the backup's old files and index.
    struct Staged
    {
        QString staged, final, old;
    };
    QList<Staged> staged;
    auto undo = [&staged] {
        for (const Staged& s : std::as_const(staged)) {
            QFile::remove(s.staged);
            if (!s.old.isEmpty() && QFileInfo::exists(s.old)) {
                QFile::remove(s.final);
                QFile::rename(s.old, s.final);
            }
        }
    };
    try {
        for (int i = 0; i < m_items.size(); ++i) {
            if (!startItem(i))
                continue;
            const _Item& item = m_items.at(i);
            const QString target =
                m_manifest.root().absoluteFilePath(MBDBParser::getFileHashName(item.domain, item.path));
            if (QFileInfo::exists(target) && !item.overwrite)
                continue;
            const QString beside = target + QStringLiteral(".ferrowick-new");
            QFile::remove(beside);
            QString error;
            if (g_copyFile(item.localFile, beside, error) != CopyFailure::None) {
                QFile::remove(beside);
                g_raise(QStringLiteral("Cannot write %1. %2").arg(target, error));
            }
            staged << Staged{beside, target, QString()};
            MBDBParser::appendFile(records, beside, item.domain, item.path);
            qDebug("IOSMergeWAFiles2iTunesBKThread: %s ==> %s", qUtf8Printable(item.localFile), qUtf8Printable(target));
            ++m_written;
        }
        m_progress.throwIfClosed();
        for (Staged& s : staged) {
            if (QFileInfo::exists(s.final)) {
                const QString old = s.final + QStringLiteral(".ferrowick-old");
                QFile::remove(old);
                if (!QFile::rename(s.final, old))
                    g_raise(QStringLiteral("Cannot set %1 aside.").arg(s.final));
                s.old = old;
            }
            if (!QFile::rename(s.staged, s.final))
                g_raise(QStringLiteral("Cannot move %1 into place.").arg(s.final));
        }
        MBDBParser::save2File(records.values(), index);
    } catch (...) {
        undo();
        throw;
    }
    for (const Staged& s : std::as_const(staged)) {
        if (!s.old.isEmpty())
            QFile::remove(s.old);
    }
    m_manifest.resetTree();
}
