#include "ExportCommand.h"

#include "CommandOptions.h"
#include "SourceLoader.h"
#include "TerminalProgress.h"
#include "export/ExportDateRange.h"
#include "export/ExportMessagesThread.h"
#include "export/ExportPaths.h"

#include <QDir>
#include <QFileInfo>

QString ExportCommand::description() const
{
    return QStringLiteral("Export messages as txt, doc, csv, html, pdf or json.");
}

QList<QCommandLineOption> ExportCommand::options() const
{
    return QList<QCommandLineOption>{QCommandLineOption(QStringLiteral("format"),
                                                        QStringLiteral("txt, doc, csv, html, pdf or json."),
                                                        QStringLiteral("FORMAT")),
                                     QCommandLineOption(QStringLiteral("out"),
                                                        QStringLiteral("Name of the exported file (an existing folder: "
                                                                       "\"messages\" inside it). html and pdf write "
                                                                       "their pages into the folder PATH-html or "
                                                                       "PATH-pdf (PATH without its suffix)."),
                                                        QStringLiteral("PATH")),
                                     QCommandLineOption(QStringLiteral("copy-attachments"),
                                                        QStringLiteral("json: copy attachment files into "
                                                                       "\"<name>-files\" beside the document.")),
                                     QCommandLineOption(QStringLiteral("page-size"),
                                                        QStringLiteral("html: at most N messages on one page of a "
                                                                       "chat (default 5000)."),
                                                        QStringLiteral("N")),
                                     QCommandLineOption(QStringLiteral("keep-emoji"),
                                                        QStringLiteral("txt, doc, csv: write message texts as the "
                                                                       "sender wrote them, emoji included (by default "
                                                                       "each emoji is written \"[EMOJI]\").")),
                                     QCommandLineOption(QStringLiteral("since-last"),
                                                        QStringLiteral("txt, doc, csv, json, html: add only the messages "
                                                                       "newer than the last export to PATH."))} +
           g_dateRangeOptions();
}

int ExportCommand::run(CliContext& ctx)
{
    int code = CLI_EXIT_OK;
    QString format, out;
    if (!g_requireOption(ctx, QStringLiteral("format"), format, code) ||
        !g_requireOption(ctx, QStringLiteral("out"), out, code))
        return code;
    ExportFilter filter;
    if (!g_exportFilterFromName(format, filter)) {
        return ctx.usage(QStringLiteral("unknown format '%1' (txt, doc, csv, html, pdf or json)").arg(format));
    }
    ExportDateRange range;
    if (!g_readDateRange(ctx, range, code))
        return code;
    int pageSize = HtmlChatPages::kDefaultPageSize;
    if (ctx.parser.isSet(QStringLiteral("page-size"))) {
        bool ok = false;
        pageSize = ctx.parser.value(QStringLiteral("page-size")).toInt(&ok);
        if (!ok || pageSize < 1) {
            return ctx.usage(QStringLiteral("--page-size needs a whole number of at least 1"));
        }
    }
    // An existing folder means "write inside it", never beside it.
    if (QFileInfo(out).isDir())
        out = QDir(out).filePath(QStringLiteral("messages"));
    const ExportTarget target = g_exportTarget(QFileInfo(out).absoluteFilePath(), filter);
    const bool sinceLast = ctx.parser.isSet(QStringLiteral("since-last"));
    if (sinceLast && !ExportOptions::sinceLastSupported(ExportFormat(target.format))) {
        return ctx.usage(QStringLiteral("--since-last works with txt, doc, csv, json and html"));
    }

    const bool keepEmoji = ctx.parser.isSet(QStringLiteral("keep-emoji"));
    if (keepEmoji && !ExportOptions::keepEmojiSupported(ExportFormat(target.format))) {
        return ctx.usage(QStringLiteral("--keep-emoji works with txt, doc and csv (the other formats show emoji)"));
    }

    // Only the formats that show pictures need their previews.
    const bool pictures = filter == EXPORT_FILTER_PDF || filter == EXPORT_FILTER_HTML;
    ViberData data;
    if (int loadExit = 0;
        !SourceLoader::loadSource(ctx, data, loadExit, pictures ? SourceLoader::MakePreviews : SourceLoader::NoPreviews))
        return loadExit;
    return g_runTerminalJob(ctx, [&](JobProgress& progress) {
        ExportOptions options;
        options.range = range;
        options.pageSize = pageSize;
        options.sinceLast = sinceLast;
        options.keepEmoji = keepEmoji;
        const QString kind = SourceChoice::kindOption(ctx.source.kind);
        options.jsonSource = {kind.mid(2), ctx.source.kind == SourceChoice::Demo ? QString() : ctx.source.value};
        options.copyAttachments = ctx.parser.isSet(QStringLiteral("copy-attachments"));
        ExportMessagesThread job(data.messages(), target.path, target.format, progress, options);
        job.run();
    });
}
