#pragma once

#include <QMessageBox>
#include <QString>

// The product name every window and message box carries as its title.
QString g_productName();

// Builds and runs one modal message box: the product name as title, the icon,
// rich text, the buttons of the set in the order Yes, No, Ok, Cancel, the
// shared style sheet, no frame (it is dragged by its body). Returns the button
// pressed; closing the box counts as its escape button. Answered by
// ScriptedAnswers when an answer is queued or standing.
QMessageBox::StandardButton g_showMessageBox(QMessageBox::Icon icon, const QString& text,
                                             QMessageBox::StandardButtons buttons);

// The message boxes of the application. Only for the GUI thread: jobs reach
// the user through their progress dialog.
class Tips
{
public:
    static void info(const QString& text);
    static void warning(const QString& text);
    // True exactly when Yes was pressed.
    static bool question(const QString& text);
    // An information the user must acknowledge to go on: true exactly when
    // OK was pressed (Cancel or closing the box stops).
    static bool confirm(const QString& text);
    // The text inside a standard frame that says where to get help, then an
    // error report.
    static void error(const QString& text);
    static void errorWithoutPrefix(const QString& text);

    // The text Tips::error shows for text.
    static QString errorText(const QString& text);
};
