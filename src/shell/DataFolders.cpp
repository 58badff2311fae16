#include "shell/DataFolders.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <mutex>

const char* const kProductId = "7A3F19C2D84E4B60A1F5C9E2B7D03186";
const char* const kMakerFolderName = "Tellurine";

QDir g_osAppDir()
{
#ifdef Q_OS_MACOS
    QDir dir(QDir::homePath() + QStringLiteral("/Library/Application Support"));
#else
    QDir dir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
#endif
    dir.mkpath(QStringLiteral("."));
    return dir;
}

QString g_defaultSaveDirPath()
{
    const QString path = g_osAppDir().filePath(QString::fromLatin1(kMakerFolderName));
    QDir().mkpath(path);
    return path;
}

QString g_dataSaveDirLink()
{
    const QString redirect =
        g_osAppDir().filePath(QStringLiteral("%1/%2.redirect").arg(kMakerFolderName, kProductId));
    QFile file(redirect);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return QString();
    // The file holds one path; a huge file is not a redirect.
    const QString path = QString::fromUtf8(file.read(64 * 1024)).trimmed();
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return QString();
    return path;
}

QDir g_dataSaveDir()
{
    static QString path;
    static std::once_flag once;
    std::call_once(once, [] {
        const QString env = qEnvironmentVariable("FERROWICK_DATA_DIR");
        if (!env.isEmpty()) {
            path = QDir(env).absolutePath();
            return;
        }
        QString base = g_dataSaveDirLink();
        if (base.isEmpty())
            base = g_defaultSaveDirPath();
        path = QDir(base).filePath(QString::fromLatin1(kProductId));
    });
    QDir().mkpath(path);
    return QDir(path);
}

QDir g_localDbDir()
{
    const QString path = g_dataSaveDir().filePath(QStringLiteral("local_databases"));
    QDir().mkpath(path);
    return QDir(path);
}
