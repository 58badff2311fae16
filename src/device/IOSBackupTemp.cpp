#include "device/IOSBackupTemp.h"

#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"

#include <QFile>

namespace {
QString tempName()
{
    return QStringLiteral("__%1_iosbk_temp").arg(QString::fromLatin1(kMakerFolderName).toLower());
}
} // namespace

QDir iosbackup_temp_dir()
{
    return QDir(QDir::home().filePath(QStringLiteral("Documents/") + tempName()));
}

void iosbackup_clear_temp(const DataFolders& folders)
{
    g_delDirCascade(iosbackup_temp_dir().absolutePath());
    QFile::remove(folders.root().filePath(tempName() + QStringLiteral(".path")));
}
