#include "stores/ViberContainers.h"

#include "stores/CurrentStoreLayout.h"

#include <QFileInfo>

namespace {
QString L(const char* s)
{
    return QString::fromLatin1(s);
}

bool isFile(const QDir& dir, const QString& rel)
{
    return QFileInfo(dir.absoluteFilePath(rel)).isFile();
}

ViberContainers group(const QDir& groupDir, const QString& appDir, const QString& besideApp)
{
    ViberContainers c;
    c.storeFile = groupDir.absoluteFilePath(L(CurrentStore::kStoreFile));
    c.groupRoot = groupDir.absolutePath();
    if (!appDir.isEmpty()) {
        c.appRoot = QDir(appDir);
    } else if (!besideApp.isEmpty() && QFileInfo(besideApp).isDir()) {
        c.appRoot = QDir(besideApp);
    } else {
        // Nothing to look in: the attachment paths point into the group
        // container, where no attachment files are, and stay missing.
        c.appRoot = groupDir;
        c.hasAppRoot = false;
    }
    return c;
}
} // namespace

QString ViberContainers::settingsFile() const
{
    return isGroup() ? QDir(groupRoot).absoluteFilePath(L(CurrentStore::kSettingsFile)) : QString();
}

QString ViberContainers::iconsDir() const
{
    return isGroup() ? QDir(groupRoot).absoluteFilePath(L(CurrentStore::kIconsFolder)) : QString();
}

ViberContainers g_findViberContainers(const QString& dirPath, const QString& appDir)
{
    const QDir dir(QFileInfo(dirPath).absoluteFilePath());
    if (isFile(dir, L(CurrentStore::kStoreFile))) {
        // A group container unpacked from a backup has its app container beside it.
        const QString beside = dir.dirName() == L(CurrentStore::kUnpackedGroupFolder)
                                   ? QFileInfo(dir.absolutePath() + QStringLiteral("/../")
                                               + L(CurrentStore::kUnpackedAppFolder))
                                         .absoluteFilePath()
                                   : QString();
        return group(dir, appDir, beside);
    }
    const QDir unpackedGroup(dir.absoluteFilePath(L(CurrentStore::kUnpackedGroupFolder)));
    if (isFile(unpackedGroup, L(CurrentStore::kStoreFile)))
        return group(unpackedGroup, appDir, dir.absoluteFilePath(L(CurrentStore::kUnpackedAppFolder)));
    const QString oldStore = QStringLiteral("Documents/Contacts.data");
    for (const QDir& app : {dir, QDir(dir.absoluteFilePath(L(CurrentStore::kUnpackedAppFolder)))}) {
        if (isFile(app, oldStore)) {
            ViberContainers c;
            c.storeFile = app.absoluteFilePath(oldStore);
            c.appRoot = app;
            return c;
        }
    }
    return ViberContainers();
}
