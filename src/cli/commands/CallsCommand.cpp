#include "CallsCommand.h"

#include "CommandOptions.h"
#include "SourceLoader.h"
#include "TerminalProgress.h"
#include "export/ExportDateRange.h"
#include "export/ExportViberCallsThread.h"

#include <QDir>
#include <QFileInfo>

QList<QCommandLineOption> CallsCommand::options() const
{
    return QList<QCommandLineOption>{
               QCommandLineOption(QStringLiteral("out"), QStringLiteral("Output file."), QStringLiteral("FILE"))} +
           g_dateRangeOptions();
}

int CallsCommand::run(CliContext& ctx)
{
    int code = CLI_EXIT_OK;
    QString out;
    if (!g_requireOption(ctx, QStringLiteral("out"), out, code))
        return code;
    if (QFileInfo(out).isDir())
        out = QDir(out).filePath(QStringLiteral("calls.txt"));
    ExportDateRange range;
    if (!g_readDateRange(ctx, range, code))
        return code;
    ViberData data;
    if (int loadExit = 0; !SourceLoader::loadSource(ctx, data, loadExit))
        return loadExit;
    const QList<_ViberCall*> calls = ExportViberCallsThread::callsOf(range.filter(data.messages()));
    return g_runTerminalJob(ctx, [&](JobProgress& progress) {
        ExportViberCallsThread job(calls, QFileInfo(out).absoluteFilePath(), progress);
        job.run();
    });
}
