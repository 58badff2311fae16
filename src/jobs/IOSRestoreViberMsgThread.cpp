#include "jobs/IOSRestoreViberMsgThread.h"

#include "model/Sqlite3Row.h"
#include "shell/Failure.h"
#include "shell/FileRoutines.h"
#include "shell/UserTexts.h"
#include "stores/IOSViberDb.h"
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

int percentOf(qint64 i, qint64 n)
{
    return n <= 0 ? 0 : int(i * 99 / n);
}

qint64 rowInt(const Sqlite3Row& row, const char* col)
{
    return row.val(QLatin1String(col)).toLongLong();
}

// Whether dest already holds this call. Stores spell one kind of call in
// several ways ("missed", "Missed"), so calls match by token and kind; a
// call without a token also needs the same time.
bool hasCallThrow(IOSViberDb& dest, qint64 token, int kind, const QString& typeText, double date)
{
    const QByteArray typeUtf8 = typeText.toUtf8();
    Sqlite3Cursor c =
        dest.queryThrow(Sqlite3Sql("select ZCALLTYPE, ZDATE from ZRECENT where ZCALLTOKEN=?").addInt64Param(token));
    while (c.moveNext()) {
        const QByteArrayView other = c.getUtf8(0);
        const bool sameKind = kind != 0 ? g_callTypeOfText(other) == kind : other == QByteArrayView(typeUtf8);
        if (sameKind && (token != 0 || qAbs(c.getDouble(1) - date) < 1))
            return true;
    }
    return false;
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
    m_progress.invokeUpdateProgress(ids("IDS_RESTORING_VIBER_MSG_TO_IOS"), 0, QString());
    const QDir dataDir = m_target.appRoot;
    const QString store = m_target.storeFile;
    if (!QFileInfo(store).isFile())
        g_raise(QStringLiteral("IOSRestoreViberMsgThread, no store at %1.").arg(store));
    {
        // Refused before anything changes: we read today's layout but do not write it.
        IOSViberDb check(dataDir, store, false);
        check.checkWritableThrow();
    }
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
            g_raise(QStringLiteral("IOSRestoreViberMsgThread, cant copy %1 to %2.").arg(from, work));
        }
    }
    try {
        IOSViberDb orig(dataDir, store, false);
        orig.openCheckThrow();
        IOSViberDb dest(dataDir, work, false);
        dest.openCheckThrow();

        // Message order.
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
        for (_ViberMsg* m : std::as_const(m_msgs)) {
            if (!m || !m->chat)
                continue;
            if (m->type == MSG_TYPE_CALL) {
                if (m->call) {
                    calls << m->call;
                    ++m_callCount;
                }
                continue;
            }
            msgOrder << _InsertData(m->token, m->date, false, m);
            ++m_msgCount;
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
        IOSViberDb::_InsertContext ctx;
        QHash<const _ViberChat*, qint64> chatKeys;
        QList<QPair<qint64, const _ViberMsg*>> newAttas;

        for (qsizetype i = 0; i < msgOrder.size(); ++i) {
            m_progress.throwIfClosed();
            if (i % 64 == 0 || i + 1 == msgOrder.size())
                m_progress.invokeUpdateProgress(ids("IDS_MERGING_VIBER_MESSAGES"), percentOf(i + 1, msgOrder.size()),
                                                QString());
            const _InsertData& e = msgOrder.at(i);
            if (!e.existing) {
                const _ViberMsg* m = static_cast<const _ViberMsg*>(e.data);
                qint64 chatKey = chatKeys.value(m->chat, 0);
                if (chatKey == 0) {
                    chatKey = dest.findChatSlowThrow(m->chat);
                    if (chatKey == 0)
                        chatKey = dest.insertChatThrow(ctx, m->chat);
                    chatKeys.insert(m->chat, chatKey);
                    dest.saveChatMembersThrow(ctx, chatKey, m->chat->members.values());
                }
                long long attaKey = 0, locKey = 0;
                // Without a token the content decides: time alone would fold
                // different messages of one minute into one.
                if (dest.findMsgThrow(*m, chatKey, attaKey) == 0)
                    dest.insertMsgThrow(ctx, chatKey, m, attaKey, locKey);
                else
                    attaKey = 0; // a duplicate brings no files
                if (attaKey > 0 && m->atta)
                    newAttas << qMakePair(qint64(attaKey), m);
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
                    dest.executeThrow(Sqlite3Sql(QStringLiteral("update ZATTACHMENT set ZMESSAGE=%1 where Z_PK=%2").arg(key).arg(attaId)));
                for (const qint64 locId : locsOf.values(oldKey))
                    dest.executeThrow(Sqlite3Sql(QStringLiteral("update ZVIBERLOCATION set ZMESSAGE=%1 where Z_PK=%2").arg(key).arg(locId)));
            } else {
                for (const qint64 attaId : attasOf.values(oldKey))
                    dest.executeThrow(Sqlite3Sql(QStringLiteral("delete from ZATTACHMENT where Z_PK=%1").arg(attaId)));
                for (const qint64 locId : locsOf.values(oldKey))
                    dest.executeThrow(Sqlite3Sql(QStringLiteral("delete from ZVIBERLOCATION where Z_PK=%1").arg(locId)));
            }
        }

        const int recentsLineEnt = dest.entities.value(QStringLiteral("RecentsLine"), 0);
        for (qsizetype i = 0; i < callOrder.size(); ++i) {
            m_progress.throwIfClosed();
            m_progress.invokeUpdateProgress(ids("IDS_MERGING_VIBER_CALLS"), percentOf(i + 1, callOrder.size()), QString());
            const _InsertData& e = callOrder.at(i);
            if (!e.existing) {
                const _ViberCall* call = static_cast<const _ViberCall*>(e.data);
                if (!hasCallThrow(dest, call->token, call->type, QString(), call->date))
                    dest.saveCallThrow(ctx, call);
                continue;
            }
            Sqlite3Row row = *static_cast<const Sqlite3Row*>(e.data);
            const qint64 pni = rowInt(row, "ZPHONENUMINDEX");
            if (pni == 0)
                continue;
            const QString typeText = row.val(QStringLiteral("ZCALLTYPE")).toString();
            if (hasCallThrow(dest, e.token, g_callTypeOfText(typeText.toUtf8()), typeText, e.date))
                continue;
            qint64 line = 0;
            {
                Sqlite3Cursor c = dest.queryThrow(Sqlite3Sql(
                    QStringLiteral("select Z_PK from ZRECENTSLINE where ZPHONENUMINDEX=%1 order by ZDATE desc limit 1").arg(pni)));
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

        for (qsizetype i = 0; i < newAttas.size(); ++i) {
            m_progress.throwIfClosed();
            m_progress.invokeUpdateProgress(ids("IDS_SAVING_VIBER_ATTACHMENTS"), percentOf(i + 1, newAttas.size()), QString());
            const qint64 k = newAttas.at(i).first;
            const _ViberMsg* m = newAttas.at(i).second;
            const _ViberAtta* a = m->atta;
            if (!a->iosAssetUID().isEmpty())
                dest.setAttaAssetUrlNullThrow(k);
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
                        QFile::copy(a->filePath, local);
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
        writeVoiceCounterThrow();

        dest.updateChatStatThrow();
        if (!callOrder.isEmpty())
            dest.updateCallRecentLinesStatThrow();
        dest.updatePrimaryKeyStatThrow();
        dest.executeThrow(Sqlite3Sql("COMMIT"));
        {
            Sqlite3Cursor c = dest.queryThrow(Sqlite3Sql("PRAGMA integrity_check"));
            const QString verdict = c.moveNext() ? c.getText(0) : QString();
            if (verdict != QLatin1String("ok"))
                g_raise(QStringLiteral("The merged store failed its integrity check: %1").arg(verdict));
        }
        // Everything into the store file itself: the device gets one file.
        dest.executeThrow(Sqlite3Sql("PRAGMA wal_checkpoint(TRUNCATE)"));
        dest.close();
        orig.close();
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
        g_raise(QStringLiteral("IOSRestoreViberMsgThread, cant rename %1 to %2.").arg(work, store));
    return QString();
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
        // written into the backup.
        uploadFileThrow(m_target.storeFile, kDeviceStore, true, kAppDomain);
        // A log of the old store beside the new one would be replayed into
        // it: the backup gets empty companions instead.
        const QString empty = QFileInfo(work).absolutePath() + QStringLiteral("/.empty-companion");
        QFile f(empty);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            g_raise(QStringLiteral("can not write %1.").arg(empty));
        f.close();
        for (const char* suffix : {"-wal", "-shm"})
            m_items << IOSMergeWAFiles2iTunesBKThread::_Item(kAppDomain, empty, kDeviceStore.mid(1) + QLatin1String(suffix),
                                                            true);
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
