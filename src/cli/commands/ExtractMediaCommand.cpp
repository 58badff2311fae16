#include "ExtractMediaCommand.h"

#include "CommandOptions.h"
#include "SourceLoader.h"
#include "TerminalProgress.h"
#include "export/ExportDateRange.h"
#include "export/ExportPaths.h"
#include "export/ExtractMediaFilesThread.h"

#include <algorithm>

QList<QCommandLineOption> ExtractMediaCommand::options() const
{
    return QList<QCommandLineOption>{QCommandLineOption(QStringLiteral("out"),
                                                        QStringLiteral("Folder to extract into."),
                                                        QStringLiteral("DIR"))} +
           g_dateRangeOptions();
}

int ExtractMediaCommand::run(CliContext& ctx)
{
    int code = CLI_EXIT_OK;
    QString out;
    if (!g_requireOption(ctx, QStringLiteral("out"), out, code))
        return code;
    ExportDateRange range;
    if (!g_readDateRange(ctx, range, code))
        return code;
    // Extraction copies the files themselves; a preview is only ever made
    // from a file that would be copied instead of it.
    ViberData data;
    if (int loadExit = 0; !SourceLoader::loadSource(ctx, data, loadExit))
        return loadExit;
    QList<_ViberMsg*> msgs = range.filter(data.messages());
    std::sort(msgs.begin(), msgs.end(), compareViberMsgAsc); // a stable naming order for same-second files
    const QDir target(QDir(out).absoluteFilePath(g_timestampedName(QStringLiteral("attachments"))));
    return g_runTerminalJob(ctx, [&](JobProgress& progress) {
        ExtractMediaFilesThread job(msgs, target, progress);
        job.run();
    });
}
