#include "ui/commands/ExportCommands.h"

#include "export/ExportMessagesThread.h"
#include "export/ExportPaths.h"
#include "export/ExportViberCallsThread.h"
#include "export/ExtractMediaFilesThread.h"
#include "shell/UserTexts.h"
#include "ui/FileDialogs.h"
#include "ui/ProgressForm.h"
#include "ui/dialogs/ExportMessagesDlg.h"

#include <QDir>

namespace UiCommands {

namespace {
JobEnd runUnderForm(QThread& job, ProgressForm& form)
{
    const int result = g_execJob(job, form);
    return result == 1 && !form.closed() ? JobEnd::Succeeded : JobEnd::Stopped;
}
} // namespace

JobEnd exportMessages(QWidget* parent, const QList<_ViberMsg*>& msgs, const JsonExportSource& source)
{
    ExportMessagesDlg dlg(QDir::home().filePath(g_timestampedName(QStringLiteral("chats"))), parent);
    ExportChoice choice;
    if (!dlg.execChoose(choice))
        return JobEnd::NotStarted;

    ProgressForm form(QString(), parent);
    ExportOptions options = choice.options;
    options.jsonSource = source;
    ExportMessagesThread job(msgs, choice.target.path, choice.target.format, form, options);
    return runUnderForm(job, form);
}

JobEnd exportCalls(QWidget* parent, const QList<_ViberMsg*>& msgs)
{
    const QString proposed = QDir::home().filePath(g_timestampedName(QStringLiteral("calls")) + QStringLiteral(".txt"));
    const QString path = g_getSaveFileName(parent, ids("IDS_SEL_EXPORT_CALLS_PATH"), proposed,
                                           QStringLiteral("Text (*.txt)"));
    if (path.isEmpty())
        return JobEnd::NotStarted;

    ProgressForm form(QString(), parent);
    ExportViberCallsThread job(ExportViberCallsThread::callsOf(msgs), path, form);
    return runUnderForm(job, form);
}

JobEnd extractMediaFiles(QWidget* parent, const QList<_ViberMsg*>& msgs)
{
    const QString folder =
        g_getExistingDirectory(parent, ids("IDS_TITLE_SEL_OUTPUT_FOLDER_EXTRACT_MEDIA_FILES"), QDir::homePath());
    if (folder.isEmpty())
        return JobEnd::NotStarted;

    ProgressForm form(QString(), parent);
    ExtractMediaFilesThread job(msgs, QDir(QDir(folder).filePath(g_timestampedName(QStringLiteral("attachments")))),
                                form);
    return runUnderForm(job, form);
}

} // namespace UiCommands
