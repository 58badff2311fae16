#pragma once

#include "fixtures/StoreFixture.h"
#include "model/ViberData.h"
#include "ui/ScriptedAnswers.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

// The sample history loaded from a container written under dir.
struct LoadedSample
{
    SampleStore keys;
    QDir root;
    ViberData data;
};
LoadedSample g_loadSample(const QString& dir);

// Before each test: no scripts left from the last one, boxes answered OK, and
// a dialog nobody scripted is rejected (so a test never waits for a click).
void g_resetDialogScripts();

// Answers the next dialog of that object name with script; the dialog is
// cast to its class for the script.
template<typename Dialog>
void g_answer(const QString& objectName, std::function<int(Dialog&)> script)
{
    ScriptedAnswers::answerNextDialog(objectName, [script](QDialog& d) { return script(static_cast<Dialog&>(d)); });
}

// The next password dialog is given each of typed in turn until one unlocks;
// what its field holds after each try is appended to fieldAfter.
void g_answerPasscodes(const QStringList& typed, QStringList* fieldAfter);

// The next backup target dialog accepts name (typed into its field).
void g_answerLocalDb(const QString& name);
// The next job's progress dialog is cancelled before the job's first step.
void g_cancelNextJob();

// Texts of the boxes shown since the last reset.
QStringList g_boxTexts();

// Core Data seconds as local "yyyy-MM-dd hh:mm:ss", as the export dialog reads them.
QString g_localTime(double recordTime, int addSeconds = 0);
