#pragma once

#include "CliCommand.h"
#include "SourceChoice.h"
#include "model/ViberData.h"
#include "shell/ScratchFolders.h"

#include <QDir>
#include <QString>

#include <memory>
#include <stdexcept>

class BackupManifest;
struct ViberContainers;
class QTemporaryDir;
class QTextStream;

// Loads the data set of the source chosen on the command line, restricted to
// the --chat keys when any are given. Folders and files the user names
// (--container, --desktop) are never written to: their store files are copied
// into a private folder under the data folder's cache and read from there,
// and previews go there too. Keep the loader alive while the data set's file
// paths are used; the private copy goes with it.
// The user stopped a load (Ctrl-C).
class SourceInterrupted : public std::runtime_error
{
public:
    SourceInterrupted() : std::runtime_error("interrupted") {}
};

class SourceLoader
{
public:
    // Private copies and caches go into folders.
    SourceLoader(SourceChoice choice, const DataFolders& folders);
    ~SourceLoader();
    SourceLoader(const SourceLoader&) = delete;
    SourceLoader& operator=(const SourceLoader&) = delete;

    // Whether pictures and videos without a preview get one (off for
    // listings, which never show them).
    void setMakePreviews(bool on) { m_makePreviews = on; }

    // Where a load that runs a job (--itunes) shows its progress and asks
    // for a password; without it nothing is shown and nobody is asked.
    void setTerminal(QTextStream* err, bool interactive);

    // Raises std::runtime_error with a text for the user, SourceInterrupted
    // when the user stopped the load.
    ViberData loadThrow();
    // For commands: loads into data, or prints the error through ctx and
    // returns false; the command then exits with failureExit().
    bool loadFor(const CliContext& ctx, ViberData& data);
    // 1, or 130 when the load was interrupted.
    int failureExit() const { return m_failureExit; }

    // What every command that reads a source does: loads the command's
    // source into data, or prints the error and sets exitCode (false).
    enum Previews { NoPreviews, MakePreviews };
    static bool loadSource(const CliContext& ctx, ViberData& data, int& exitCode, Previews previews = NoPreviews);

private:
    ViberData loadContainerThrow(const QString& dir, const QString& what, const QString& appDir = QString());
    ViberData loadFoundThrow(const ViberContainers& found, const QString& what);
    ViberData loadLocalDbThrow(const QString& name);
    ViberData loadDesktopThrow(const QString& file);
    // Takes Viber's files out of the backup into its cache folder, then
    // reads them like a container.
    ViberData loadITunesThrow(const QString& dir);
    // The password's bytes as given: a file's or a terminal's bytes are not
    // decoded, so a password that is not UTF-8 still opens its backup.
    QByteArray backupPasswordThrow(const BackupManifest& manifest) const;
    // Copies file and its -wal, -shm and -journal companions into the private
    // folder; returns the copy's path.
    QString privateCopyThrow(const QString& file);
    void restrictToChatsThrow(ViberData& data) const;
    // Copies the iPhone's Viber data into its cache folder (directly or
    // through a backup of the device), then reads it like a container.
    ViberData loadDeviceThrow(const QString& udid);

    SourceChoice m_choice;
    DataFolders m_folders;
    bool m_makePreviews = false;
    QTextStream* m_err = nullptr;
    bool m_interactive = false;
    int m_failureExit = 1;
    std::unique_ptr<ScratchClaim> m_claim; // on m_copy, so that no start sweeps it while it is used
    std::unique_ptr<QTemporaryDir> m_copy;
};
