#include "stores/SourceFileGuard.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <dirent.h>
#include <functional>
#include <optional>

namespace {
using Allowed = std::function<bool(const QString& canonical)>;

// What a folder's listing says of one path in it.
enum class Listed {
    Absent,    // no file and no link
    PlainFile, // a regular file, not a link: its folder's real path leads to it
    Ask        // a link, another kind of entry, or no listing: ask the file system
};

// The names in each folder the paths name, read once: most attachment files
// of a large store are absent, and asking the file system about every one
// of them cost a tenth of the whole load; for the files that are there,
// resolving each whole path again cost as much as copying them. Names are
// compared as the bytes the file system gets. A folder that cannot be listed
// for another reason than its absence has its paths asked about one by one.
class FolderListings
{
public:
    // canonical is set for a PlainFile.
    Listed lookUp(const QString& path, QString& canonical)
    {
#ifdef Q_OS_MACOS
        // Names there may match in another case; let the file system decide.
        Q_UNUSED(path);
        Q_UNUSED(canonical);
        return Listed::Ask;
#else
        const QByteArray bytes = QFile::encodeName(path);
        const qsizetype slash = bytes.lastIndexOf('/');
        const QByteArray name = bytes.mid(slash + 1);
        if (slash < 0 || name.isEmpty() || name == "." || name == "..")
            return Listed::Ask;
        Folder& f = folder(slash == 0 ? QByteArray("/") : bytes.left(slash));
        if (!f.names)
            return Listed::Ask;
        const auto it = f.names->constFind(name);
        if (it == f.names->cend())
            return Listed::Absent;
        if (*it != DT_REG || f.canonical.isEmpty())
            return Listed::Ask;
        canonical = f.canonical + u'/' + QFile::decodeName(name);
        return Listed::PlainFile;
#endif
    }

private:
    struct Folder
    {
        std::optional<QHash<QByteArray, unsigned char>> names; // name -> d_type
        QString canonical;
    };

    Folder& folder(const QByteArray& dir)
    {
        auto it = m_folders.find(dir);
        if (it == m_folders.end()) {
            Folder f;
            f.names = list(dir);
            if (f.names && !f.names->isEmpty())
                f.canonical = QFileInfo(QFile::decodeName(dir)).canonicalFilePath();
            it = m_folders.insert(dir, std::move(f));
        }
        return *it;
    }

    static std::optional<QHash<QByteArray, unsigned char>> list(const QByteArray& dir)
    {
        DIR* d = opendir(dir.constData());
        if (!d) {
            if (errno == ENOENT || errno == ENOTDIR)
                return QHash<QByteArray, unsigned char>(); // nothing can be below it
            return std::nullopt;
        }
        QHash<QByteArray, unsigned char> names;
        for (;;) {
            errno = 0; // readdir tells the end from an error only by errno
            const dirent* e = readdir(d);
            if (!e)
                break;
            names.insert(QByteArray(e->d_name), e->d_type);
        }
        const bool complete = errno == 0;
        closedir(d);
        if (!complete)
            return std::nullopt;
        return names;
    }

    QHash<QByteArray, Folder> m_folders;
};

bool isBelow(const QString& canonical, const QString& root)
{
    return !root.isEmpty() && canonical.startsWith(root) && canonical.size() > root.size() &&
           canonical.at(root.size()) == u'/';
}

void check(QString& path, const Allowed& allowed, const char* why, FolderListings& listings)
{
    if (path.isEmpty())
        return;
    QString canonical;
    switch (listings.lookUp(path, canonical)) {
    case Listed::Absent:
        return;
    case Listed::PlainFile:
        if (allowed(canonical))
            return;
        break;
    case Listed::Ask: {
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            return;
        canonical = info.canonicalFilePath();
        if (!canonical.isEmpty() && QFileInfo(canonical).isFile() && allowed(canonical))
            return;
        break;
    }
    }
    qWarning("Skipped %s: %s", qUtf8Printable(path), why);
    path.clear();
}

void checkAll(ViberData& data, const Allowed& allowed, const char* why)
{
    __ViberData* d = data.p();
    FolderListings listings;
    for (_ViberAtta* a : std::as_const(d->attas)) {
        check(a->filePath, allowed, why, listings);
        check(a->thumbPath, allowed, why, listings);
    }
    for (_ViberPerson* p : std::as_const(d->persons))
        check(p->picturePath, allowed, why, listings);
}
} // namespace

void g_dropFilesOutside(ViberData& data, const QStringList& roots)
{
    QStringList canonicalRoots;
    for (const QString& r : roots) {
        const QString c = QFileInfo(r).canonicalFilePath();
        if (!c.isEmpty())
            canonicalRoots << c;
    }
    checkAll(
        data,
        [&](const QString& canonical) {
            for (const QString& root : std::as_const(canonicalRoots)) {
                if (isBelow(canonical, root))
                    return true;
            }
            return false;
        },
        "it leads outside the source folder");
}

void g_dropDesktopFilesOutsideHome(ViberData& data)
{
    const QString home = QDir::home().canonicalPath();
    checkAll(
        data,
        [&](const QString& canonical) {
            if (!isBelow(canonical, home))
                return false;
            const QStringList parts = canonical.mid(home.size() + 1).split(u'/');
            for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
                // Viber Desktop keeps avatars and downloads in its own
                // hidden folder; every other hidden folder (.ssh, .gnupg,
                // .config) is private.
                if (parts.at(i).startsWith(u'.') && !(i == 0 && parts.at(i) == QLatin1String(".ViberPC")))
                    return false;
            }
            return !parts.constLast().startsWith(u'.');
        },
        "not a file of the user's own folders");
}
