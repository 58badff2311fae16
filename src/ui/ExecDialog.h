#pragma once

class QDialog;

// Runs one of our own dialogs modally and returns its result. A script
// queued in ScriptedAnswers for the dialog's object name runs in its place,
// so tests answer every dialog without a person.
int g_execDialog(QDialog& dialog);
