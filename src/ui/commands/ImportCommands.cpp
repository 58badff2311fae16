#include "ui/commands/ImportCommands.h"

#include "itunes/BackupManifest.h"
#include "jobs/IOSLoadViberFromiTunesThread.h"
#include "shell/DataFolders.h"
#include "shell/Failure.h"
#include "shell/FileRoutines.h"
#include "shell/UserTexts.h"
#include "stores/IOSViberDb.h"
#include "stores/PCViberDb.h"
#include "ui/FileDialogs.h"
#include "ui/ProgressForm.h"
#include "ui/Tips.h"
#include "ui/dialogs/DataSourceSelForm.h"
#include "ui/dialogs/LoadItunesBackupDlg.h"
#include "ui/dialogs/PasscodeDlg.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <exception>

namespace UiCommands {

namespace {
// Copies the store with its journal files into dir and returns the copy: the
// reader opens its file for writing and may clean rows up.
QString privateCopyThrow(const QString& file, const QTemporaryDir& dir)
{
    if (!dir.isValid())
        g_raise(ids("IDS_CANNOT_MAKE_TEMP_FOLDER_%1").arg(dir.errorString()));
    const QString target = dir.filePath(QFileInfo(file).fileName());
    g_copySqliteFilesThrow(file, target);
    return target;
}

ViberData loadDesktopAccountThrow(const QString& dbFile)
{
    QTemporaryDir copyDir;
    return PCViberDb(privateCopyThrow(dbFile, copyDir)).loadDataThrow();
}

// The store the job copied out of the backup, read like a container.
ViberData loadCopiedStoreThrow(const ViberContainers& found)
{
    if (!found.found())
        g_raise(ids("IDS_NOT_CONTAIN_VIBER_DATA_IN_ITUNES_BACKUP"));
    IOSViberDb db(found.appRoot, found.storeFile, false);
    if (found.isGroup()) {
        db.setSettingsFile(found.settingsFile());
        db.setIconsDir(found.iconsDir());
    }
    return db.loadDataThrow();
}
} // namespace

QDir viberPCDir()
{
#ifdef Q_OS_MACOS
    return QDir(g_osAppDir().filePath(QStringLiteral("ViberPC")));
#else
    return QDir(QDir::home().filePath(QStringLiteral(".ViberPC")));
#endif
}

QStringList viberPCAccounts(const QDir& dir)
{
    QStringList accounts;
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QFileInfo db(dir.filePath(name + QStringLiteral("/viber.db")));
        if (db.isFile() && db.size() > 0)
            accounts << name;
    }
    return accounts;
}

static QString chooseDesktopStore(QWidget* parent, const QDir& lookedIn)
{
    // Viber Desktop may live elsewhere (another user's folder, a copy from
    // another computer): say where we looked and let the user point to it.
    if (!Tips::question(ids("IDS_NO_PC_VIBER_ACCOUNT_IN_%1_CHOOSE")
                            .arg(QDir::toNativeSeparators(lookedIn.absolutePath()).toHtmlEscaped())))
        return QString();
    return g_getOpenFileName(parent, ids("IDS_CHOOSE_PC_VIBER_DB"), QDir::homePath(),
                             ids("IDS_FILTER_PC_VIBER_DB"));
}

LocalDbChange importViberFromPC(QWidget* parent, const DataFolders& folders, const QString& dbName)
{
    const QDir dir = viberPCDir();
    const QStringList accounts = viberPCAccounts(dir);
    QString storeFile, account;
    if (accounts.isEmpty()) {
        storeFile = chooseDesktopStore(parent, dir);
        if (storeFile.isEmpty())
            return {};
        // An account's folder is named after its number, as under ~/.ViberPC.
        account = QFileInfo(storeFile).absoluteDir().dirName();
    } else {
        QList<DataSourceSelForm::Entry> entries;
        for (const QString& a : accounts)
            entries.append({a, QString()});
        DataSourceSelForm form(parent);
        const int chosen = form.execSel(ids("IDS_SEL_ONE_PC_VIBER_ACCOUNT"), entries);
        if (chosen < 0)
            return {};
        account = accounts.at(chosen);
        storeFile = dir.filePath(account + QStringLiteral("/viber.db"));
    }

    ViberData data;
    try {
        if (!QFileInfo(storeFile).isFile())
            g_raise(ids("IDS_NOT_A_PC_VIBER_DB_%1").arg(QDir::toNativeSeparators(storeFile).toHtmlEscaped()));
        data = loadDesktopAccountThrow(storeFile);
    } catch (const std::exception& e) {
        Tips::error(QString::fromUtf8(e.what()));
        return {};
    }
    const QString name = dbName.isEmpty() ? QStringLiteral("ViberPC-") + account : dbName;
    return backupMessages(parent, folders, name, data.messages());
}

LocalDbChange importViberFromiTunes(QWidget* parent, const DataFolders& folders, const QString& dbName)
{
    LoadItunesBackupDlg chooser(folders, parent);
    const QSharedPointer<BackupManifest> backup = chooser.execChoose();
    if (!backup)
        return {};
    if (backup->info().isEncrypted && !backup->isUnlocked()) {
        PasscodeDlg passcode(backup.data(), parent);
        if (!passcode.execUnlock())
            return {};
    }

    ViberData data;
    try {
        backup->parseInfo();
        ProgressForm form(QString(), parent);
        IOSLoadViberFromiTunesThread job(backup.data(), form, folders);
        const int result = g_execJob(job, form);
        if (result != 1 || form.closed())
            return {};
        if (!job.hasData()) {
            Tips::error(ids("IDS_NOT_CONTAIN_VIBER_DATA_IN_ITUNES_BACKUP"));
            return {};
        }
        data = loadCopiedStoreThrow(job.containers());
    } catch (const std::exception& e) {
        Tips::error(QString::fromUtf8(e.what()));
        return {};
    }
    const QString name = dbName.isEmpty() ? backup->info().deviceName + QStringLiteral("_Backup") : dbName;
    return backupMessages(parent, folders, name, data.messages());
}

} // namespace UiCommands
