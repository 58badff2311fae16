#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>

class QDialog;

// Lets tests and scripted runs answer message boxes and file dialogs in place
// of a person. Queued answers are used first, in order; when the queue of
// box answers is empty a box gets the standing answer, if one is set, and
// otherwise waits for a person as usual. Every box shown is recorded.
namespace ScriptedAnswers {
struct ShownBox
{
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton answer;
};

// The next box is answered with this button. A button the box does not offer
// (QMessageBox::NoButton, say) closes the box as its title-bar button would.
void answerNextBox(QMessageBox::StandardButton button);
// Every box without a queued answer is answered with this button;
// QMessageBox::NoButton turns the standing answer off.
void setStandingAnswer(QMessageBox::StandardButton button);
// The next file or folder dialog returns this path; an empty path stands for
// the dialog being cancelled.
void answerNextFileDialog(const QString& path);

// A script plays the person in front of one of our own dialogs: it gets the
// dialog, already built, in place of exec(), works its widgets and returns
// the result exec() would have returned (QDialog::Accepted, Rejected). The
// next dialog run through g_execDialog whose object name is objectName takes
// the oldest script queued for that name. For a job's progress dialog the
// script runs before the job starts, so a scripted cancel is seen by the
// job's first step.
using DialogScript = std::function<int(QDialog&)>;
void answerNextDialog(const QString& objectName, DialogScript script);
// When on, a dialog without a queued script is rejected at once (and
// recorded) instead of waiting for a person.
void setRejectUnscriptedDialogs(bool on);

// Boxes shown since the last reset, oldest first, and the captions of the file
// dialogs answered.
QList<ShownBox> shownBoxes();
QStringList fileDialogCaptions();
// Object names of the dialogs run through g_execDialog, scripted or not.
QStringList shownDialogs();
int pendingBoxAnswers();
int pendingFileAnswers();
int pendingDialogScripts();
// Forgets queued answers, the standing answer and the records.
void reset();

// Used by the box and dialog routines.
bool takeBoxAnswer(QMessageBox::StandardButton& button);
void recordBox(const ShownBox& box);
bool takeFileAnswer(const QString& caption, QString& path);
// The script queued for the dialog (recorded as shown), or an empty function.
// unscripted is set when no script is queued but unscripted dialogs are
// rejected.
DialogScript takeDialogScript(const QDialog& dialog, bool& rejectUnscripted);
} // namespace ScriptedAnswers
