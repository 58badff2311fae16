#include "shell/DataFolders.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

const char* const kProductId = "7A3F19C2D84E4B60A1F5C9E2B7D03186";
const char* const kMakerFolderName = "Tellurine";

namespace {
// Resolving the data folder only reads: a run that names its own folder
// leaves no trace in the default one.
QDir osAppDirUncreated()
{
#ifdef Q_OS_MACOS
    return QDir(QDir::homePath() + QStringLiteral("/Library/Application Support"));
#else
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
#endif
}

QString defaultSavePathUncreated()
{
    return osAppDirUncreated().filePath(QString::fromLatin1(kMakerFolderName));
}
} // namespace

QDir g_osAppDir()
{
    QDir dir = osAppDirUncreated();
    dir.mkpath(QStringLiteral("."));
    return dir;
}

QString g_defaultSaveDirPath()
{
    const QString path = defaultSavePathUncreated();
    QDir().mkpath(path);
    return path;
}

QString g_dataSaveDirLink()
{
    const QString redirect =
        osAppDirUncreated().filePath(QStringLiteral("%1/%2.redirect").arg(kMakerFolderName, kProductId));
    QFile file(redirect);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return QString();
    // The file holds one path; a huge file is not a redirect.
    const QString path = QString::fromUtf8(file.read(64 * 1024)).trimmed();
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return QString();
    return path;
}

DataFolders::DataFolders(const QString& root) : m_root(QDir::cleanPath(QDir(root).absolutePath())) {}

QDir DataFolders::root() const
{
    QDir().mkpath(m_root);
    return QDir(m_root);
}

QDir DataFolders::sub(const char* name) const
{
    return QDir(QDir(m_root).filePath(QString::fromLatin1(name)));
}

QDir DataFolders::localDbDir() const
{
    const QDir dir = sub("local_databases");
    QDir().mkpath(dir.path());
    return dir;
}

QDir DataFolders::cacheDir() const
{
    return sub("cache");
}

QDir DataFolders::deviceCacheDir() const
{
    return sub("ios_cache");
}

QDir DataFolders::storedDevicesDir() const
{
    return sub("virtual_ios");
}

QDir DataFolders::logDir() const
{
    return sub("qlogs");
}

DataFolders g_resolveDataFolders()
{
    const QString env = qEnvironmentVariable("FERROWICK_DATA_DIR");
    if (!env.isEmpty())
        return DataFolders(env);
    QString base = g_dataSaveDirLink();
    if (base.isEmpty())
        base = defaultSavePathUncreated();
    return DataFolders(QDir(base).filePath(QString::fromLatin1(kProductId)));
}
