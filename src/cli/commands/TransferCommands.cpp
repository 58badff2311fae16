#include "TransferCommands.h"

#include "CommandOptions.h"
#include "DeviceAccess.h"
#include "SourceLoader.h"
#include "itunes/BackupManifest.h"
#include "jobs/IOSDeviceViberTransfer.h"
#include "shell/Failure.h"
#include "shell/UserTexts.h"

#include <QFileInfo>

#include <exception>

namespace {
// Backups written to have no password prompt of their own: the password
// comes from the environment, never from the command line.
bool unlockFromEnvironment(BackupManifest& manifest)
{
    const QByteArray password = qgetenv("FERROWICK_BACKUP_PASSWORD");
    if (password.isEmpty())
        g_raise(QStringLiteral("the backup %1 is encrypted; give its password in FERROWICK_BACKUP_PASSWORD")
                    .arg(manifest.root().absolutePath()));
    if (!manifest.setPasscode(password))
        g_raise(ids("IDS_INVALID_PASSWORD"));
    return true;
}

int finish(CliContext& ctx, const IOSTransferResult& r)
{
    if (!r.done) {
        ctx.err << "ferrowick-cli: interrupted" << Qt::endl;
        return CLI_EXIT_INTERRUPTED;
    }
    ctx.out << r.successText() << '\n';
    if (r.viaBackup)
        ctx.out << "The iPhone restarts to take the restored data.\n";
    ctx.out.flush();
    return CLI_EXIT_OK;
}
} // namespace

QList<QCommandLineOption> ToDeviceCommand::options() const
{
    return {QCommandLineOption(QStringLiteral("device"), QStringLiteral("The target iPhone."), QStringLiteral("UDID")),
            QCommandLineOption(QStringLiteral("allow-restore"),
                               QStringLiteral("When the iPhone's Viber folder can't be reached directly, write the "
                                              "messages into a backup of the phone and restore it from that backup "
                                              "(the phone restarts; turn off iCloud Backup and Find My iPhone first)."))};
}

int ToDeviceCommand::run(CliContext& ctx)
{
    int code = CLI_EXIT_OK;
    QString udid;
    if (!g_requireOption(ctx, QStringLiteral("device"), udid, code))
        return code;
    ViberData data;
    if (int loadExit = 0; !SourceLoader::loadSource(ctx, data, loadExit, SourceLoader::MakePreviews))
        return loadExit;
    try {
        const IOSDevice device = g_cliDeviceThrow(QStringLiteral("--device"), udid);
        IOSDeviceLoadHooks hooks;
        hooks.runJob = g_cliJobRunner(ctx.err, ctx.interactive);
        hooks.unlockBackup = unlockFromEnvironment;
        // A restore replaces the whole phone's data with its backup: never
        // without the user saying so.
        const bool allowRestore = ctx.parser.isSet(QStringLiteral("allow-restore"));
        bool restoreRefused = false;
        hooks.confirmDeviceRestore = [&] {
            restoreRefused = !allowRestore;
            return allowRestore;
        };
        const IOSTransferResult r = g_restoreMessages2IOSThrow(device, ctx.folders, data.messages(), hooks);
        if (restoreRefused)
            return ctx.fail(QStringLiteral("this iPhone takes the messages only by a restore from its backup (it "
                                           "restarts, and what changed on it since the backup is lost); nothing was "
                                           "changed. Run again with --allow-restore to go on."));
        return finish(ctx, r);
    } catch (const std::exception& e) {
        return ctx.fail(g_cliPlainLine(QString::fromUtf8(e.what())));
    }
}

QList<QCommandLineOption> ToITunesCommand::options() const
{
    return {QCommandLineOption(QStringLiteral("backup"), QStringLiteral("The backup folder."), QStringLiteral("DIR"))};
}

int ToITunesCommand::run(CliContext& ctx)
{
    int code = CLI_EXIT_OK;
    QString dir;
    if (!g_requireOption(ctx, QStringLiteral("backup"), dir, code))
        return code;
    const QString pathError = g_pathKindError(QStringLiteral("backup"), dir, true);
    if (!pathError.isEmpty())
        return ctx.fail(pathError);
    ViberData data;
    if (int loadExit = 0; !SourceLoader::loadSource(ctx, data, loadExit, SourceLoader::MakePreviews))
        return loadExit;
    try {
        IOSDeviceLoadHooks hooks;
        hooks.runJob = g_cliJobRunner(ctx.err, ctx.interactive);
        hooks.unlockBackup = unlockFromEnvironment;
        return finish(ctx, g_export2ITunesBKThrow(dir, ctx.folders, data.messages(), hooks));
    } catch (const std::exception& e) {
        return ctx.fail(g_cliPlainLine(QString::fromUtf8(e.what())));
    }
}
