#include "jobs/DeleteViberMsgThread.h"

#include "shell/UserTexts.h"
#include "stores/IOSViberDb.h"
#include "stores/OldStoreMerger.h"

#include <stdexcept>

DeleteViberMsgThread::DeleteViberMsgThread(IOSViberDb& db, const QList<_ViberMsg*>& msgs, JobProgress& progress,
                                           QObject* parent)
    : QThread(parent), m_db(db), m_msgs(msgs), m_progress(progress)
{
}

void DeleteViberMsgThread::run()
{
    runJobProtocol(m_progress, [this] { return deleteAll(); }, QStringLiteral("Cannot delete the messages: "));
}

QString DeleteViberMsgThread::deleteAll()
{
    m_progress.invokeUpdateProgress(ids("IDS_DELETING_VIBER_MESSAGES"), 0, QString());
    m_db.openCheckThrow();
    m_db.executeThrow("BEGIN IMMEDIATE"); // waits for another writer rather than failing halfway
    qint64 count = 0;
    try {
        const qint64 total = m_msgs.size();
        PercentReporter reporter(m_progress);
        bool callsDeleted = false;
        for (const _ViberMsg* m : std::as_const(m_msgs)) {
            m_progress.throwIfClosed();
            ++count;
            reporter.report(count, total);
            if (m->type == MSG_TYPE_CALL) {
                // A call lives in the call history only (its message key is
                // the negated call key, which names no message row).
                if (m->call) {
                    m_db.executeThrow(Sqlite3Sql("delete from ZRECENT where Z_PK=?").addInt64Param(m->call->id));
                    callsDeleted = true;
                }
                continue;
            }
            for (const char* sql : {"delete from ZATTACHMENT where ZMESSAGE=?", "delete from ZVIBERLOCATION where ZMESSAGE=?",
                                    "delete from ZVIBERMESSAGE where Z_PK=?"})
                m_db.executeThrow(Sqlite3Sql(sql).addInt64Param(m->id));
        }
        if (callsDeleted) {
            m_db.executeThrow("DELETE FROM ZRECENTSLINE WHERE (SELECT 1 from ZRECENT WHERE "
                              "ZRECENT.ZRECENTSLINE=ZRECENTSLINE.Z_PK LIMIT 1) IS NULL");
            OldStoreMerger(m_db).updateCallRecentLinesStatThrow();
        }
        m_db.executeThrow("DELETE FROM ZCONVERSATION WHERE (SELECT 1 from ZVIBERMESSAGE WHERE "
                          "ZVIBERMESSAGE.ZCONVERSATION=ZCONVERSATION.Z_PK LIMIT 1) IS NULL");
        m_db.executeThrow("update ZCONVERSATION set ZDATE=(select max(ZDATE) from ZVIBERMESSAGE as m where "
                          "m.ZCONVERSATION=ZCONVERSATION.Z_PK)");
        m_db.executeThrow("COMMIT");
    } catch (...) {
        m_db.rollbackTran();
        throw;
    }
    // The deletion is committed: a failed compaction only leaves the file
    // larger and must not be reported as a failed deletion.
    QString err;
    if (m_db.exec(QStringLiteral("VACUUM"), err) != 0)
        qWarning("VACUUM after deleting messages failed: %s", qUtf8Printable(err));
    return ids("IDS_SUC_DEL_%1_VIBER_MESSAGES", count);
}
