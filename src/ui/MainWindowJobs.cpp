#include "ui/MainWindow.h"

#include "export/ExportMessagesThread.h"
#include "export/ExportPaths.h"
#include "export/ExportViberCallsThread.h"
#include "export/ExtractMediaFilesThread.h"
#include "itunes/BackupManifest.h"
#include "jobs/BackupViberMsgThread.h"
#include "jobs/DeleteViberMsgThread.h"
#include "jobs/IOSLoadViberFromiTunesThread.h"
#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "shell/Failure.h"
#include "stores/IOSViberDb.h"
#include "stores/PCViberDb.h"
#include "ui/FileDialogs.h"
#include "ui/ItemModelMain.h"
#include "ui/MyTreeView.h"
#include "ui/ProgressForm.h"
#include "ui/Tips.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

// The command functions. Each takes the messages its entry chose, asks for
// what it needs (a path, a confirmation) and runs its job under the progress
// dialog. Commands whose own windows are still to come say so.

namespace {
// Commands started on an empty choice (no rows selected, an empty source)
// say why nothing happens.
bool haveMessages(const ViberMsgList& msgs)
{
    if (msgs.isEmpty())
        Tips::info(ids("IDS_NO_MESSAGES_CHOSEN"));
    return !msgs.isEmpty();
}
} // namespace

void MainWindow::exportMessages(const ViberMsgList& msgs)
{
    if (!haveMessages(msgs))
        return;
    static const QStringList filters = {QStringLiteral("Text (*.txt)"), QStringLiteral("Document (*.doc)"),
                                        QStringLiteral("CSV (*.csv)"),  QStringLiteral("PDF (*.pdf)"),
                                        QStringLiteral("HTML (*.html)"), QStringLiteral("JSON (*.json)")};
    static const QStringList suffixes = {QStringLiteral("txt"), QStringLiteral("doc"),  QStringLiteral("csv"),
                                         QStringLiteral("pdf"), QStringLiteral("html"), QStringLiteral("json")};
    QString selectedFilter = filters.first();
    const QString proposed = QDir::home().filePath(g_timestampedName(QStringLiteral("chats")));
    const QString path = g_getSaveFileName(this, ids("IDS_SEL_EXPORT_MESSAGES_PATH"), proposed,
                                           filters.join(QStringLiteral(";;")), &selectedFilter);
    if (path.isEmpty())
        return;
    int filter = int(suffixes.indexOf(QFileInfo(path).suffix().toLower()));
    if (filter < 0)
        filter = qMax(0, int(filters.indexOf(selectedFilter)));
    const ExportTarget target = g_exportTarget(path, ExportFilter(filter));
    ProgressForm form(QString(), this);
    ExportMessagesThread job(msgs, target.path, ExportMessagesThread::FormatType(target.formatType), form);
    g_execJob(job, form);
}

void MainWindow::exportCalls(const ViberMsgList& msgs)
{
    const QList<_ViberCall*> calls = ExportViberCallsThread::callsOf(msgs);
    if (calls.isEmpty()) {
        Tips::info(ids("IDS_NO_CALLS_CHOSEN"));
        return;
    }
    const QString proposed = QDir::home().filePath(g_timestampedName(QStringLiteral("calls")) + QStringLiteral(".txt"));
    const QString path =
        g_getSaveFileName(this, ids("IDS_SEL_EXPORT_CALLS_PATH"), proposed, QStringLiteral("Text (*.txt)"));
    if (path.isEmpty())
        return;
    ProgressForm form(QString(), this);
    ExportViberCallsThread job(calls, QFileInfo(path).absoluteFilePath(), form);
    g_execJob(job, form);
}

void MainWindow::extractMediaFiles(const ViberMsgList& msgs)
{
    if (!haveMessages(msgs))
        return;
    const QString folder =
        g_getExistingDirectory(this, ids("IDS_TITLE_SEL_OUTPUT_FOLDER_EXTRACT_MEDIA_FILES"), QDir::homePath());
    if (folder.isEmpty())
        return;
    // A folder of its own inside the chosen one: nothing of the user's is
    // mixed with (or overwritten by) the copies.
    const QDir target(QDir(folder).absoluteFilePath(g_timestampedName(QStringLiteral("attachments"))));
    ProgressForm form(QString(), this);
    ExtractMediaFilesThread job(msgs, target, form);
    g_execJob(job, form);
}

