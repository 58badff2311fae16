#pragma once

#include "export/ExportDateRange.h"
#include "export/HtmlChatPages.h"

#include <QString>

// The formats a message export writes. The numbers are stored in the state
// files of since-last exports: never renumber them.
enum class ExportFormat { Txt = 0, Csv = 1, Pdf = 2, Html = 3, Json = 4 };

// What a JSON export says about where its messages came from.
struct JsonExportSource
{
    QString kind; // container, localdb, itunes, desktop, device, demo (empty: unknown)
    QString name; // the folder, file, database name or device id given
};

// How messages are exported, beyond where and in which format: the same
// choices in the GUI's export dialog and on the command line.
struct ExportOptions
{
    // Only messages inside the range are written (and counted).
    ExportDateRange range;
    // HTML: at most this many messages on one page of a chat (0: no limit).
    int pageSize = HtmlChatPages::kDefaultPageSize;
    // Remember in a state file beside the output (inside an HTML folder) the
    // newest message of each chat, and on a later run add only newer
    // messages: text, CSV and JSON at the end of the file, HTML on the chat's
    // last page and new pages (the first run, or one whose output is gone,
    // writes everything).
    bool sinceLast = false;
    // Text and CSV: message texts as the sender wrote them, emoji included.
    bool keepEmoji = false;
    // JSON: copy attachment files into "<name>-files" beside the document.
    bool copyAttachments = false;
    // JSON: what the document names as its source.
    JsonExportSource jsonSource;

    static bool keepEmojiSupported(ExportFormat format)
    {
        return format == ExportFormat::Txt || format == ExportFormat::Csv;
    }
    static bool sinceLastSupported(ExportFormat format) { return format != ExportFormat::Pdf; }
};
