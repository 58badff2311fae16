#include "ui/UiSettings.h"

#include "shell/DataFolders.h"

#include <QSettings>

namespace {
QString& currentFile()
{
    static QString file;
    return file;
}
} // namespace

namespace UiSettings {
void use(const DataFolders& folders)
{
    currentFile() = folders.root().absoluteFilePath(QStringLiteral("settings.ini"));
}

void forget()
{
    currentFile().clear();
}

QString filePath()
{
    return currentFile();
}

QVariant value(const QString& key, const QVariant& fallback)
{
    if (currentFile().isEmpty())
        return fallback;
    return QSettings(currentFile(), QSettings::IniFormat).value(key, fallback);
}

void setValue(const QString& key, const QVariant& value)
{
    if (currentFile().isEmpty())
        return;
    QSettings settings(currentFile(), QSettings::IniFormat);
    settings.setValue(key, value);
}
} // namespace UiSettings
