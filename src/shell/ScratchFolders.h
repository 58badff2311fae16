#pragma once

#include <QString>

class DataFolders;

// Working folders in the data folder that belong to one run: private copies
// of a source (cache/source-XXXXXX), the working copy of a backup index
// (cache/index/<md5>), the copy of an encrypted backup's Viber files
// (cache/itunes/<md5>), a local database being deleted. Some hold decrypted
// data, which must not outlive the run that made it.
//
// A run claims such a folder while it uses it: a shared lock on the file
// kScratchLockName inside it, which the system drops when the process ends,
// however it ends. Every start sweeps the folders no running process claims.

extern const char* const kScratchLockName;
// Local databases being deleted are moved to hidden names with this prefix.
extern const char* const kRemovedLocalDbPrefix;

// A claim on a folder, held while the object lives (the folder is made when
// missing, owner-only). Several processes may claim one folder at once.
class ScratchClaim
{
public:
    ScratchClaim() = default;
    explicit ScratchClaim(const QString& dir);
    ~ScratchClaim();
    ScratchClaim(ScratchClaim&& other) noexcept;
    ScratchClaim& operator=(ScratchClaim&& other) noexcept;
    ScratchClaim(const ScratchClaim&) = delete;
    ScratchClaim& operator=(const ScratchClaim&) = delete;

    bool isValid() const { return m_fd >= 0; }
    const QString& dir() const { return m_dir; }
    // Removes the folder when no other process claims it, and lets go.
    void removeUnlessShared();

private:
    QString m_dir;
    int m_fd = -1;
};

// Claims dir until the process ends. With removeAtExit the folder goes at a
// normal end (exit() or main's return) unless another process still claims
// it; after a kill the next start's sweep removes it.
void g_claimUntilExit(const QString& dir, bool removeAtExit);
// Ends the claims of g_claimUntilExit now, removing the folders as at exit
// (the GUI calls it as it closes; the CLI at its end).
void g_releaseClaimsAtExit();

// Removes dir when it holds a claim file that no process holds any more.
// Without a claim file, only when unclaimedAgeSecs >= 0 and the folder is at
// least that old (a run makes its claim right after the folder). True when
// the folder is gone.
bool g_removeIfUnclaimed(const QString& dir, qint64 unclaimedAgeSecs);

// What killed runs left in folders: the folders above that no process
// claims (a copy of a plain backup, kept on purpose as a cache, has no claim
// and stays). Every program calls it once as it starts.
void g_sweepLeftovers(const DataFolders& folders);
