#pragma once

#include "export/ExportOptions.h"

#include <QString>

struct _ViberChat;

// The formats offered by the export save dialog, in its filter order.
enum ExportFilter { EXPORT_FILTER_TXT, EXPORT_FILTER_DOC, EXPORT_FILTER_CSV, EXPORT_FILTER_PDF, EXPORT_FILTER_HTML, EXPORT_FILTER_JSON };

struct ExportTarget
{
    QString path;   // a file for text and CSV, a folder for PDF and HTML
    ExportFormat format;
};

// Where an export goes for the name chosen in the save dialog: text, document
// and CSV get their suffix when the name has none; PDF and HTML write into a
// folder named after the file with "-pdf" or "-html" appended.
ExportTarget g_exportTarget(const QString& chosenPath, ExportFilter filter);

// The filter for a format word typed on the command line (txt, doc, csv, pdf,
// html, json); false for another word.
bool g_exportFilterFromName(const QString& name, ExportFilter& filter);

// The proposed file name of the save dialogs, "<prefix>(yyyyMMdd-hhmmss)".
QString g_timestampedName(const QString& prefix);

// How exports title a chat (file names, page titles and headings, the HTML
// index): its own name (a group's), else its members with their numbers.
QString g_chatTitle(const _ViberChat& chat);
