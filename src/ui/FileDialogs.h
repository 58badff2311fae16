#pragma once

#include <QString>

class QWidget;

// The file and folder dialogs of the application. Each returns an empty text
// when cancelled, and is answered by ScriptedAnswers when an answer is queued.
// selectedFilter, when given, receives the filter the user picked (a scripted
// answer leaves it as it was).
QString g_getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                          QString* selectedFilter = nullptr);
QString g_getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
QString g_getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir);
