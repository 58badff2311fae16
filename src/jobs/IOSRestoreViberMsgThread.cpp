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

int percentOf(qint64 i, qint64 n)
{
    return n <= 0 ? 0 : int(i * 99 / n);
}

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
    if (a.existing != b.existing)
        return a.existing;
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
    const QDir dataDir = m_target.appRoot;
    const QString store = m_target.storeFile;
    if (!QFileInfo(store).isFile())
        g_raise(QStringLiteral("IOSRestoreViberMsgThread, no store at %1.").arg(store));
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

    // Two transfers within a second must not share the names of their copies.
    const QString second = QDateTime::currentDateTime().toString(QStringLiteral("_yyyyMMdd-hhmmss"));
    QString stamp = second;
    for (int n = 1; QFileInfo::exists(store + stamp) || QFileInfo::exists(store + QStringLiteral(".bak") + stamp); ++n)
        stamp = second + u'-' + QString::number(n);
    const QString work = store + stamp;
    g_removeSqliteFiles(work);
    // The newest rows may still be in the write-ahead log: it goes along.
    for (const char* suffix : {"", "-wal"}) {
        const QString from = store + QLatin1String(suffix);
        if ((*suffix == 0 || QFileInfo::exists(from)) && !QFile::copy(from, work + QLatin1String(suffix))) {
            g_removeSqliteFiles(work);
            g_raise(QStringLiteral("Cannot copy %1 to %2.").arg(from, work));
        }
    }
    try {
        IOSViberDb dest(dataDir, work, false);
        dest.openCheckThrow();
        // The log's rows into the copy itself before anything else: the
        // store that goes back must not depend on a log beside it.
        dest.executeThrow(Sqlite3Sql("PRAGMA wal_checkpoint(TRUNCATE)"));
        // New rows land all over the indexes (and the search index): with
        // SQLite's small default cache each insert would write pages out and
        // read them back. The cache is only taken as pages are used.
        dest.executeThrow(Sqlite3Sql("PRAGMA cache_size=-65536"));
        dest.executeThrow(Sqlite3Sql("PRAGMA temp_store=MEMORY"));
        std::unique_ptr<StoreMerger> merger;
        if (dest.isCurrentLayout())
            merger = std::make_unique<CurrentStoreMerger>(dest);
        else
            merger = std::make_unique<OldStoreMerger>(dest);
        // Refuses a store that lacks what the merge writes, before any change.
        merger->prepareThrow();

        QList<QPair<qint64, const _ViberMsg*>> newAttas;
        if (dest.isCurrentLayout()) {
            dest.executeThrow(Sqlite3Sql("BEGIN IMMEDIATE"));
            mergeNewRecordsThrow(*merger, newAttas);
        } else {
            IOSViberDb orig(dataDir, store, false);
            orig.openCheckThrow();
            mergeInDateOrderThrow(orig, dest, *merger, newAttas);
        }
        uploadAttachmentsThrow(newAttas);
        writeVoiceCounterThrow();
        merger->finishThrow();
        dest.executeThrow(Sqlite3Sql("COMMIT"));
        merger->verifyThrow();
        // Everything into the store file itself: the device gets one file.
        dest.executeThrow(Sqlite3Sql("PRAGMA wal_checkpoint(TRUNCATE)"));
        dest.close();
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

    // The local copy holds the merged store from now on; the old one stays
    // beside it under a dated name.
    for (const char* suffix : {"", "-wal", "-shm"}) {
        if (QFileInfo::exists(store + QLatin1String(suffix)))
            QFile::rename(store + QLatin1String(suffix), store + QStringLiteral(".bak") + stamp + QLatin1String(suffix));
    }
    QFile::remove(work + QStringLiteral("-wal"));
    QFile::remove(work + QStringLiteral("-shm"));
    if (!QFile::rename(work, store))
        g_raise(QStringLiteral("Cannot rename %1 to %2.").arg(work, store));
    return QString();
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
        auto known = chatKeys.constFind(m->chat);
        const qint64 chatKey = known != chatKeys.cend() ? known.value() : merger.chatKeyThrow(m->chat);
        chatKeys.insert(m->chat, chatKey);
        if (m->type == MSG_TYPE_CALL) {
            if (merger.addCallThrow(chatKey, *m->call))
                ++m_addedCallCount;
            continue;
        }
        qint64 attaKey = 0;
        if (merger.addMessageThrow(chatKey, *m, attaKey) == 0)
            continue;
        ++m_addedMsgCount;
        if (attaKey > 0 && m->atta)
            newAttas << qMakePair(attaKey, m);
    }
}

