#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
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

    // Copies src to target and records the copy. A source that cannot be read
    // is logged and counted (the export goes on without that file); a target
    // that cannot be written (full disk, unwritable folder) raises, since
    // every later file would fail too. False when nothing was copied.
    bool copyFile(const QString& src, const QString& target);
    int failedCopies() const { return m_failedCopies; }

private:
    std::mutex m_lock;
    QStringList m_files;
    QStringList m_folders; // in creation order, parents first
    std::atomic_int m_failedCopies{0};
};

// Copies src to target through output when there is one (recorded, failures
// counted), else directly: an unreadable source gives false, a target that
// cannot be written raises.
bool g_exportCopy(ExportOutput* output, const QString& src, const QString& target);

// The line added to a job's success text when files could not be copied;
// empty when every copy succeeded.
QString g_failedCopiesNote(int failed);
