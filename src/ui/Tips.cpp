#include "ui/Tips.h"

#include "shell/UserTexts.h"
#include "ui/ErrorReport.h"
#include "ui/ScriptedAnswers.h"
#include "ui/StyleSheet.h"
#include "ui/WinMovable.h"

#include <QAbstractButton>
#include <QTimer>

QString g_productName()
{
    return QStringLiteral("Tellurine Ferrowick");
}

QMessageBox::StandardButton g_showMessageBox(QMessageBox::Icon icon, const QString& text,
                                             QMessageBox::StandardButtons buttons)
{
    QMessageBox box;
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setWindowTitle(g_productName());
    box.setIcon(icon);
    box.setTextFormat(Qt::RichText);
    box.setText(text);
    box.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    box.setStyleSheet(getStyleSheet());
    new WinMovable(&box);
    for (QMessageBox::StandardButton b :
         {QMessageBox::Yes, QMessageBox::No, QMessageBox::Ok, QMessageBox::Cancel}) {
        if (buttons.testFlag(b))
            box.addButton(b);
    }

    QMessageBox::StandardButton scripted = QMessageBox::NoButton;
    const bool answered = ScriptedAnswers::takeBoxAnswer(scripted);
    if (answered) {
        // The box really runs, so what a test sees is what a person would see;
        // the answer is given once its event loop is up.
        QTimer::singleShot(0, &box, [&box, scripted] {
            if (QAbstractButton* button = box.button(scripted)) {
                button->click();
                return;
            }
            // As the title-bar button would; a box without an escape
            // button ignores that, and is then ended with no button.
            box.close();
            if (box.isVisible())
                box.done(0);
        });
    }
    box.exec();
    const QMessageBox::StandardButton result = box.standardButton(box.clickedButton());
    ScriptedAnswers::recordBox({icon, box.windowTitle(), text, buttons, result});
    return result;
}

void Tips::info(const QString& text)
{
    g_showMessageBox(QMessageBox::Information, text, QMessageBox::Ok);
}

void Tips::warning(const QString& text)
{
    g_showMessageBox(QMessageBox::Warning, text, QMessageBox::Ok);
}

bool Tips::question(const QString& text)
{
    return g_showMessageBox(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

bool Tips::confirm(const QString& text)
{
    return g_showMessageBox(QMessageBox::Information, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

QString Tips::errorText(const QString& text)
{
    return ids("IDS_ERROR_OCCURRED_%1").arg(text);
}

void Tips::error(const QString& text)
{
    g_showMessageBox(QMessageBox::Critical, errorText(text), QMessageBox::Ok);
    report_err(text);
}

void Tips::errorWithoutPrefix(const QString& text)
{
    g_showMessageBox(QMessageBox::Critical, text, QMessageBox::Ok);
    report_err(text);
}
