#include "shell/ScratchFolders.h"

#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

const char* const kScratchLockName = ".ferrowick-in-use";
const char* const kRemovedLocalDbPrefix = ".deleting-";

namespace {
// Folders without a claim file that a sweep takes for left behind: a run
// makes its claim right after the folder, so these are from older versions
// or from a kill in between.
constexpr qint64 kUnclaimedAgeSecs = 10 * 60;

QByteArray lockPath(const QString& dir)
{
    return QFile::encodeName(QDir(dir).filePath(QLatin1String(kScratchLockName)));
}

int openLock(const QString& dir, bool create)
{
    return ::open(lockPath(dir).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600);
}

// Whether fd is still the file at the claim path (a sweep may have removed
// the folder between our open and our lock).
bool stillInPlace(int fd, const QString& dir)
{
    struct stat held = {}, there = {};
    return ::fstat(fd, &held) == 0 && ::lstat(lockPath(dir).constData(), &there) == 0 && held.st_dev == there.st_dev
           && held.st_ino == there.st_ino;
}

void removeTree(const QString& path)
{
    const QFileInfo fi(path);
    if (fi.isSymLink() || !fi.isDir())
        QFile::remove(path);
    else
        g_delDirCascade(path);
}

bool gone(const QString& path)
{
    const QFileInfo fi(path);
    return !fi.exists() && !fi.isSymLink();
}

struct ExitClaims
{
    std::mutex lock;
    std::vector<std::pair<std::unique_ptr<ScratchClaim>, bool>> claims; // claim, remove at exit
};

ExitClaims& exitClaims()
{
    static auto* claims = new ExitClaims; // never destroyed: used from atexit
    return *claims;
}

void releaseAtExit()
{
    g_releaseClaimsAtExit();
}
} // namespace

ScratchClaim::ScratchClaim(const QString& dir) : m_dir(QDir(dir).absolutePath())
{
    for (int attempt = 0; attempt < 5 && m_fd < 0; ++attempt) {
        if (!QDir().mkpath(m_dir))
            return;
        QFile::setPermissions(m_dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const int fd = openLock(m_dir, true);
        if (fd < 0)
            return;
        if (::flock(fd, LOCK_SH) == 0 && stillInPlace(fd, m_dir))
            m_fd = fd;
        else
            ::close(fd);
    }
}

ScratchClaim::~ScratchClaim()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

ScratchClaim::ScratchClaim(ScratchClaim&& other) noexcept : m_dir(std::move(other.m_dir)), m_fd(other.m_fd)
{
    other.m_fd = -1;
}

ScratchClaim& ScratchClaim::operator=(ScratchClaim&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_dir = std::move(other.m_dir);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

void ScratchClaim::removeUnlessShared()
{
    if (m_fd < 0)
        return;
    // Only when this process is the last one using it.
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0 && stillInPlace(m_fd, m_dir))
        removeTree(m_dir);
    ::close(m_fd);
    m_fd = -1;
}

void g_claimUntilExit(const QString& dir, bool removeAtExit)
{
    ExitClaims& all = exitClaims();
    std::lock_guard<std::mutex> guard(all.lock);
    const QString path = QDir(dir).absolutePath();
    for (auto& [claim, remove] : all.claims) {
        if (claim->dir() == path && claim->isValid()) {
            remove = remove || removeAtExit;
            return;
        }
    }
    static const bool registered = [] { return std::atexit(releaseAtExit) == 0; }();
    Q_UNUSED(registered);
    all.claims.emplace_back(std::make_unique<ScratchClaim>(path), removeAtExit);
}

void g_releaseClaimsAtExit()
{
    ExitClaims& all = exitClaims();
    std::lock_guard<std::mutex> guard(all.lock);
    for (auto& [claim, remove] : all.claims) {
        if (remove)
            claim->removeUnlessShared();
    }
    all.claims.clear();
}

bool g_removeIfUnclaimed(const QString& dir, qint64 unclaimedAgeSecs)
{
    const QFileInfo fi(dir);
    if (gone(dir))
        return true;
    if (fi.isSymLink() || !fi.isDir()) {
        // Nothing a run makes: a link or a file planted in the cache.
        QFile::remove(dir);
        return gone(dir);
    }
    const int fd = openLock(dir, false);
    if (fd < 0) {
        if (unclaimedAgeSecs >= 0
            && fi.lastModified().toUTC() <= QDateTime::currentDateTimeUtc().addSecs(-unclaimedAgeSecs))
            removeTree(dir);
        return gone(dir);
    }
    // Held exclusively while removing, so that no run claims it meanwhile.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        removeTree(dir);
    ::close(fd);
    return gone(dir);
}

void g_sweepLeftovers(const DataFolders& folders)
{
    const QDir cache = folders.cacheDir();
    const auto subfolders = [](const QDir& dir, const QStringList& patterns) {
        return dir.entryInfoList(patterns, QDir::Dirs | QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    };
    if (QFileInfo(cache.path()).isDir() && !QFileInfo(cache.path()).isSymLink()) {
        // Private copies of a source (decrypted ones among them).
        for (const QFileInfo& fi : subfolders(cache, {QStringLiteral("source-*")}))
            g_removeIfUnclaimed(fi.absoluteFilePath(), kUnclaimedAgeSecs);
        // Working copies of backup indexes (decrypted ones among them).
        const QDir index(cache.filePath(QStringLiteral("index")));
        for (const QFileInfo& fi : subfolders(index, {}))
            g_removeIfUnclaimed(fi.absoluteFilePath(), kUnclaimedAgeSecs);
        // Copies of encrypted backups' Viber files; those of plain backups
        // have no claim file and stay as a cache.
        const QDir itunes(cache.filePath(QStringLiteral("itunes")));
        for (const QFileInfo& fi : subfolders(itunes, {}))
            g_removeIfUnclaimed(fi.absoluteFilePath(), -1);
    }
    // Local databases whose deletion was cut short.
    const QDir localDbs(QFileInfo(cache.absolutePath()).absolutePath() + QStringLiteral("/local_databases"));
    if (QFileInfo(localDbs.path()).isDir()) {
        for (const QFileInfo& fi : subfolders(localDbs, {QLatin1String(kRemovedLocalDbPrefix) + u'*'}))
            removeTree(fi.absoluteFilePath());
    }
}
