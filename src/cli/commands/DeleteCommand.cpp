#include "DeleteCommand.h"

#include "BackupCommand.h"
#include "CommandOptions.h"
#include "TerminalProgress.h"
#include "jobs/DeleteViberMsgThread.h"
#include "shell/FileRoutines.h"
#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "stores/IOSViberDb.h"
#include "stores/LocalDbSchema.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <stdexcept>

namespace {
// The records the keys name, in the order given, each once. Raises for a
// key that is not a number or names nothing.
template<typename Record, typename Table>
QList<Record*> recordsOf(const QStringList& keys, const Table& table, const char* option, const char* what)
{
    QList<Record*> out;
    QSet<Record*> seen;
    for (const QString& key : keys) {
        bool ok = false;
        const qint64 id = key.trimmed().toLongLong(&ok);
        Record* r = ok ? table.value(id) : nullptr;
        if (!r)
            throw std::runtime_error(QStringLiteral("--%1: no %2 with key %3")
                                         .arg(QLatin1String(option), QLatin1String(what), key)
                                         .toStdString());
        if (!seen.contains(r)) {
            seen.insert(r);
            out << r;
        }
    }
    return out;
}
} // namespace

QString DeleteCommand::description() const
{
    return QStringLiteral("Delete messages from a local database.");
}

QList<QCommandLineOption> DeleteCommand::options() const
{
    return {QCommandLineOption(QStringLiteral("localdb"), QStringLiteral("The local database."), QStringLiteral("NAME")),
            QCommandLineOption(QStringLiteral("chat"), QStringLiteral("Delete this chat's messages (repeatable)."),
                               QStringLiteral("KEY")),
            QCommandLineOption(QStringLiteral("message"), QStringLiteral("Delete this message (repeatable)."),
                               QStringLiteral("KEY")),
            QCommandLineOption(QStringLiteral("all"), QStringLiteral("Delete the whole database."))};
}

int DeleteCommand::run(CliContext& ctx)
{
    int code = CLI_EXIT_OK;
    QString name, folder;
    if (!g_requireOption(ctx, QStringLiteral("localdb"), name, code))
        return code;
    const QStringList chats = ctx.parser.values(QStringLiteral("chat"));
    const QStringList messages = ctx.parser.values(QStringLiteral("message"));
    const bool all = ctx.parser.isSet(QStringLiteral("all"));
    if (int(!chats.isEmpty()) + int(!messages.isEmpty()) + int(all) != 1)
        return ctx.usage(QStringLiteral("give exactly one of --chat, --message or --all"));
    if (!g_localDbFolderFor(ctx, QStringLiteral("localdb"), name, true, folder, code))
        return code;

    if (all) {
        // Taken out of use first: an export reading it meanwhile must not
        // make it anew (nor this deletion fail halfway).
        try {
            g_removeLocalDbThrow(folder);
        } catch (const std::runtime_error& e) {
            return ctx.fail(QString::fromUtf8(e.what()));
        }
        // Success means the folder is gone: anything left (a file that could
        // not be removed) would otherwise be reported as a deleted database.
        const QFileInfo left(folder);
        if (left.exists() || left.isSymLink())
            return ctx.fail(QStringLiteral("cannot remove %1 completely").arg(folder));
        ctx.out << ids("IDS_DEL_LOCALDB_SUC").arg(QFileInfo(folder).fileName()) << Qt::endl;
        return CLI_EXIT_OK;
    }

    IOSViberDb db(QDir(folder), QLatin1String(kLocalDbStoreFile), true);
    db.setMakePreviews(false);
    ViberData data;
    QList<_ViberMsg*> doomed;
    try {
        data = db.loadDataThrow();
        const __ViberData* d = data.p();
        if (!chats.isEmpty()) {
            for (const _ViberChat* chat : recordsOf<_ViberChat>(chats, d->chats, "chat", "chat"))
                doomed += chat->msgs;
        } else {
            doomed = recordsOf<_ViberMsg>(messages, d->msgs, "message", "message");
        }
    } catch (const std::runtime_error& e) {
        return ctx.fail(QString::fromUtf8(e.what()));
    }
    return g_runTerminalJob(ctx, [&](JobProgress& progress) {
        DeleteViberMsgThread job(db, doomed, progress);
        job.run();
    });
}
