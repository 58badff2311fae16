#include "jobs/IOSRestoreViberMsgThread.h"

#include "sqlite/Sqlite3Row.h"
#include "shell/Failure.h"
#include "shell/FileRoutines.h"
#include "shell/UserTexts.h"
#include "stores/CurrentStoreLayout.h"
#include "stores/CurrentStoreMerger.h"
#include "stores/IOSViberDb.h"
#include "stores/OldStoreMerger.h"
#include "stores/StorePaths.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <exception>
#include <vector>

namespace {
const QString kAppDomain = QStringLiteral("AppDomain-com.viber");
const QString kDeviceStore = QStringLiteral("/Documents/Contacts.data");
const QString kGroupDomain = QStringLiteral("AppDomainGroup-") + QString::fromLatin1(CurrentStore::kGroupContainerName);

qint64 rowInt(const Sqlite3Row& row, const char* col)
{
    return row.val(QLatin1String(col)).toLongLong();
}

} // namespace

bool compareMsgInsertDataAsc(const IOSRestoreViberMsgThread::_InsertData& a,
                             const IOSRestoreViberMsgThread::_InsertData& b)
{
    if (a.date != b.date)
        return a.date < b.date;
    // The device's own copy of a message wins over a transferred duplicate:
    // it is the one the app already knows.
    if (a.existing() != b.existing())
        return a.existing();
    return a.token < b.token;
}

IOSRestoreViberMsgThread::IOSRestoreViberMsgThread(const IOSDevice& device, const ViberContainers& target,
                                                   const QList<_ViberMsg*>& msgs, JobProgress& progress,
                                                   QObject* parent)
    : QThread(parent), m_device(device), m_target(target), m_msgs(msgs), m_progress(progress)
{
}

IOSRestoreViberMsgThread::~IOSRestoreViberMsgThread() = default;

bool IOSRestoreViberMsgThread::isLocalFileValid(const QString& path)
{
    const QFileInfo fi(path);
    return !path.isEmpty() && fi.isFile() && fi.size() > 0;
}

void IOSRestoreViberMsgThread::run()
{
    runJobProtocol(m_progress, [this] {
        struct Disarm
        {
            std::optional<CancelSubscription>& subscription;
            ~Disarm() { subscription.reset(); }
        } disarm{m_interrupt};
        try {
            return restoreThrow();
        } catch (const std::exception&) {
            // A cancel that cut the connection is no failure.
            m_progress.throwIfClosed();
            throw;
        }
    });
}

void IOSRestoreViberMsgThread::uploadFileThrow(const QString& local, const QString& remote, bool overwrite,
                                               const QString& domain)
{
    if (m_direct) {
        m_uploader->uploadFileThrow(*m_afc, local, remote, overwrite);
        return;
    }
    m_items << IOSMergeWAFiles2iTunesBKThread::_Item(domain, local, remote.mid(remote.startsWith(u'/') ? 1 : 0),
                                                    overwrite);
}

QString IOSRestoreViberMsgThread::restoreThrow()
{
    m_items.clear();
    m_msgCount = 0;
    m_callCount = 0;
    m_addedMsgCount = 0;
    m_addedCallCount = 0;
    m_progress.invokeUpdateProgress(ids("IDS_RESTORING_VIBER_MSG_TO_IOS"), 0, QString());
    const QString store = m_target.storeFile;
    if (!QFileInfo(store).isFile())
        g_raise(QStringLiteral("No Viber store at %1.").arg(store));
    if (m_direct) {
        m_afc = std::make_unique<mobiledevice_afc>(m_device.device);
        m_uploader = std::make_unique<IOSAfcFileUpload>(m_progress);
        try {
            m_afc->startService(QStringLiteral("com.viber"));
        } catch (const std::exception& e) {
            g_raise(ids("IDS_NOT_INSTALL_VIBER_ERR_%1").arg(QString::fromUtf8(e.what())));
        }
        // Until the store swap begins, cancel cuts the connection, so a
        // stalled phone does not hold the job.
        m_interrupt.emplace(m_progress, [afc = m_afc.get()] { afc->interrupt(); });
    }

    const QString stamp = freeStamp(store);
    const QString work = store + stamp;
    makeWorkingCopyThrow(store, work);
    try {
        mergeIntoCopyThrow(work);
        m_progress.throwIfClosed();
        replaceDeviceStoreThrow(work);
    } catch (const std::exception& e) {
        g_removeSqliteFiles(work);
        // Restarting helps a phone that stopped answering; the backup route
        // changed nothing on a phone yet.
        const QString text = QString::fromUtf8(e.what());
        g_raise(m_direct ? QStringLiteral("Please restart your phone to try again.<br/><br/>") + text : text);
    } catch (...) {
        g_removeSqliteFiles(work);
        throw;
    }

    keepMergedCopyThrow(store, work, stamp);
    return QString();
}

