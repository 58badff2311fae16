#include "jobs/IOSLoadViberThread.h"

#include "shell/Failure.h"
#include "shell/FileRoutines.h"
#include "shell/UserTexts.h"
#include "stores/IOSViberDb.h"
#include "stores/PreviewMaker.h"
#include "stores/StorePaths.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <exception>

namespace {
const QString kStore = QStringLiteral("Documents/Contacts.data");

bool isNonEmptyFile(const QString& path)
{
    const QFileInfo fi(path);
    return fi.isFile() && fi.size() > 0;
}
} // namespace

IOSLoadViberThread::IOSLoadViberThread(const IOSDevice& device, const DataFolders& folders, JobProgress& progress,
                                       QObject* parent)
    : QThread(parent), m_device(device), m_folders(folders), m_progress(progress), m_afc(device.device)
{
}

IOSLoadViberThread::~IOSLoadViberThread() = default;

void IOSLoadViberThread::run()
{
    runJobProtocol(m_progress, [this] {
        // Cancel cuts the connection, so a stalled phone does not hold the
        // job; what then fails is the cancellation, not an error.
        CancelSubscription interrupt(m_progress, [this] { m_afc.interrupt(); });
        try {
            return loadThrow();
        } catch (const std::exception&) {
            m_progress.throwIfClosed();
            throw;
        }
    });
}

bool IOSLoadViberThread::isInsideData(const QString& path) const
{
    if (path.isEmpty())
        return false;
    const QString base = QDir::cleanPath(m_dataDir.absolutePath()) + u'/';
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath()).startsWith(base);
}

bool IOSLoadViberThread::fetchThrow(const QString& devicePath, const QString& localPath, bool useCache)
{
    if (devicePath.isEmpty() || !isInsideData(localPath))
        return false;
    const _AfcFileInfo info = m_afc.fileInfo(devicePath);
    if (!info.isFile())
        return false;
    m_downloader->downloadFileThrow(m_afc, info, localPath, useCache);
    return true;
}

QString IOSLoadViberThread::loadThrow()
{
    m_skipped = 0;
    m_needBackup = false;
    m_progress.invokeUpdateProgress(ids("IDS_LOADING_IOS_VIBER"), 0, QString());
    const QDir cache = m_device.cacheDir(m_folders);
    m_dataDir = QDir(cache.absoluteFilePath(QStringLiteral("com.viber")));
    if (!QDir().mkpath(m_dataDir.absoluteFilePath(QStringLiteral("Documents"))))
        g_raise(QStringLiteral("Cannot create the folder %1.").arg(m_dataDir.absolutePath()));
    const QString store = m_dataDir.absoluteFilePath(kStore);
    g_removeSqliteFiles(store);

    try {
        m_afc.startService(QStringLiteral("com.viber"));
    } catch (const std::exception& e) {
        qDebug("IOSLoadViberThread: house arrest refused, the backup route follows. %s", e.what());
        m_needBackup = true;
        return QString();
    }
    m_downloader = std::make_unique<IOSAfcFileDownload>(cache.absoluteFilePath(QStringLiteral("com.viber.manifest.db")),
                                                        m_progress);
    m_assetReader = std::make_unique<IOSAssetReader>(m_device, cache, m_progress);

    if (!m_afc.fileInfo(u'/' + kStore).isValid()) {
        // Today's Viber keeps its store in the app group, out of reach here.
        m_needBackup = true;
        return QString();
    }
    for (const char* suffix : {"", "-shm", "-wal"})
        fetchThrow(u'/' + kStore + QLatin1String(suffix), store + QLatin1String(suffix), false);
    if (!isNonEmptyFile(store))
        g_raise(QStringLiteral("Failded to load messages, please reinstall and verify Viber on your iPhone to try again."));

    const QString counter = m_dataDir.absoluteFilePath(QStringLiteral("Documents/VoiceMessages/_ptt_id_counter"));
    QFile::remove(counter);
    fetchThrow(QStringLiteral("/Documents/VoiceMessages/_ptt_id_counter"), counter, false);

    ViberData data;
    {
        IOSViberDb db(m_dataDir, kStore, false);
        // The media files are not here yet; previews are made once copied.
        db.setMakePreviews(false);
        data = db.loadDataThrow();
    }
    fetchPictures(data);

    QList<_ViberAtta*> attas = data.p()->attas.values();
    std::sort(attas.begin(), attas.end(), [](const _ViberAtta* a, const _ViberAtta* b) { return a->id < b->id; });
    PreviewMaker previews(m_dataDir);
    qint64 index = 0;
    for (const _ViberAtta* a : std::as_const(attas)) {
        m_progress.throwIfClosed();
        m_progress.invokeUpdateProgress(QString(), JobProgress::percent(++index, attas.size()), QString());
        if (!a->msg)
            continue;
        try {
            fetchAttachmentThrow(*a, previews);
        } catch (const std::exception& e) {
            ++m_skipped;
            qDebug("IOSLoadViberThread::run, download attachment failed. %s", e.what());
        }
    }
    previews.finish();
    return QString();
}

