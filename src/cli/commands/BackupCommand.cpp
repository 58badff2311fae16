#include "BackupCommand.h"

#include "CommandOptions.h"
#include "SourceLoader.h"
#include "TerminalProgress.h"
#include "jobs/BackupViberMsgThread.h"
#include "shell/LocalDbNames.h"

#include <QDir>
#include <QFileInfo>

bool g_localDbFolderFor(CliContext& ctx, const QString& option, const QString& name, bool mustExist,
                        QString& folder, int& code)
{
    const LocalDbNameCheck check = g_checkLocalDbName(name);
    const QStringList ambiguous = check == LOCALDB_NAME_OK ? g_localDbCaseAmbiguity(ctx.folders, name) : QStringList();
    folder = g_localDbFolder(ctx.folders, name);
    if (check != LOCALDB_NAME_OK || folder.isEmpty()) {
        const QString why = check != LOCALDB_NAME_OK ? g_localDbNameCheckText(check)
                            : !ambiguous.isEmpty()
                                ? QStringLiteral("it matches %1; give the exact name").arg(ambiguous.join(QLatin1String(", ")))
                                : QStringLiteral("it would lie outside the data folder");
        code = ctx.usage(QStringLiteral("--%1: '%2' is not a database name: %3").arg(option, name, why));
        return false;
    }
    if (mustExist && !QFileInfo(QDir(folder).filePath(QLatin1String(kLocalDbStoreFile))).isFile()) {
        code = ctx.fail(QStringLiteral("--%1: no local database named '%2'").arg(option, name));
        return false;
    }
    return true;
}

QString BackupCommand::description() const
{
    return QStringLiteral("Back the messages up into a local database.");
}

QList<QCommandLineOption> BackupCommand::options() const
{
    return {QCommandLineOption(QStringLiteral("into"), QStringLiteral("Name of the local database."),
                               QStringLiteral("NAME"))};
}

int BackupCommand::run(CliContext& ctx)
{
    int code = CLI_EXIT_OK;
    QString name, folder;
    if (!g_requireOption(ctx, QStringLiteral("into"), name, code) ||
        !g_localDbFolderFor(ctx, QStringLiteral("into"), name, false, folder, code))
        return code;

    // Previews are copied along, so the database shows them as the source did.
    ViberData data;
    if (int loadExit = 0; !SourceLoader::loadSource(ctx, data, loadExit, SourceLoader::MakePreviews))
        return loadExit;
    return g_runTerminalJob(ctx, [&](JobProgress& progress) {
        BackupViberMsgThread job(data.messages(), QDir(folder), progress);
        job.run();
    });
}