void IOSRestoreViberMsgThread::mergeInDateOrderThrow(IOSViberDb& orig, IOSViberDb& dest, StoreMerger& merger,
                                                     QList<QPair<qint64, const _ViberMsg*>>& newAttas)
{
    // The old layout shows messages in key order: the device's rows and the
    // new ones are written again, all in date order.
    // The device's rows, and the attachment and location rows of each
    // (read apart: a join would repeat a message once per attachment).
    std::vector<Sqlite3Row> oldMsgs;
    {
        Sqlite3Cursor c = orig.queryThrow(Sqlite3Sql("select * from ZVIBERMESSAGE"));
        while (c.moveNext())
            oldMsgs.push_back(c.getRow());
    }
    QMultiHash<qint64, qint64> attasOf, locsOf;
    {
        Sqlite3Cursor c = orig.queryThrow(Sqlite3Sql("select ZMESSAGE, Z_PK from ZATTACHMENT where ZMESSAGE > 0"));
        while (c.moveNext())
            attasOf.insert(c.getInt64(0), c.getInt64(1));
        Sqlite3Cursor l = orig.queryThrow(Sqlite3Sql("select ZMESSAGE, Z_PK from ZVIBERLOCATION where ZMESSAGE > 0"));
        while (l.moveNext())
            locsOf.insert(l.getInt64(0), l.getInt64(1));
    }
    QList<_InsertData> msgOrder;
    for (Sqlite3Row& row : oldMsgs)
        msgOrder << _InsertData(rowInt(row, "ZTOKEN"), row.val(QStringLiteral("ZDATE")).toDouble(), true, &row);
    QList<_ViberCall*> calls;
    for (_ViberMsg* m : countedRecords()) {
        if (m->type == MSG_TYPE_CALL)
            calls << m->call;
        else
            msgOrder << _InsertData(m->token, m->date, false, m);
    }
    std::sort(msgOrder.begin(), msgOrder.end(), compareMsgInsertDataAsc);

    // Call order.
    std::vector<Sqlite3Row> oldCalls;
    QList<_InsertData> callOrder;
    if (!calls.isEmpty()) {
        Sqlite3Cursor c = orig.queryThrow(Sqlite3Sql("select r.*, l.ZPHONENUMINDEX from ZRECENT as r inner join "
                                                     "ZRECENTSLINE as l on r.ZRECENTSLINE=l.Z_PK"));
        while (c.moveNext())
            oldCalls.push_back(c.getRow());
        for (Sqlite3Row& row : oldCalls)
            callOrder << _InsertData(rowInt(row, "ZCALLTOKEN"), row.val(QStringLiteral("ZDATE")).toDouble(), true,
                                     &row);
        for (_ViberCall* call : std::as_const(calls))
            callOrder << _InsertData(call->token, call->date, false, call);
        std::sort(callOrder.begin(), callOrder.end(), compareMsgInsertDataAsc);
    }

    dest.executeThrow(Sqlite3Sql("DELETE FROM [ZVIBERMESSAGE]"));
    if (!callOrder.isEmpty()) {
        dest.executeThrow(Sqlite3Sql("DELETE FROM [ZRECENT]"));
        dest.executeThrow(Sqlite3Sql("DELETE FROM [ZRECENTSLINE]"));
    }
    dest.executeThrow(Sqlite3Sql("VACUUM"));
    dest.executeThrow(Sqlite3Sql("BEGIN IMMEDIATE"));
    QHash<const _ViberChat*, qint64> chatKeys;

    for (qsizetype i = 0; i < msgOrder.size(); ++i) {
        m_progress.throwIfClosed();
        if (i % 64 == 0 || i + 1 == msgOrder.size())
            m_progress.invokeUpdateProgress(ids("IDS_MERGING_VIBER_MESSAGES"), percentOf(i + 1, msgOrder.size()),
                                            QString());
        const _InsertData& e = msgOrder.at(i);
        if (!e.existing) {
            const _ViberMsg* m = static_cast<const _ViberMsg*>(e.data);
            auto known = chatKeys.constFind(m->chat);
            const qint64 chatKey = known != chatKeys.cend() ? known.value() : merger.chatKeyThrow(m->chat);
            chatKeys.insert(m->chat, chatKey);
            qint64 attaKey = 0;
            if (merger.addMessageThrow(chatKey, *m, attaKey) == 0)
                continue; // a duplicate brings no files
            ++m_addedMsgCount;
            if (attaKey > 0 && m->atta)
                newAttas << qMakePair(attaKey, m);
            continue;
        }
        const Sqlite3Row& row = *static_cast<const Sqlite3Row*>(e.data);
        const qint64 oldKey = rowInt(row, "Z_PK");
        long long found = 0;
        // A row of the device is only a duplicate of a transferred message
        // with the same token; rows without a token are all kept.
        if (e.token == 0 || dest.findMsgThrow(e.token, e.date, found) == 0) {
            dest.executeThrow(row.insertSql(QStringLiteral("ZVIBERMESSAGE"), {QStringLiteral("Z_PK")}));
            const qint64 key = dest.lastInsertId();
            for (const qint64 attaId : attasOf.values(oldKey))
                dest.executeThrow(Sqlite3Sql("update ZATTACHMENT set ZMESSAGE=? where Z_PK=?").addInt64Param(key).addInt64Param(attaId));
            for (const qint64 locId : locsOf.values(oldKey))
                dest.executeThrow(Sqlite3Sql("update ZVIBERLOCATION set ZMESSAGE=? where Z_PK=?").addInt64Param(key).addInt64Param(locId));
        } else {
            for (const qint64 attaId : attasOf.values(oldKey))
                dest.executeThrow(Sqlite3Sql("delete from ZATTACHMENT where Z_PK=?").addInt64Param(attaId));
            for (const qint64 locId : locsOf.values(oldKey))
                dest.executeThrow(Sqlite3Sql("delete from ZVIBERLOCATION where Z_PK=?").addInt64Param(locId));
        }
    }

    const int recentsLineEnt = dest.entities.value(QStringLiteral("RecentsLine"), 0);
    for (qsizetype i = 0; i < callOrder.size(); ++i) {
        m_progress.throwIfClosed();
        m_progress.invokeUpdateProgress(ids("IDS_MERGING_VIBER_CALLS"), percentOf(i + 1, callOrder.size()), QString());
        const _InsertData& e = callOrder.at(i);
        if (!e.existing) {
            if (merger.addCallThrow(0, *static_cast<const _ViberCall*>(e.data)))
                ++m_addedCallCount;
            continue;
        }
        Sqlite3Row row = *static_cast<const Sqlite3Row*>(e.data);
        const qint64 pni = rowInt(row, "ZPHONENUMINDEX");
        if (pni == 0)
            continue;
        const QString typeText = row.val(QStringLiteral("ZCALLTYPE")).toString();
        if (OldStoreMerger::hasCallThrow(dest, e.token, g_callTypeOfText(typeText.toUtf8()), typeText, e.date))
            continue;
        qint64 line = 0;
        {
            Sqlite3Cursor c = dest.queryThrow(
                Sqlite3Sql("select Z_PK from ZRECENTSLINE where ZPHONENUMINDEX=? order by ZDATE desc limit 1").addInt64Param(pni));
            if (c.moveNext())
                line = c.getInt64(0);
        }
        if (line == 0) {
            dest.executeThrow(Sqlite3Sql("insert into ZRECENTSLINE (Z_ENT, Z_OPT, ZPHONENUMINDEX) values (?, 1, ?)")
                                  .addIntParam(recentsLineEnt)
                                  .addInt64Param(pni));
            line = dest.lastInsertId();
        }
        row.setVal(QStringLiteral("ZRECENTSLINE"), line);
        dest.executeThrow(row.insertSql(QStringLiteral("ZRECENT"), {QStringLiteral("Z_PK"), QStringLiteral("ZPHONENUMINDEX")}));
    }
}

