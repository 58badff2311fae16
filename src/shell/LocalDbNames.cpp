#include "shell/LocalDbNames.h"

#include "shell/DataFolders.h"
#include "shell/UserTexts.h"

#include <QDir>
#include <QFileInfo>

const char* const kLocalDbStoreFile = "Documents/Contacts-tellurine.data";

LocalDbNameCheck g_checkLocalDbName(const QString& name)
{
    if (name.trimmed().isEmpty())
        return LOCALDB_NAME_EMPTY;
    for (QChar c : name) {
        if (QStringView(u"\\/:*?\"<>|\n\r\t").contains(c) || c.isNull())
            return LOCALDB_NAME_INVALID;
    }
    // "." and ".." name the data folder and its parent: deleting such a
    // "database" would remove far more than a database.
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return LOCALDB_NAME_INVALID;
    return LOCALDB_NAME_OK;
}

QString g_localDbNameCheckText(LocalDbNameCheck check)
{
    switch (check) {
    case LOCALDB_NAME_EMPTY:
        return ids("IDS_PLEASE_SELECT_DATABASE_OR_INPUT_NEW_NAME");
    case LOCALDB_NAME_INVALID:
        return ids("IDS_INVALID_LOCALDB_NAME");
    default:
        return QString();
    }
}

QStringList g_localDbNames(const DataFolders& folders)
{
    const QDir base = folders.localDbDir();
    QStringList names;
    for (const QString& n : base.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (QFileInfo(base.filePath(n + QLatin1Char('/') + QLatin1String(kLocalDbStoreFile))).isFile())
            names << n;
    }
    return names;
}

namespace {
QStringList caseMatches(const QStringList& existing, const QString& name)
{
    QStringList matches;
    for (const QString& n : existing) {
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            matches << n;
    }
    return matches;
}
} // namespace

QStringList g_localDbCaseAmbiguity(const DataFolders& folders, const QString& name)
{
    return g_localDbCaseAmbiguity(g_localDbNames(folders), name);
}

QStringList g_localDbCaseAmbiguity(const QStringList& existing, const QString& name)
{
    if (existing.contains(name))
        return {};
    const QStringList matches = caseMatches(existing, name);
    return matches.size() > 1 ? matches : QStringList();
}

QString g_localDbFolder(const DataFolders& folders, const QString& name)
{
    if (g_checkLocalDbName(name) != LOCALDB_NAME_OK)
        return QString();
    const QDir base = folders.localDbDir();
    QString folderName = name;
    const QStringList existing = g_localDbNames(folders);
    if (!existing.contains(name)) {
        const QStringList matches = caseMatches(existing, name);
        // Picking one of several would delete or change a database the user
        // did not name.
        if (matches.size() > 1)
            return QString();
        if (matches.size() == 1)
            folderName = matches.first();
    }
    const QString path = QDir::cleanPath(base.absoluteFilePath(folderName));
    if (QFileInfo(path).absolutePath() != QDir::cleanPath(base.absolutePath()))
        return QString();
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink()) {
        const QString canonical = info.canonicalFilePath();
        if (canonical.isEmpty() || QFileInfo(canonical).absolutePath() != base.canonicalPath())
            return QString();
    }
    return path;
}