void MainWindow::printMessages(const ViberMsgList& msgs)
{
    if (haveMessages(msgs))
        notAvailableYet(ids("IDS_MI_PRINT_TOOLBAR"));
}

void MainWindow::restoreMessages2IOS(const ViberMsgList& msgs)
{
    if (haveMessages(msgs))
        notAvailableYet(QStringLiteral("Transferring messages to an iPhone"));
}

void MainWindow::export2ITunesBK(const ViberMsgList& msgs)
{
    if (haveMessages(msgs))
        notAvailableYet(QStringLiteral("Writing messages into an iTunes Backup"));
}

namespace {
// The Viber Desktop stores of this user, one per account folder.
QStringList desktopStores()
{
#ifdef Q_OS_MACOS
    const QDir root(QDir::home().filePath(QStringLiteral("Library/Application Support/ViberPC")));
#else
    const QDir root(QDir::home().filePath(QStringLiteral(".ViberPC")));
#endif
    QStringList stores;
    for (const QString& account : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString file = root.absoluteFilePath(account + QStringLiteral("/viber.db"));
        if (QFileInfo(file).isFile())
            stores << file;
    }
    return stores;
}

// Reads a Desktop store from a private copy (with its journal files): the
// user's own store is never opened for writing.
ViberData loadDesktopCopyThrow(const QString& store)
{
    const QDir cache(g_dataSaveDir().filePath(QStringLiteral("cache")));
    cache.mkpath(QStringLiteral("."));
    QTemporaryDir copy(cache.filePath(QStringLiteral("desktop-XXXXXX")));
    if (!copy.isValid())
        g_raise(QStringLiteral("Cannot make a folder in %1.").arg(QDir::toNativeSeparators(cache.absolutePath())));
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFileInfo::exists(store + suffix) && !QFile::copy(store + suffix, copy.filePath(QStringLiteral("viber.db") + suffix)))
            g_raise(QStringLiteral("Cannot copy %1.").arg(QDir::toNativeSeparators(store + suffix)));
    }
    return PCViberDb(copy.filePath(QStringLiteral("viber.db"))).loadDataThrow();
}
} // namespace

void MainWindow::importViberFromPC(const QString& dbName)
{
    const QStringList stores = desktopStores();
    if (stores.isEmpty()) {
        Tips::warning(ids("IDS_THERE_IS_NO_PC_VIBER_ACCOUNT"));
        return;
    }
    // With several accounts the user points at one; the account list with
    // names comes with its own window.
    QString store = stores.first();
    if (stores.size() > 1) {
        store = g_getOpenFileName(this, ids("IDS_SEL_ONE_PC_VIBER_ACCOUNT"), QFileInfo(store).absolutePath() +
                                  QStringLiteral("/.."), QStringLiteral("Viber Desktop (viber.db)"));
        if (store.isEmpty())
            return;
    }
    ViberData data;
    try {
        data = loadDesktopCopyThrow(store);
    } catch (const std::exception& e) {
        Tips::error(QString::fromUtf8(e.what()));
        return;
    }
    const QString account = QFileInfo(store).absoluteDir().dirName();
    backupMessages(dbName.isEmpty() ? account + QStringLiteral("_Backup") : dbName, data.messages());
}

void MainWindow::backupMessages(const ViberMsgList& msgs)
{
    const _AbsDBItemNode* source = currentSource();
    if (source)
        backupMessages(source->name + QStringLiteral("_Backup"), msgs);
}

void MainWindow::backupMessages(const QString& dbName, const ViberMsgList& msgs)
{
    if (!haveMessages(msgs))
        return;
    // The name comes from a device or a backup: it must stay a plain folder
    // name inside the database folder.
    const QString folder = g_localDbFolder(dbName);
    if (folder.isEmpty()) {
        Tips::warning(g_localDbNameCheckText(LOCALDB_NAME_INVALID));
        return;
    }
    {
        ProgressForm form(QString(), this);
        BackupViberMsgThread job(msgs, QDir(folder), form);
        if (g_execJob(job, form) != 1)
            return;
    }
    // The database is read again on its next selection; a new one is listed.
    const QString name = QFileInfo(folder).fileName();
    if (_LocalDbItemNode* db = findLocalDb(name)) {
        if (currentSource() == db) {
            treeViewDS->setCurrentIndex(QModelIndex());
            resetMessagesShow();
        }
        itemModelMain->clearChilds(db);
        db->data = ViberData();
    } else {
        itemModelMain->addLocalDb(name);
        treeViewDS->expand(itemModelMain->indexOfItemNode(itemModelMain->rootLocalDb()));
    }
}