QString IOSRestoreViberMsgThread::freeStamp(const QString& store)
{
    // Two transfers within a second must not share the names of their copies.
    const QString second = QDateTime::currentDateTime().toString(QStringLiteral("_yyyyMMdd-hhmmss"));
    QString stamp = second;
    for (int n = 1; QFileInfo::exists(store + stamp) || QFileInfo::exists(store + QStringLiteral(".bak") + stamp); ++n)
        stamp = second + u'-' + QString::number(n);
    return stamp;
}

void IOSRestoreViberMsgThread::makeWorkingCopyThrow(const QString& store, const QString& work)
{
    g_removeSqliteFiles(work);
    // The newest rows may still be in the write-ahead log: it goes along.
    for (const char* suffix : {"", "-wal"}) {
        const QString from = store + QLatin1String(suffix);
        if ((*suffix == 0 || QFileInfo::exists(from)) && !QFile::copy(from, work + QLatin1String(suffix))) {
            g_removeSqliteFiles(work);
            g_raise(QStringLiteral("Cannot copy %1 to %2.").arg(from, work));
        }
    }
}

void IOSRestoreViberMsgThread::keepMergedCopyThrow(const QString& store, const QString& work, const QString& stamp)
{
    // The local copy holds the merged store from now on; the old one stays
    // beside it under a dated name.
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const QString from = store + QLatin1String(suffix);
        const QString to = store + QStringLiteral(".bak") + stamp + QLatin1String(suffix);
        if (QFileInfo::exists(from) && !QFile::rename(from, to))
            g_raise(QStringLiteral("Cannot rename %1 to %2.").arg(from, to));
    }
    QFile::remove(work + QStringLiteral("-wal"));
    QFile::remove(work + QStringLiteral("-shm"));
    if (!QFile::rename(work, store))
        g_raise(QStringLiteral("Cannot rename %1 to %2.").arg(work, store));
}

void IOSRestoreViberMsgThread::mergeIntoCopyThrow(const QString& work)
{
    IOSViberDb dest(m_target.appRoot, work, false);
    dest.openCheckThrow();
    // The log's rows go into the copy itself before anything else: the store
    // that goes back must not depend on a log beside it.
    dest.checkpointThrow();
    dest.tuneForBulkWritesThrow();
    QList<QPair<qint64, const _ViberMsg*>> newAttas;
    if (dest.isCurrentLayout()) {
        CurrentStoreMerger merger(dest);
        // Refuses a store that lacks what the merge writes, before any change.
        merger.prepareThrow();
        dest.executeThrow(Sqlite3Sql("BEGIN IMMEDIATE"));
        mergeNewRecordsThrow(merger, newAttas);
        finishMergeThrow(dest, merger, newAttas);
    } else {
        OldStoreMerger merger(dest);
        merger.prepareThrow();
        IOSViberDb orig(m_target.appRoot, m_target.storeFile, false);
        orig.openCheckThrow();
        mergeInDateOrderThrow(orig, merger, newAttas);
        finishMergeThrow(dest, merger, newAttas);
    }
    // Everything into the store file itself: the device gets one file.
    dest.checkpointThrow();
    dest.close();
}

void IOSRestoreViberMsgThread::finishMergeThrow(IOSViberDb& dest, StoreMerger& merger,
                                                const QList<QPair<qint64, const _ViberMsg*>>& newAttas)
{
    uploadAttachmentsThrow(newAttas);
    writeVoiceCounterThrow();
    merger.finishThrow();
    dest.executeThrow(Sqlite3Sql("COMMIT"));
    merger.verifyThrow();
}

