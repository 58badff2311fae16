#include "export/ExportPaths.h"

#include "model/ViberRecords.h"

#include "export/ExportMessagesThread.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

ExportTarget g_exportTarget(const QString& chosenPath, ExportFilter filter)
{
    const QFileInfo info(chosenPath);
    auto withSuffix = [&](const char* suffix) {
        return info.suffix().isEmpty() ? chosenPath + QLatin1String(suffix) : chosenPath;
    };
    auto folderNamed = [&](const char* tail) {
        return QDir(info.path()).filePath(info.completeBaseName() + QLatin1String(tail));
    };
    switch (filter) {
    case EXPORT_FILTER_TXT:
        return {withSuffix(".txt"), ExportFormat::Txt};
    case EXPORT_FILTER_DOC:
        return {withSuffix(".doc"), ExportFormat::Txt};
    case EXPORT_FILTER_CSV:
        return {withSuffix(".csv"), ExportFormat::Csv};
    case EXPORT_FILTER_PDF:
        return {folderNamed("-pdf"), ExportFormat::Pdf};
    case EXPORT_FILTER_HTML:
        return {folderNamed("-html"), ExportFormat::Html};
    case EXPORT_FILTER_JSON:
        return {withSuffix(".json"), ExportFormat::Json};
    }
    return {chosenPath, ExportFormat::Txt};
}

bool g_exportFilterFromName(const QString& name, ExportFilter& filter)
{
    static const struct
    {
        const char* name;
        ExportFilter filter;
    } names[] = {{"txt", EXPORT_FILTER_TXT}, {"doc", EXPORT_FILTER_DOC}, {"csv", EXPORT_FILTER_CSV},
                 {"pdf", EXPORT_FILTER_PDF}, {"html", EXPORT_FILTER_HTML},
                 {"json", EXPORT_FILTER_JSON}};
    for (const auto& n : names) {
        if (name.compare(QLatin1String(n.name), Qt::CaseInsensitive) == 0) {
            filter = n.filter;
            return true;
        }
    }
    return false;
}

QString g_timestampedName(const QString& prefix)
{
    return QStringLiteral("%1(%2)").arg(prefix, QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")));
}

QString g_chatTitle(const _ViberChat& chat)
{
    const QString own = chat.name.trimmed();
    return own.isEmpty() ? chat.fullDisplay() : own;
}
