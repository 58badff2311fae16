#pragma once

#include "export/ExportMessagesJson.h"
#include "model/ViberRecords.h"

#include <QList>
#include <QString>

class QWidget;

namespace UiCommands {

// How a command that writes outside ended; the progress dialog has shown
// its success, error or nothing (cancel) already.
enum class JobEnd {
    NotStarted, // the user cancelled a dialog before the job
    Succeeded,
    Stopped,    // failed or cancelled; the job removed what it wrote
};

// Asks for the file, format, date range and page size, then exports msgs.
// source names the messages' source in a JSON export.
JobEnd exportMessages(QWidget* parent, const QList<_ViberMsg*>& msgs, const JsonExportSource& source = {});

// Asks for the file and writes the calls among msgs as a table.
JobEnd exportCalls(QWidget* parent, const QList<_ViberMsg*>& msgs);

// Asks for a folder and copies the attachments of msgs into a new
// "attachments(<time>)" folder inside it.
JobEnd extractMediaFiles(QWidget* parent, const QList<_ViberMsg*>& msgs);

} // namespace UiCommands