QList<_ViberMsg*> IOSRestoreViberMsgThread::countedRecords()
{
    QList<_ViberMsg*> records;
    for (_ViberMsg* m : std::as_const(m_msgs)) {
        if (!m || !m->chat)
            continue;
        if (m->type == MSG_TYPE_CALL) {
            if (!m->call)
                continue;
            ++m_callCount;
        } else {
            ++m_msgCount;
        }
        records << m;
    }
    return records;
}

bool IOSRestoreViberMsgThread::addMessageThrow(StoreMerger& merger, QHash<const _ViberChat*, qint64>& chatKeys,
                                               const _ViberMsg* m, QList<QPair<qint64, const _ViberMsg*>>& newAttas)
{
    auto known = chatKeys.constFind(m->chat);
    if (known == chatKeys.cend())
        known = chatKeys.insert(m->chat, merger.chatKeyThrow(m->chat));
    const qint64 chatKey = known.value();
    if (m->type == MSG_TYPE_CALL) {
        if (!merger.addCallThrow(chatKey, *m->call))
            return false;
        ++m_addedCallCount;
        return true;
    }
    qint64 attaKey = 0;
    if (merger.addMessageThrow(chatKey, *m, attaKey) == 0)
        return false; // a duplicate brings no files
    ++m_addedMsgCount;
    if (attaKey > 0 && m->atta)
        newAttas << qMakePair(attaKey, m);
    return true;
}

void IOSRestoreViberMsgThread::mergeNewRecordsThrow(StoreMerger& merger,
                                                    QList<QPair<qint64, const _ViberMsg*>>& newAttas)
{
    // The device's rows stay where they are; new ones follow in date order,
    // so their keys rise with their time as the app's own do.
    QList<_ViberMsg*> records = countedRecords();
    std::stable_sort(records.begin(), records.end(), [](const _ViberMsg* a, const _ViberMsg* b) {
        return a->date != b->date ? a->date < b->date : a->token < b->token;
    });
    QHash<const _ViberChat*, qint64> chatKeys;
    m_progress.invokeUpdateProgress(ids("IDS_MERGING_VIBER_MESSAGES"), 0, QString());
    PercentReporter reporter(m_progress);
    qint64 done = 0;
    for (const _ViberMsg* m : std::as_const(records)) {
        m_progress.throwIfClosed();
        reporter.report(++done, records.size(), QStringLiteral("Messages: %1/%2"));
        addMessageThrow(merger, chatKeys, m, newAttas);
    }
}

void IOSRestoreViberMsgThread::mergeInDateOrderThrow(IOSViberDb& orig, OldStoreMerger& merger,
                                                     QList<QPair<qint64, const _ViberMsg*>>& newAttas)
{
    // The old layout shows messages in key order: the device's rows and the
    // new ones are written again, all in date order.
    QList<_InsertData> msgOrder;
    QList<_InsertData> callOrder;
    for (const _ViberMsg* m : countedRecords()) {
        if (m->type == MSG_TYPE_CALL)
            callOrder << _InsertData{m->call->token, m->call->date, m->call};
        else
            msgOrder << _InsertData{m->token, m->date, m};
    }
    const OldStoreMerger::ExistingRows rows = OldStoreMerger::existingRowsThrow(orig, !callOrder.isEmpty());
    for (const KeptMessage& kept : rows.messages)
        msgOrder << _InsertData{kept.token, kept.date, &kept};
    for (const Sqlite3Row& row : rows.calls)
        callOrder << _InsertData{rowInt(row, "ZCALLTOKEN"), row.val(QStringLiteral("ZDATE")).toDouble(), &row};
    std::sort(msgOrder.begin(), msgOrder.end(), compareMsgInsertDataAsc);
    std::sort(callOrder.begin(), callOrder.end(), compareMsgInsertDataAsc);

    merger.clearForRewriteThrow(!callOrder.isEmpty());
    QHash<const _ViberChat*, qint64> chatKeys;
    m_progress.invokeUpdateProgress(ids("IDS_MERGING_VIBER_MESSAGES"), 0, QString());
    PercentReporter messages(m_progress);
    for (qsizetype i = 0; i < msgOrder.size(); ++i) {
        m_progress.throwIfClosed();
        messages.report(i + 1, msgOrder.size());
        const _InsertData& e = msgOrder.at(i);
        if (const auto* kept = std::get_if<const KeptMessage*>(&e.data))
            merger.putBackMessageThrow(**kept, rows);
        else
            addMessageThrow(merger, chatKeys, std::get<const _ViberMsg*>(e.data), newAttas);
    }
    if (!callOrder.isEmpty())
        m_progress.invokeUpdateProgress(ids("IDS_MERGING_VIBER_CALLS"), 0, QString());
    PercentReporter calls(m_progress);
    for (qsizetype i = 0; i < callOrder.size(); ++i) {
        m_progress.throwIfClosed();
        calls.report(i + 1, callOrder.size());
        const _InsertData& e = callOrder.at(i);
        if (const auto* row = std::get_if<const Sqlite3Row*>(&e.data)) {
            merger.putBackCallThrow(**row);
        } else if (merger.addCallThrow(0, *std::get<const _ViberCall*>(e.data))) {
            ++m_addedCallCount;
        }
    }
}