void MainWindow::importViberFromiTunes(const QString& dbName)
{
    const QString folder = g_getExistingDirectory(this, ids("IDS_SELECT_AN_ITUNES_BACKUP_TO_LOAD"),
                                                  g_osAppDir().filePath(QStringLiteral("MobileSync/Backup")));
    if (folder.isEmpty())
        return;
    BackupManifest manifest(QFileInfo(folder).absoluteFilePath());
    ViberData data;
    try {
        manifest.readManifestInfo();
        if (manifest.info().isEncrypted) {
            notAvailableYet(QStringLiteral("Loading an encrypted iTunes Backup"));
            return;
        }
        manifest.parseInfo();
        ProgressForm form(ids("IDS_LOADING_ITUNES_BACKUP"), this);
        IOSLoadViberFromiTunesThread job(&manifest, form);
        if (g_execJob(job, form) != 1)
            return;
        if (!job.hasData()) {
            Tips::warning(ids("IDS_NOT_CONTAIN_VIBER_DATA_IN_ITUNES_BACKUP"));
            return;
        }
        const ViberContainers found = job.containers();
        IOSViberDb db(found.appRoot, found.storeFile, false);
        if (found.isGroup()) {
            if (QFileInfo(found.settingsFile()).isFile())
                db.setSettingsFile(found.settingsFile());
            db.setIconsDir(found.iconsDir());
        }
        data = db.loadDataThrow();
    } catch (const std::exception& e) {
        Tips::error(QString::fromUtf8(e.what()));
        return;
    }
    QString name = dbName;
    if (name.isEmpty()) {
        const QString device = manifest.info().deviceName.trimmed();
        name = (device.isEmpty() ? QStringLiteral("iTunes") : device) + QStringLiteral("_Backup");
    }
    backupMessages(name, data.messages());
}

bool MainWindow::deleteFromLocalDb(_LocalDbItemNode* db, const ViberMsgList& msgs, qint64 reselectChat)
{
    {
        IOSViberDb store(QDir(g_localDbDir().absoluteFilePath(db->name)), QString::fromLatin1(kLocalDbStoreFile),
                         false);
        ProgressForm form(QString(), this);
        DeleteViberMsgThread job(store, msgs, form);
        if (g_execJob(job, form) != 1)
            return false;
    }
    // The chat nodes and the list point into the old data set: both go
    // before it is replaced.
    treeViewDS->setCurrentIndex(QModelIndex());
    resetMessagesShow();
    if (!reloadLocalDb(db))
        return false;
    const _ItemNode* target = db;
    for (const _ItemNode* child : db->children) {
        const _ViberChat* chat = static_cast<const _ChatSessionItemNode*>(child)->chat;
        if (reselectChat > 0 && chat && chat->id == reselectChat)
            target = child;
    }
    treeViewDS->expand(itemModelMain->indexOfItemNode(db));
    treeViewDS->setCurrentIndex(itemModelMain->indexOfItemNode(target));
    return true;
}

void MainWindow::miDeleteAll()
{
    const _ItemNode* node = currentNode();
    if (!node || node->type != ITEMNODE_LOCAL_DB)
        return;
    if (!Tips::question(ids("IDS_CONFIRM_DEL_THIS_LOCALDB")))
        return;
    const QString folder = g_localDbDir().absoluteFilePath(node->name);
    g_delDirCascade(folder);
    treeViewDS->setCurrentIndex(QModelIndex());
    resetMessagesShow();
    sortedCache = {};
    if (QFileInfo::exists(folder)) {
        // Something inside could not be removed: the database stays listed
        // and may be read again.
        Tips::error(QStringLiteral("Could not delete %1 completely.").arg(QDir::toNativeSeparators(folder)));
        auto* db = static_cast<_LocalDbItemNode*>(const_cast<_ItemNode*>(node));
        itemModelMain->clearChilds(db);
        db->data = ViberData();
        return;
    }
    itemModelMain->removeNode(node);
    updateMenuActionState();
    Tips::info(ids("IDS_DEL_LOCALDB_SUC"));
}
