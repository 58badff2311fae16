#include "shell/RuntimeFolders.h"

#include "BuildSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
// A file every complete folder of the kind holds.
QString marker(RuntimeFolder kind)
{
    switch (kind) {
    case RuntimeFolder::Artwork:
        return QStringLiteral("vbbb/style.css");
    case RuntimeFolder::Plugins:
        break;
    }
    return QStringLiteral("libferrowick-imobiledevice.so");
}

// The installed folder of kind, relative to the installed executables.
QString installedRelative(RuntimeFolder kind)
{
    switch (kind) {
    case RuntimeFolder::Artwork:
        return QStringLiteral(FERROWICK_BIN_TO_DATA);
    case RuntimeFolder::Plugins:
        break;
    }
    return QStringLiteral(FERROWICK_BIN_TO_PLUGINS);
}
} // namespace

QStringList g_runtimeFolderCandidates(RuntimeFolder kind, const QString& exeDir)
{
    const QDir exe(exeDir.isEmpty() ? QCoreApplication::applicationDirPath() : exeDir);
    return {QDir::cleanPath(exe.absolutePath()), QDir::cleanPath(exe.absoluteFilePath(installedRelative(kind)))};
}

QString g_runtimeFolder(RuntimeFolder kind, const QString& exeDir)
{
    if (kind == RuntimeFolder::Artwork) {
        const QString env = qEnvironmentVariable("FERROWICK_BUBBLE_DIR");
        if (!env.isEmpty())
            return QDir(env).absolutePath();
    }
    const QStringList candidates = g_runtimeFolderCandidates(kind, exeDir);
    for (const QString& dir : candidates) {
        if (QFileInfo::exists(dir + u'/' + marker(kind)))
            return dir;
    }
    return candidates.constFirst();
}
