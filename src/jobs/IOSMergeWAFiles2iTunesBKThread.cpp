#include "jobs/IOSMergeWAFiles2iTunesBKThread.h"
#include "shell/Failure.h"

#include "itunes/MBDBParser.h"
#include "itunes/ManifestDbWriter.h"

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
    for (int i = 0; i < m_items.size(); ++i) {
        if (!startItem(i))
            continue;
        const _Item& item = m_items.at(i);
        const QString target = m_manifest.root().absoluteFilePath(MBDBParser::getFileHashName(item.domain, item.path));
        if (QFileInfo::exists(target)) {
            if (!item.overwrite)
                continue;
            if (!QFile::remove(target))
                g_raise(QStringLiteral("can not overwrite %1").arg(target));
        }
        QFile src(item.localFile);
        if (!src.copy(target))
            g_raise(QStringLiteral("can not write %1. %2").arg(target, src.errorString()));
        qDebug("IOSMergeWAFiles2iTunesBKThread: %s ==> %s", qUtf8Printable(item.localFile), qUtf8Printable(target));
        MBDBParser::appendFile(records, target, item.domain, item.path);
        ++m_written;
    }
    MBDBParser::save2File(records.values(), index);
    m_manifest.resetTree();
}
