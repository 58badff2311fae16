#include "ui/commands/LocalDbCommands.h"

#include "jobs/BackupViberMsgThread.h"
#include "shell/Failure.h"
#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "stores/IOSViberDb.h"
#include "ui/ProgressForm.h"
#include "ui/Tips.h"
#include "ui/dialogs/LocalDbSelForm.h"

#include <QDir>
#include <QFileInfo>

namespace UiCommands {

QString proposedBackupName(const QString& sourceNodeName)
{
    return sourceNodeName + QStringLiteral("_Backup");
}

LocalDbChange backupMessages(QWidget* parent, const DataFolders& folders, const QString& proposedName,
                             const QList<_ViberMsg*>& msgs)
{
    LocalDbChange change;
    LocalDbSelForm dlg(g_localDbNames(folders), proposedName, parent);
    const QString name = dlg.execGetDbName();
    if (name.isEmpty())
        return change;
    // The dialog refused names that are invalid or ambiguous; what is left
    // is a folder that would lie outside the database folder (a link).
    const QString folder = g_localDbFolder(folders, name);
    if (folder.isEmpty()) {
        Tips::error(ids("IDS_INVALID_LOCALDB_NAME"));
        return change;
    }

    ProgressForm form(QString(), parent);
    BackupViberMsgThread job(msgs, QDir(folder), form);
    const int result = g_execJob(job, form);

    if (QFileInfo(QDir(folder).filePath(QLatin1String(kLocalDbStoreFile))).isFile())
        change.dbName = QFileInfo(folder).fileName();
    change.reload = result == 1 && !form.closed() && !change.dbName.isEmpty();
    return change;
}

ViberData loadLocalDbThrow(const DataFolders& folders, const QString& name,
                           const std::function<void(IOSViberDb*)>& watch)
{
    const QString folder = g_localDbFolder(folders, name);
    if (folder.isEmpty() || !QFileInfo(QDir(folder).filePath(QLatin1String(kLocalDbStoreFile))).isFile())
        g_raise(ids("IDS_NO_LOCALDB_NAMED_%1").arg(name));
    IOSViberDb db(QDir(folder), QLatin1String(kLocalDbStoreFile), true);
    if (!watch)
        return db.loadDataThrow();
    db.openCheckThrow();
    watch(&db);
    struct Unwatch
    {
        const std::function<void(IOSViberDb*)>& watch;
        ~Unwatch() { watch(nullptr); }
    } unwatch{watch};
    return db.loadDataThrow();
}

} // namespace UiCommands