void IOSLoadViberThread::fetchPictures(const ViberData& data)
{
    for (const _ViberPerson* p : std::as_const(data.p()->persons)) {
        m_progress.throwIfClosed();
        try {
            fetchThrow(p->viberIconPath, p->picturePath, true);
            if (!isNonEmptyFile(p->picturePath))
                fetchThrow(p->contactIconPath, p->picturePath, true);
        } catch (const std::exception& e) {
            qDebug("IOSLoadViberThread: contact picture not copied. %s", e.what());
        }
    }
}

void IOSLoadViberThread::fetchAttachmentThrow(const _ViberAtta& a, PreviewMaker& previews)
{
    const _ViberMsg& m = *a.msg;
    switch (m.type) {
    case MSG_TYPE_IMAGE:
    case MSG_TYPE_VIDEO:
        fetchPictureOrVideoThrow(a, previews);
        break;
    case MSG_TYPE_LOCATION:
        fetchThrow(QStringLiteral("/Documents/CustomLocationImage/") + g_iosCustomLocationImageName(m.latitude(), m.longitude()),
                   a.thumbPath, true);
        break;
    case MSG_TYPE_AUDIO:
        if (g_isPlainFileName(a.name))
            fetchThrow(QStringLiteral("/Documents/VoiceMessages/") + a.name, a.filePath, true);
        break;
    case MSG_TYPE_STICKER:
        // The sticker's picture, so that it shows without the network.
        if (g_isPlainFileName(a.mediaId))
            fetchThrow(u'/' + g_iosStickerPreviewPath(a.mediaId), a.thumbPath, true);
        break;
    default:
        break;
    }
}

void IOSLoadViberThread::fetchPictureOrVideoThrow(const _ViberAtta& a, PreviewMaker& previews)
{
    // Names come from the store: one that could leave its folder is never
    // joined to a device or local path.
    if (!g_isPlainFileName(a.name) || !isInsideData(a.filePath))
        return;
    const QString uid = a.iosAssetUID();
    if (!uid.isEmpty())
        m_assetReader->downloadAssetThrow(uid, a.filePath);
    if (!QFileInfo(a.filePath).isFile())
        fetchThrow(u'/' + g_attachmentPath(a.name), a.filePath, true);
    if (!isInsideData(a.thumbPath))
        return;
    const bool image = a.msg->type == MSG_TYPE_IMAGE;
    const QString previewName = image ? a.name : a.name.section(u'.', 0, 0) + QStringLiteral(".jpg");
    const QString first = image ? QStringLiteral("/Documents/AttachmentsPreview/")
                                : QStringLiteral("/Documents/BigAttachmentsPreview/");
    const QString second = image ? QStringLiteral("/Documents/BigAttachmentsPreview/")
                                 : QStringLiteral("/Documents/AttachmentsPreview/");
    if (!fetchThrow(first + previewName, a.thumbPath, true) && !fetchThrow(second + previewName, a.thumbPath, true) &&
        !uid.isEmpty())
        m_assetReader->downloadAssetThumbnailThrow(uid, a.thumbPath);
    if (image && !QFileInfo(a.thumbPath).isFile())
        previews.make(a.filePath, a.thumbPath);
}
