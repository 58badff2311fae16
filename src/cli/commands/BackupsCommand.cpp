#include "commands/BackupsCommand.h"
#include "commands/ListingFormat.h"

#include "CommandOptions.h"

#include "itunes/BackupListing.h"

#include <QFileInfo>

QList<QCommandLineOption> BackupsCommand::options() const
{
    return {QCommandLineOption(QStringLiteral("dir"), QStringLiteral("Folder holding the backups."),
                               QStringLiteral("DIR"))};
}

int BackupsCommand::run(CliContext& ctx)
{
    const bool explicitDir = ctx.parser.isSet(QStringLiteral("dir"));
    const QDir dir = explicitDir ? QDir(ctx.parser.value(QStringLiteral("dir"))) : BackupManifest::iTunesBackupDir();
    if (!QFileInfo(dir.absolutePath()).isDir()) {
        // No default folder simply means no backups have been made here.
        if (!explicitDir)
            return CLI_EXIT_OK;
        return ctx.fail(g_pathKindError(QStringLiteral("dir"), ctx.parser.value(QStringLiteral("dir")), true));
    }

    const _BackupListing listing = g_listItunesBackups(dir, ctx.folders);
    for (const QString& e : listing.errors)
        ctx.err << "ferrowick-cli: warning: " << g_terminalText(e) << '\n';
    ctx.err.flush();
    for (const auto& b : listing.backups) {
        const QString version = b->info().productVersion.isEmpty() ? QStringLiteral("-") : b->info().productVersion;
        ctx.out << g_listingField(b->displayName()) << '\t'
                << b->info().date.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) << '\t'
                << (b->info().isEncrypted ? "yes" : "no") << '\t' << g_listingField(version) << '\t'
                << g_backupIndexName(b->generation()) << '\t' << g_listingField(b->root().absolutePath()) << '\n';
    }
    ctx.out.flush();
    return CLI_EXIT_OK;
}
