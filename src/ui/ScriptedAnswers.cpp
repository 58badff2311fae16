#include "ui/ScriptedAnswers.h"

#include <QDialog>
#include <QMutex>
#include <QMutexLocker>
#include <QQueue>

namespace {
struct State
{
    QMutex lock;
    QQueue<QMessageBox::StandardButton> boxAnswers;
    QMessageBox::StandardButton standing = QMessageBox::NoButton;
    QQueue<QString> fileAnswers;
    QList<ScriptedAnswers::ShownBox> shown;
    QStringList captions;
    QList<QPair<QString, ScriptedAnswers::DialogScript>> dialogScripts;
    bool rejectUnscripted = false;
    QStringList dialogs;
};

State& state()
{
    static State s;
    return s;
}
} // namespace

namespace ScriptedAnswers {
void answerNextBox(QMessageBox::StandardButton button)
{
    QMutexLocker guard(&state().lock);
    state().boxAnswers.enqueue(button);
}

void setStandingAnswer(QMessageBox::StandardButton button)
{
    QMutexLocker guard(&state().lock);
    state().standing = button;
}

void answerNextFileDialog(const QString& path)
{
    QMutexLocker guard(&state().lock);
    state().fileAnswers.enqueue(path);
}

void answerNextDialog(const QString& objectName, DialogScript script)
{
    QMutexLocker guard(&state().lock);
    state().dialogScripts.append({objectName, std::move(script)});
}

void setRejectUnscriptedDialogs(bool on)
{
    QMutexLocker guard(&state().lock);
    state().rejectUnscripted = on;
}

QStringList shownDialogs()
{
    QMutexLocker guard(&state().lock);
    return state().dialogs;
}

int pendingDialogScripts()
{
    QMutexLocker guard(&state().lock);
    return int(state().dialogScripts.size());
}

DialogScript takeDialogScript(const QDialog& dialog, bool& rejectUnscripted)
{
    QMutexLocker guard(&state().lock);
    const QString name = dialog.objectName();
    state().dialogs.append(name);
    auto& scripts = state().dialogScripts;
    for (qsizetype i = 0; i < scripts.size(); ++i) {
        if (scripts.at(i).first == name) {
            DialogScript script = std::move(scripts[i].second);
            scripts.removeAt(i);
            rejectUnscripted = false;
            return script;
        }
    }
    rejectUnscripted = state().rejectUnscripted;
    return {};
}

QList<ShownBox> shownBoxes()
{
    QMutexLocker guard(&state().lock);
    return state().shown;
}

QStringList fileDialogCaptions()
{
    QMutexLocker guard(&state().lock);
    return state().captions;
}

int pendingBoxAnswers()
{
    QMutexLocker guard(&state().lock);
    return int(state().boxAnswers.size());
}

int pendingFileAnswers()
{
    QMutexLocker guard(&state().lock);
    return int(state().fileAnswers.size());
}

void reset()
{
    QMutexLocker guard(&state().lock);
    state().boxAnswers.clear();
    state().standing = QMessageBox::NoButton;
    state().fileAnswers.clear();
    state().shown.clear();
    state().captions.clear();
    state().dialogScripts.clear();
    state().rejectUnscripted = false;
    state().dialogs.clear();
}

bool takeBoxAnswer(QMessageBox::StandardButton& button)
{
    QMutexLocker guard(&state().lock);
    if (!state().boxAnswers.isEmpty()) {
        button = state().boxAnswers.dequeue();
        return true;
    }
    if (state().standing != QMessageBox::NoButton) {
        button = state().standing;
        return true;
    }
    return false;
}

void recordBox(const ShownBox& box)
{
    QMutexLocker guard(&state().lock);
    state().shown.append(box);
}

bool takeFileAnswer(const QString& caption, QString& path)
{
    QMutexLocker guard(&state().lock);
    if (state().fileAnswers.isEmpty())
        return false;
    path = state().fileAnswers.dequeue();
    state().captions.append(caption);
    return true;
}
} // namespace ScriptedAnswers
