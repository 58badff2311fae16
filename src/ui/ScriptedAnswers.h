#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

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

// Boxes shown since the last reset, oldest first, and the captions of the file
// dialogs answered.
QList<ShownBox> shownBoxes();
QStringList fileDialogCaptions();
int pendingBoxAnswers();
int pendingFileAnswers();
// Forgets queued answers, the standing answer and the records.
void reset();

// Used by the box and dialog routines.
bool takeBoxAnswer(QMessageBox::StandardButton& button);
void recordBox(const ShownBox& box);
bool takeFileAnswer(const QString& caption, QString& path);
} // namespace ScriptedAnswers
