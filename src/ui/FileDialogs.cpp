#include "ui/FileDialogs.h"

#include "ui/ScriptedAnswers.h"

#include <QFileDialog>

QString g_getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                          QString* selectedFilter)
{
    QString path;
    if (ScriptedAnswers::takeFileAnswer(caption, path))
        return path;
    return QFileDialog::getSaveFileName(parent, caption, dir, filter, selectedFilter);
}

QString g_getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    QString path;
    if (ScriptedAnswers::takeFileAnswer(caption, path))
        return path;
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString g_getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    QString path;
    if (ScriptedAnswers::takeFileAnswer(caption, path))
        return path;
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}
