#include "ui/commands/DeleteCommands.h"

#include "jobs/DeleteViberMsgThread.h"
#include "shell/FileRoutines.h"
#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "stores/IOSViberDb.h"
#include "stores/LocalDbSchema.h"
#include "ui/ProgressForm.h"
#include "ui/Tips.h"

#include <QDir>
#include <QFileInfo>

namespace UiCommands {

namespace {
// The folder of an existing database, or empty with the error shown.
QString existingDbFolder(const DataFolders& folders, const QString& dbName)
{
    const QString folder = g_localDbFolder(folders, dbName);
    if (folder.isEmpty() || !QFileInfo(QDir(folder).filePath(QLatin1String(kLocalDbStoreFile))).isFile()) {
        Tips::error(ids("IDS_NO_LOCALDB_NAMED_%1").arg(dbName));
        return QString();
    }
    return folder;
}
} // namespace

bool deleteMessages(QWidget* parent, const DataFolders& folders, const QString& dbName, const QList<_ViberMsg*>& msgs,
                    DeleteWhat what)
{
    const QString shownDb = dbName.toHtmlEscaped();
    const _ViberChat* chat = what == DeleteWhat::Chat && !msgs.isEmpty() && msgs.first() ? msgs.first()->chat : nullptr;
    const QString question = chat ? ids("IDS_CONFIRM_DEL_THIS_CHAT").arg(chat->display().toHtmlEscaped(), shownDb)
                                  : ids("IDS_CONFIRM_DEL_SEL_MESSAGES", msgs.size()).arg(shownDb);
    if (!Tips::question(question))
        return false;
    const QString folder = existingDbFolder(folders, dbName);
    if (folder.isEmpty())
        return false;

    IOSViberDb db(QDir(folder), QLatin1String(kLocalDbStoreFile), true);
    ProgressForm form(QString(), parent);
    DeleteViberMsgThread job(db, msgs, form);
    const int result = g_execJob(job, form);
    return result == 1 && !form.closed();
}

bool deleteLocalDb(QWidget* parent, const DataFolders& folders, const QString& dbName)
{
    Q_UNUSED(parent);
    if (!Tips::question(ids("IDS_CONFIRM_DEL_THIS_LOCALDB").arg(dbName.toHtmlEscaped())))
        return false;
    const QString folder = existingDbFolder(folders, dbName);
    if (folder.isEmpty())
        return false;
    // Taken out of use first (the writers' lock, then a hidden name), so an
    // export or backup of it at the same time never sees it half gone.
    try {
        g_removeLocalDbThrow(folder);
    } catch (const std::exception& e) {
        Tips::error(QString::fromUtf8(e.what()).toHtmlEscaped());
        // Without its store the database is gone all the same.
        return !QFileInfo(QDir(folder).filePath(QLatin1String(kLocalDbStoreFile))).exists();
    }
    Tips::info(ids("IDS_DEL_LOCALDB_SUC").arg(dbName.toHtmlEscaped()));
    return true;
}

} // namespace UiCommands
