#include "jobs/IOSLoadViberFromiTunesThread.h"
#include "shell/Failure.h"

#include "device/IOSAssetDb.h"
#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/ScratchFolders.h"
#include "shell/UserTexts.h"
#include "stores/CurrentStoreLayout.h"
#include "stores/IOSViberDb.h"
#include "stores/PreviewMaker.h"
#include "stores/StorePaths.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <stdexcept>

namespace {
const QString kStore = QStringLiteral("Documents/Contacts.data");

// An empty file is what a failed earlier copy leaves: it counts as missing.
bool isNonEmptyFile(const QString& path)
{
    const QFileInfo fi(path);
    return fi.isFile() && fi.size() > 0;
}

bool equalsNoCase(const QString& a, const char* b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

void makePrivateThrow(const QDir& dir)
{
    if (!QFile::setPermissions(dir.absolutePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        g_raise(QStringLiteral("Cannot restrict the access to %1 to its owner.").arg(dir.absolutePath()));
}
} // namespace

IOSLoadViberFromiTunesThread::IOSLoadViberFromiTunesThread(BackupManifest* manifest, JobProgress& progress,
                                                           const DataFolders& folders, QObject* parent)
    : IOSLoadViberFromiTunesThread(manifest, progress, cacheDirFor(folders, *manifest).absolutePath(), parent)
{
    m_ownCache = true;
}

IOSLoadViberFromiTunesThread::IOSLoadViberFromiTunesThread(BackupManifest* manifest, JobProgress& progress,
                                                           const QString& target, QObject* parent)
    : QThread(parent),
      m_manifest(manifest),
      m_progress(progress),
      m_cacheDir(target),
      m_dataDir(m_cacheDir.absoluteFilePath(QStringLiteral("com.viber"))),
      m_groupDir(m_cacheDir.absoluteFilePath(QString::fromLatin1(CurrentStore::kGroupContainerName)))
{
}

QDir IOSLoadViberFromiTunesThread::cacheDirFor(const DataFolders& folders, const BackupManifest& manifest)
{
    // Not the shared temporary folder: another user could plant files or
    // links there before us.
    return QDir(folders.cacheDir().filePath(QStringLiteral("itunes/") + manifest.dirPathMd5()));
}

void IOSLoadViberFromiTunesThread::run()
{
    runJobProtocol(m_progress, [this] { return loadThrow(); });
}

void IOSLoadViberFromiTunesThread::deepLoopFileNodes(FileTable& table, const BackupManifest::_FileNode* node,
                                                     const QString& key)
{
    table.insert(key, node);
    for (const auto& child : node->children)
        deepLoopFileNodes(table, child.get(), key + u'/' + child->name);
}

void IOSLoadViberFromiTunesThread::copyFileThrow(const BackupManifest::_FileNode* node, const QString& dest,
                                                 bool overwrite)
{
    if (!node)
        g_raise(QStringLiteral("The backup names a file its index does not hold."));
    m_progress.invokeUpdateProgress(QString(), -1, ids("IDS_CACHING_BACKUP_FILE_%1").arg(node->name));
    if (node->item.isFolder()) {
        qDebug("IOSLoadViberFromiTunesThread::copyFileThrow(is a folder): %s", qUtf8Printable(node->name));
        return;
    }
    m_progress.throwIfClosed();
    if (!QFileInfo::exists(m_manifest->storedFilePath(node->item)))
        return;
    const QString folder = QFileInfo(dest).absolutePath();
    if (!QDir().mkpath(folder))
        g_raise(QStringLiteral("Cannot create the folder %1.").arg(folder));
    if (!overwrite && isNonEmptyFile(dest)) {
        qDebug("IOSLoadViberFromiTunesThread::copyFileThrow, skip file: %s", qUtf8Printable(dest));
        return;
    }
    try {
        m_manifest->copyFile(node, dest, nullptr, nullptr);
    } catch (...) {
        // A half-written file would pass for a cached copy on the next load.
        QFile::remove(dest);
        throw;
    }
}

void IOSLoadViberFromiTunesThread::copyContainerFileThrow(const FileTable& table, const QString& dest,
                                                          const QString& path, bool overwrite)
{
    if (const BackupManifest::_FileNode* node = table.value(path))
        copyFileThrow(node, dest, overwrite);
}

bool IOSLoadViberFromiTunesThread::isInsideData(const QString& dest) const
{
    if (dest.isEmpty())
        return false;
    const QString base = QDir::cleanPath(m_dataDir.absolutePath()) + u'/';
    return QDir::cleanPath(QFileInfo(dest).absoluteFilePath()).startsWith(base);
}

void IOSLoadViberFromiTunesThread::prepareFoldersThrow()
{
    if (!QDir().mkpath(m_dataDir.absolutePath()))
        g_raise(QStringLiteral("Cannot create the folder %1.").arg(m_dataDir.absolutePath()));
    if (!QDir().mkpath(m_groupDir.absolutePath()))
        g_raise(QStringLiteral("Cannot create the folder %1.").arg(m_groupDir.absolutePath()));
    if (m_ownCache || m_manifest->info().isEncrypted) {
        makePrivateThrow(m_cacheDir);
        makePrivateThrow(m_dataDir);
        makePrivateThrow(m_groupDir);
    }
    // The decrypted files of an encrypted backup live as long as the process
    // that made them (the GUI's session, one command of the CLI); after a
    // kill the next start sweeps them. A plain backup's copy stays as a cache.
    if (m_ownCache && m_manifest->info().isEncrypted)
        g_claimUntilExit(m_cacheDir.absolutePath(), true);
}

void IOSLoadViberFromiTunesThread::buildTables()
{
    m_viber.clear();
    m_media.clear();
    m_group.clear();
    for (const auto& top : m_manifest->rootNode().children) {
        if (equalsNoCase(top->name, "Applications")) {
            for (const auto& app : top->children) {
                // Keys follow the tree below the app's node, so they are the
                // same whatever case the backup gave its name.
                if (equalsNoCase(app->name, "com.viber"))
                    deepLoopFileNodes(m_viber, app.get(), QString());
            }
        } else if (equalsNoCase(top->name, CurrentStore::kBackupGroupTop)) {
            for (const auto& group : top->children) {
                if (equalsNoCase(group->name, CurrentStore::kGroupContainerName))
                    deepLoopFileNodes(m_group, group.get(), QString());
            }
        } else if (equalsNoCase(top->name, "Media")) {
            deepLoopFileNodes(m_media, top.get(), QStringLiteral("/Media"));
        }
    }
}

QString IOSLoadViberFromiTunesThread::loadThrow()
{
    m_hasData = false;
    m_progress.invokeUpdateProgress(ids("IDS_LOADING_ITUNES_BACKUP"), 0, QString());
    prepareFoldersThrow();
    buildTables();
    if (m_viber.isEmpty() && m_group.isEmpty())
        g_raise(ids("IDS_NOT_CONTAIN_VIBER_DATA_IN_ITUNES_BACKUP"));

    // Today's store lives in the app group; the app's own container keeps
    // the attachments either way. An old store left in the app container
    // by an earlier Viber is not the history any more.
    ViberData data;
    m_containers = ViberContainers();
    m_containers.appRoot = m_dataDir;
    if (copyGroupStoreThrow()) {
        // A store an earlier load left here must not pass for this one.
        g_removeSqliteFiles(m_dataDir.absoluteFilePath(kStore));
        m_hasData = true;
        m_containers.groupRoot = m_groupDir.absolutePath();
        m_containers.storeFile = m_groupDir.absoluteFilePath(QString::fromLatin1(CurrentStore::kStoreFile));
        IOSViberDb db(m_dataDir, m_containers.storeFile, false);
        db.setMakePreviews(false);
        data = db.loadDataThrow();
        copyGroupIcons(data);
    } else {
        const QString store = m_dataDir.absoluteFilePath(kStore);
        g_removeSqliteFiles(store);
        copyContainerFileThrow(m_viber, store, u'/' + kStore, true);
        if (!isNonEmptyFile(store))
            return QString();
        copyContainerFileThrow(m_viber, store + QStringLiteral("-wal"), u'/' + kStore + QStringLiteral("-wal"), true);
        m_hasData = true;
        m_containers.storeFile = store;
        IOSViberDb db(m_dataDir, kStore, false);
        // The media files are not there yet; previews are made once copied.
        db.setMakePreviews(false);
        data = db.loadDataThrow();
        copyIcons(data);
    }

    const QString photos = m_cacheDir.absoluteFilePath(QStringLiteral("Photos.sqlite"));
    g_removeSqliteFiles(photos);
    try {
        copyContainerFileThrow(m_media, photos, QStringLiteral("/Media/PhotoData/Photos.sqlite"), true);
    } catch (const std::runtime_error& e) {
        qDebug("IOSLoadViberFromiTunesThread, no photo library index. %s", e.what());
    }
    IOSAssetDb assets(photos);

    QList<_ViberAtta*> attas = data.p()->attas.values();
    std::sort(attas.begin(), attas.end(), [](const _ViberAtta* a, const _ViberAtta* b) { return a->id < b->id; });
    PercentReporter reporter(m_progress);
    PreviewMaker previews(m_dataDir);
    qint64 index = 0;
    for (const _ViberAtta* a : std::as_const(attas)) {
        m_progress.throwIfClosed();
        reporter.report(++index, attas.size());
        if (!a->msg)
            continue;
        try {
            copyAttachmentThrow(*a, assets, previews);
        } catch (const std::runtime_error& e) {
            qDebug("IOSLoadViberFromiTunesThread, load attachment failed. %s", e.what());
        }
    }
    previews.finish();
    return QString();
}

bool IOSLoadViberFromiTunesThread::copyGroupStoreThrow()
{
    const QString storeKey = u'/' + QString::fromLatin1(CurrentStore::kStoreFile);
    const QString store = m_groupDir.absoluteFilePath(QString::fromLatin1(CurrentStore::kStoreFile));
    g_removeSqliteFiles(store);
    if (!m_group.contains(storeKey))
        return false;
    copyContainerFileThrow(m_group, store, storeKey, true);
    if (!isNonEmptyFile(store))
        return false;
    // The newest messages may still be in the write-ahead log.
    for (const char* suffix : {"-wal", "-shm"})
        copyContainerFileThrow(m_group, store + QLatin1String(suffix), storeKey + QLatin1String(suffix), true);
    const QString settingsKey = u'/' + QString::fromLatin1(CurrentStore::kSettingsFile);
    const QString settings = m_groupDir.absoluteFilePath(QString::fromLatin1(CurrentStore::kSettingsFile));
    g_removeSqliteFiles(settings);
    // The owner's name is not worth the history: a settings file that will
    // not copy is left out.
    try {
        copyContainerFileThrow(m_group, settings, settingsKey, true);
        for (const char* suffix : {"-wal", "-shm"})
            copyContainerFileThrow(m_group, settings + QLatin1String(suffix), settingsKey + QLatin1String(suffix), true);
    } catch (const std::runtime_error& e) {
        qDebug("IOSLoadViberFromiTunesThread, settings not copied. %s", e.what());
    }
    return true;
}

void IOSLoadViberFromiTunesThread::copyGroupIcons(const ViberData& data)
{
    const QString base = QDir::cleanPath(m_groupDir.absolutePath()) + u'/';
    for (const _ViberPerson* p : std::as_const(data.p()->persons)) {
        m_progress.throwIfClosed();
        const QString local = p->picturePath;
        if (p->viberIconPath.isEmpty() || !QDir::cleanPath(QFileInfo(local).absoluteFilePath()).startsWith(base))
            continue;
        try {
            copyContainerFileThrow(m_group, local, p->viberIconPath, true);
        } catch (const std::runtime_error& e) {
            qDebug("IOSLoadViberFromiTunesThread, load contact icon failed. %s", e.what());
        }
    }
}

void IOSLoadViberFromiTunesThread::copyIcons(const ViberData& data)
{
    for (const _ViberPerson* p : std::as_const(data.p()->persons)) {
        m_progress.throwIfClosed();
        const QString local = p->picturePath;
        if (!isInsideData(local))
            continue;
        // A damaged picture is not worth the whole history: it is skipped
        // like a damaged attachment.
        try {
            copyContainerFileThrow(m_viber, local, p->viberIconPath, true);
            if (!isNonEmptyFile(local))
                copyContainerFileThrow(m_viber, local, p->contactIconPath, true);
        } catch (const std::runtime_error& e) {
            qDebug("IOSLoadViberFromiTunesThread, load contact icon failed. %s", e.what());
        }
    }
}

void IOSLoadViberFromiTunesThread::copyAttachmentThrow(const _ViberAtta& a, IOSAssetDb& assets,
                                                       PreviewMaker& previews)
{
    const _ViberMsg& m = *a.msg;
    switch (m.type) {
    case MSG_TYPE_IMAGE:
    case MSG_TYPE_VIDEO:
        copyPictureOrVideoThrow(a, assets, previews);
        break;
    case MSG_TYPE_LOCATION:
        if (isInsideData(a.thumbPath))
            copyContainerFileThrow(m_viber, a.thumbPath,
                                   QStringLiteral("/Documents/CustomLocationImage/") +
                                       g_iosCustomLocationImageName(m.latitude(), m.longitude()),
                                   false);
        break;
    case MSG_TYPE_AUDIO:
        if (g_isPlainFileName(a.name) && isInsideData(a.filePath))
            copyContainerFileThrow(m_viber, a.filePath, QStringLiteral("/Documents/VoiceMessages/") + a.name, false);
        break;
    case MSG_TYPE_STICKER:
        // The sticker's picture, so that it shows without the network.
        if (g_isPlainFileName(a.mediaId) && isInsideData(a.thumbPath))
            copyContainerFileThrow(m_viber, a.thumbPath, u'/' + g_iosStickerPreviewPath(a.mediaId), false);
        break;
    default:
        break;
    }
}

void IOSLoadViberFromiTunesThread::copyPictureOrVideoThrow(const _ViberAtta& a, IOSAssetDb& assets,
                                                           PreviewMaker& previews)
{
    // The reader leaves the paths empty for a name that could leave its
    // folder; such a name is never joined to a path here either.
    const QString& local = a.filePath;
    const QString& preview = a.thumbPath;
    if (!g_isPlainFileName(a.name) || !isInsideData(local))
        return;
    const QString uid = a.iosAssetUID();
    if (!uid.isEmpty() && !isNonEmptyFile(local)) {
        QString assetPath;
        // Without a readable photo library index the container's own copy
        // may still be there: look for it instead of giving up.
        try {
            assetPath = assets.assetPath(uid);
        } catch (const std::runtime_error& e) {
            qDebug("IOSLoadViberFromiTunesThread, asset look-up failed. %s", e.what());
        }
        if (!assetPath.isEmpty())
            copyContainerFileThrow(m_media, local, QStringLiteral("/Media") + assetPath, false);
    }
    if (!isNonEmptyFile(local))
        copyContainerFileThrow(m_viber, local, u'/' + g_attachmentPath(a.name), false);
    if (!isInsideData(preview))
        return;
    if (a.msg->type == MSG_TYPE_IMAGE) {
        copyContainerFileThrow(m_viber, preview, QStringLiteral("/Documents/AttachmentsPreview/") + a.name, false);
        if (!isNonEmptyFile(preview))
            copyContainerFileThrow(m_viber, preview, QStringLiteral("/Documents/BigAttachmentsPreview/") + a.name,
                                   false);
        if (!isNonEmptyFile(preview))
            previews.make(local, preview);
    } else {
        const QString previewName = a.name.section(u'.', 0, 0) + QStringLiteral(".jpg");
        copyContainerFileThrow(m_viber, preview, QStringLiteral("/Documents/BigAttachmentsPreview/") + previewName,
                               false);
        if (!isNonEmptyFile(preview))
            copyContainerFileThrow(m_viber, preview, QStringLiteral("/Documents/AttachmentsPreview/") + previewName,
                                   false);
    }
}
