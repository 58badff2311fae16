#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <mutex>

// Remembers what one export created, so that a cancelled or failed export
// removes exactly its own output: the files it wrote and the folders it made,
// never files that were there before.
class ExportOutput
{
public:
    // Creates the folder (with missing parents) and remembers the folders made.
    bool makeFolder(const QString& path);
    // Records a file this export wrote or copied.
    void addFile(const QString& path);
    // Removes every recorded file, then every folder this export made (deepest
    // first) when it is empty.
    void removeAll();

private:
    std::mutex m_lock;
    QStringList m_files;
    QStringList m_folders; // in creation order, parents first
};
