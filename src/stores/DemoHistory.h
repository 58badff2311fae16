#pragma once

#include <QString>

class DataFolders;

// The built-in sample history: a container folder with an iPhone-layout
// store and real media files, made by the program itself. Fictional people
// (numbers from the range reserved for fiction), one-to-one and group chats,
// every message kind and call type over several months.

// Writes the sample container into dir, which must not exist yet.
void g_writeDemoContainerThrow(const QString& dir);

// The sample container in the data folder's cache, written on first use.
// Safe when two processes ask at once: each builds in a private folder and
// the first to finish moves it into place.
QString g_demoContainerThrow(const DataFolders& folders);
