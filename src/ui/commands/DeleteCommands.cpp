#include "ui/commands/DeleteCommands.h"

#include "jobs/DeleteViberMsgThread.h"
#include "shell/FileRoutines.h"
#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "stores/IOSViberDb.h"
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
        Tips::error(QStringLiteral("No local database named \"%1\".").arg(dbName));
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
    g_delDirCascade(folder);
    // A file that could not be removed must not pass for a deleted database.
    const QFileInfo left(folder);
    if (left.exists() || left.isSymLink()) {
        Tips::error(QStringLiteral("Cannot remove %1 completely.").arg(QDir::toNativeSeparators(folder)));
        // Without its store the database is gone all the same.
        return !QFileInfo(QDir(folder).filePath(QLatin1String(kLocalDbStoreFile))).exists();
    }
    Tips::info(ids("IDS_DEL_LOCALDB_SUC").arg(dbName.toHtmlEscaped()));
    return true;
}

} // namespace UiCommands