void IOSRestoreViberMsgThread::uploadAttachmentsThrow(const QList<QPair<qint64, const _ViberMsg*>>& newAttas)
{
    const QDir dataDir = m_target.appRoot;
    if (!newAttas.isEmpty())
        m_progress.invokeUpdateProgress(ids("IDS_SAVING_VIBER_ATTACHMENTS"), 0, QString());
    PercentReporter reporter(m_progress);
    for (qsizetype i = 0; i < newAttas.size(); ++i) {
        m_progress.throwIfClosed();
        reporter.report(i + 1, newAttas.size());
        const qint64 k = newAttas.at(i).first;
        const _ViberMsg* m = newAttas.at(i).second;
        const _ViberAtta* a = m->atta;
        const bool plainName = g_isPlainFileName(a->name);
        switch (m->type) {
        case MSG_TYPE_IMAGE:
            if (!plainName)
                break;
            if (isLocalFileValid(a->filePath))
                uploadFileThrow(a->filePath, u'/' + g_attachmentPath(a->name), false, kAppDomain);
            if (isLocalFileValid(a->thumbPath))
                uploadFileThrow(a->thumbPath, QStringLiteral("/Documents/AttachmentsPreview/") + a->name, false, kAppDomain);
            break;
        case MSG_TYPE_LOCATION:
            if (isLocalFileValid(a->thumbPath))
                uploadFileThrow(a->thumbPath,
                                QStringLiteral("/Documents/CustomLocationImage/") +
                                    g_iosCustomLocationImageName(m->latitude(), m->longitude()),
                                false, kAppDomain);
            break;
        case MSG_TYPE_AUDIO:
            if (isLocalFileValid(a->filePath)) {
                // The phone finds a voice message by its attachment key.
                const QString local = dataDir.absoluteFilePath(QStringLiteral("Documents/VoiceMessages/%1").arg(k));
                if (!m_direct) {
                    QDir().mkpath(QFileInfo(local).absolutePath());
                    QFile::remove(local);
                    if (!QFile::copy(a->filePath, local))
                        g_raise(QStringLiteral("Cannot copy %1 to %2.").arg(a->filePath, local));
                }
                uploadFileThrow(m_direct ? a->filePath : local, QStringLiteral("/Documents/VoiceMessages/%1").arg(k),
                                false, kAppDomain);
            }
            break;
        case MSG_TYPE_VIDEO:
            if (!plainName)
                break;
            if (isLocalFileValid(a->filePath))
                uploadFileThrow(a->filePath, u'/' + g_attachmentPath(a->name), false, kAppDomain);
            if (isLocalFileValid(a->thumbPath))
                uploadFileThrow(a->thumbPath,
                                QStringLiteral("/Documents/BigAttachmentsPreview/") + a->name.section(u'.', 0, 0) +
                                    QStringLiteral(".jpg"),
                                false, kAppDomain);
            break;
        default:
            break;
        }
    }
}

