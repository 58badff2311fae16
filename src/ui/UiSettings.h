#pragma once

#include <QString>
#include <QVariant>

class DataFolders;

// The few things the desktop application remembers between runs (window
// size, splitter positions, the export dialog's last choices), in one small
// "settings.ini" in the data folder. Nothing is remembered until a window
// names the data folder, so dialogs used on their own (tests) store nothing.
namespace UiSettings {
// Keeps the settings in folders' data folder from now on.
void use(const DataFolders& folders);
// Stops remembering (the window that named the folder is gone).
void forget();
// The settings file in use; empty when none.
QString filePath();

QVariant value(const QString& key, const QVariant& fallback = QVariant());
void setValue(const QString& key, const QVariant& value);
} // namespace UiSettings
