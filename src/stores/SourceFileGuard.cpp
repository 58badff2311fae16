#include "stores/SourceFileGuard.h"

#include <QDir>
#include <QFileInfo>

#include <functional>

namespace {
using Allowed = std::function<bool(const QString& canonical)>;

bool isBelow(const QString& canonical, const QString& root)
{
    return !root.isEmpty() && canonical.startsWith(root) && canonical.size() > root.size() &&
           canonical.at(root.size()) == u'/';
}

void check(QString& path, const Allowed& allowed, const char* why)
{
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return;
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty() && QFileInfo(canonical).isFile() && allowed(canonical))
        return;
    qWarning("Skipped %s: %s", qUtf8Printable(path), why);
    path.clear();
}

void checkAll(ViberData& data, const Allowed& allowed, const char* why)
{
    __ViberData* d = data.p();
    for (_ViberAtta* a : std::as_const(d->attas)) {
        check(a->filePath, allowed, why);
        check(a->thumbPath, allowed, why);
    }
    for (_ViberPerson* p : std::as_const(d->persons))
        check(p->picturePath, allowed, why);
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