void IOSRestoreViberMsgThread::uploadAttachmentsThrow(const QList<QPair<qint64, const _ViberMsg*>>& newAttas)
{
    const QDir dataDir = m_target.appRoot;
    for (qsizetype i = 0; i < newAttas.size(); ++i) {
        m_progress.throwIfClosed();
        m_progress.invokeUpdateProgress(ids("IDS_SAVING_VIBER_ATTACHMENTS"), percentOf(i + 1, newAttas.size()), QString());
        const qint64 k = newAttas.at(i).first;
        const _ViberMsg* m = newAttas.at(i).second;
        const _ViberAtta* a = m->atta;
        const bool plainName = g_isPlainFileName(a->name);
        switch (m->type) {
        case MSG_TYPE_IMAGE:
            if (!plainName)
                break;
            if (isLocalFileValid(a->filePath))
                uploadFileThrow(a->filePath, QStringLiteral("/Documents/Attachments/") + a->name, false, kAppDomain);
            if (isLocalFileValid(a->thumbPath))
                uploadFileThrow(a->thumbPath, QStringLiteral("/Documents/AttachmentsPreview/") + a->name, false, kAppDomain);
            break;
        case MSG_TYPE_LOCATION:
            if (isLocalFileValid(a->thumbPath))
                uploadFileThrow(a->thumbPath,
                                QStringLiteral("/Documents/CustomLocationImage/") +
                                    g_iosCustomLocationImageName(m->latitude, m->longitude),
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
                uploadFileThrow(a->filePath, QStringLiteral("/Documents/Attachments/") + a->name, false, kAppDomain);
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
