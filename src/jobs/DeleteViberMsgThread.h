#pragma once

#include "model/ViberRecords.h"
#include "shell/JobProgress.h"

#include <QList>
#include <QString>
#include <QThread>

class IOSViberDb;

// Deletes messages (and, for call messages, their call entries) from a local
// database loaded through db, removes chats left without messages and
// refreshes chat dates, then compacts the file. Attachment files stay. A
// cancelled or failed run rolls back: the store is left as it was.
class DeleteViberMsgThread : public QThread
{
public:
    DeleteViberMsgThread(IOSViberDb& db, const QList<_ViberMsg*>& msgs, JobProgress& progress,
                         QObject* parent = nullptr);
    void run() override;

private:
    QString deleteAll();

    IOSViberDb& m_db;
    QList<_ViberMsg*> m_msgs;
    JobProgress& m_progress;
};
