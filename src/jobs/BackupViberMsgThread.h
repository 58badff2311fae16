#pragma once

#include "model/ViberRecords.h"
#include "shell/JobProgress.h"

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>
#include <QThread>

class IOSViberDb;

// Merges messages of any loaded source into a local database folder: the
// store (created when missing) in one transaction, and copies of member
// pictures and attachment files where a reload looks for them. A file that
// cannot be read is left out and counted in the result; a full disk fails
// the backup. Messages,
// chats and files the database holds already are not written again. A
// cancelled or failed run leaves the store as it was, files copied before
// the stop staying; into a new name it leaves no database at all.
class BackupViberMsgThread : public QThread
{
public:
    BackupViberMsgThread(const QList<_ViberMsg*>& msgs, QDir dbDir, JobProgress& progress, QObject* parent = nullptr);
    void run() override;

    // The message indexes a backup into an empty store drops for its inserts
    // and builds again once at the end.
    static QStringList deferredIndexNames();

private:
    QString backupAll();
    // After a failed backup into a new name: the store made for it goes.
    void removeNewDatabase(bool folderIsNew);
    void copyMemberPictures(const _ViberChat* chat);
    void copyAttachmentFiles(const _ViberMsg* m, qint64 attaKey, bool inserted);
    // Copies src to dbDir/rel unless rel exists already; names from the
    // source that could leave the folder are never used, nor are symbolic
    // links inside the database folder followed.
    void copyNew(const QString& src, const QString& folder, const QString& name, bool replace = false);
    // A source that cannot be read is logged and counted; a database folder
    // that cannot be written (full disk) fails the backup.
    bool copyChecked(const QString& src, const QString& target);
    // Makes folder (relative to dbDir) or fails the backup.
    void makeFolderThrow(const QString& folder);

    QList<_ViberMsg*> m_msgs;
    QDir m_dbDir;
    JobProgress& m_progress;
    int m_failedCopies = 0;
};