void IOSRestoreViberMsgThread::writeVoiceCounterThrow()
{
    const QString dir = QStringLiteral("/Documents/VoiceMessages");
    static const QRegularExpression number(QStringLiteral("^[0-9]+$"));
    quint32 highest = 0;
    if (m_direct) {
        for (const _AfcFileInfo& f : m_afc->lt(dir)) {
            const QString name = QFileInfo(f.path).fileName();
            if (!f.isFile() || !number.match(name).hasMatch())
                continue;
            if (f.size == 0) {
                m_afc->del(f.path);
                continue;
            }
            highest = std::max(highest, quint32(std::min<qulonglong>(name.toULongLong(), 0xFFFFFFFFu)));
        }
    } else {
        const QDir local(m_target.appRoot.absoluteFilePath(QStringLiteral("Documents/VoiceMessages")));
        for (const QString& name : local.entryList(QDir::Files))
            if (number.match(name).hasMatch())
                highest = std::max(highest, quint32(std::min<qulonglong>(name.toULongLong(), 0xFFFFFFFFu)));
    }
    QDir().mkpath(m_target.appRoot.absoluteFilePath(QStringLiteral("Documents/VoiceMessages")));
    const QString counter = m_target.appRoot.absoluteFilePath(QStringLiteral("Documents/VoiceMessages/_ptt_id_counter"));
    QFile f(counter);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    const quint32 le = qToLittleEndian(highest);
    f.write(reinterpret_cast<const char*>(&le), sizeof le);
    f.close();
    uploadFileThrow(counter, dir + QStringLiteral("/_ptt_id_counter"), true, kAppDomain);
}

void IOSRestoreViberMsgThread::replaceDeviceStoreThrow(const QString& work)
{
    if (!m_direct) {
        // The merged store takes the store's local name before the items are
        // written into the backup. Today's store lives in the app group.
        const QString domain = m_target.isGroup() ? kGroupDomain : kAppDomain;
        const QString path = m_target.isGroup() ? QString::fromLatin1(CurrentStore::kStoreFile) : kDeviceStore.mid(1);
        uploadFileThrow(m_target.storeFile, path, true, domain);
        // A log of the old store beside the new one would be replayed into
        // it: the backup gets empty companions instead.
        const QString empty = QFileInfo(work).absolutePath() + QStringLiteral("/.empty-companion");
        QFile f(empty);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            g_raise(QStringLiteral("can not write %1.").arg(empty));
        f.close();
        for (const char* suffix : {"-wal", "-shm"})
            m_items << IOSMergeWAFiles2iTunesBKThread::_Item(domain, empty, path + QLatin1String(suffix), true);
        return;
    }
    const QString temporary = kDeviceStore + QStringLiteral(".incoming");
    m_afc->del(temporary);
    try {
        m_uploader->uploadFileThrow(*m_afc, work, temporary, true);
        const _AfcFileInfo sent = m_afc->fileInfo(temporary);
        if (!sent.isFile() || sent.size != QFileInfo(work).size())
            g_raise(QStringLiteral("can not write %1 on the device.").arg(temporary));
    } catch (...) {
        m_afc->del(temporary);
        throw;
    }
    // The swap must run to its end or be undone: no interruption from here,
    // and a cancel that came before is honoured now, before anything moves.
    m_interrupt.reset();
    try {
        m_progress.throwIfClosed();
    } catch (...) {
        m_afc->del(temporary);
        throw;
    }
    // The old store's log would be replayed into the new store, so it is
    // moved aside first; it is only deleted once the new store is in place,
    // and put back when the swap fails (the old store without its log would
    // lose whatever the log still holds).
    QStringList movedAside;
    auto putBack = [&] {
        m_afc->del(temporary);
        for (const QString& companion : std::as_const(movedAside))
            m_afc->rename(companion + QStringLiteral(".replaced"), companion);
    };
    for (const char* suffix : {"-wal", "-shm"}) {
        const QString companion = kDeviceStore + QLatin1String(suffix);
        if (!m_afc->fileInfo(companion).isValid())
            continue;
        m_afc->del(companion + QStringLiteral(".replaced"));
        if (!m_afc->rename(companion, companion + QStringLiteral(".replaced"))) {
            putBack();
            g_raise(QStringLiteral("can not remove %1 on the device.").arg(companion));
        }
        movedAside << companion;
    }
    if (!m_afc->rename(temporary, kDeviceStore)) {
        putBack();
        g_raise(QStringLiteral("can not replace %1 on the device.").arg(kDeviceStore));
    }
    for (const QString& companion : std::as_const(movedAside))
        m_afc->del(companion + QStringLiteral(".replaced"));
}
