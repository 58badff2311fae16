#include "ui/ExecDialog.h"

#include "ui/ScriptedAnswers.h"

#include <QDialog>

int g_execDialog(QDialog& dialog)
{
    bool rejectUnscripted = false;
    if (const ScriptedAnswers::DialogScript script = ScriptedAnswers::takeDialogScript(dialog, rejectUnscripted))
        return script(dialog);
    if (rejectUnscripted) {
        dialog.reject();
        return QDialog::Rejected;
    }
    return dialog.exec();
}
