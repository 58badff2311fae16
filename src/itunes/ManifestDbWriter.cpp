#include "itunes/ManifestDbWriter.h"
#include "shell/Failure.h"

#include "itunes/AesCrypto.h"
#include "itunes/BackupManifest.h"
#include "itunes/MBDBParser.h"
#include "itunes/MBFileArchive.h"
#include "itunes/ManifestDb.h"
#include "sqlite/Sqlite3DB.h"
#include "shell/FileRoutines.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <filesystem>
#include <stdexcept>

namespace {
constexpr int kOpenReadWrite = 2;
constexpr int kFlagFile = 1;
constexpr int kFlagFolder = 2;
// What iOS gives files an app writes without asking for more protection.
constexpr int kNewFileClass = 4;
constexpr quint16 kFileMode = 0x81A4;
constexpr quint16 kFolderMode = 0x41C0;
constexpr quint32 kMobileUser = 501;
const QString kStagedSuffix = QStringLiteral(".ferrowick-new");

quint32 unixTime(const QDateTime& t)
{
    return t.isValid() ? quint32(qBound<qint64>(0, t.toSecsSinceEpoch(), 0xFFFFFFFF)) : 0;
}

// Copies src into dest written beside itself and renamed once complete; a
// failure names the file and says what the system said.
void copyWholeThrow(const QString& src, const QString& dest)
{
    const QString beside = dest + QStringLiteral(".ferrowick-copy");
    QFile::remove(beside);
    QString error;
    if (g_copyFile(src, beside, error) != CopyFailure::None)
        g_raise(error);
    std::error_code ec;
    std::filesystem::rename(beside.toStdString(), dest.toStdString(), ec);
    if (ec) {
        QFile::remove(beside);
        g_raise(QStringLiteral("Cannot move %1 into place: %2").arg(dest, QString::fromStdString(ec.message())));
    }
}

QByteArray randomKey()
{
    QByteArray key(32, Qt::Uninitialized);
    QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(key.data()),
                                         reinterpret_cast<quint32*>(key.data() + key.size()));
    return key;
}

quint64 maxInode(const BackupManifest::_FileNode& node)
{
    quint64 best = (quint64(node.item.inodeHigh) << 32) | node.item.inodeLow;
    for (const auto& child : node.children)
        best = std::max(best, maxInode(*child));
    return best;
}
} // namespace

ManifestDbWriter::ManifestDbWriter(BackupManifest& backup) : m_backup(backup)
{
    if (backup.generation() != BackupGeneration::ManifestDb)
        g_raise(QStringLiteral("%1 has no Manifest.db.").arg(backup.root().absolutePath()));
    const bool encrypted = backup.info().isEncrypted;
    if (encrypted && !backup.isUnlocked())
        g_raise(QStringLiteral("The backup %1 is encrypted and has not been unlocked.").arg(backup.root().absolutePath()));
    m_work = backup.privateIndexDirThrow();
    // Claimed while the writer lives (the copy of an encrypted index is
    // decrypted): a kill leaves it to the next start's sweep.
    m_claim = ScratchClaim(m_work.absolutePath());
    m_index = m_work.filePath(QStringLiteral("Manifest.db.work"));
    g_removeSqliteFiles(m_index);
    const QString source = backup.root().absoluteFilePath(QStringLiteral("Manifest.db"));
    if (encrypted && !backup.info().manifestKey.isEmpty()) {
        g_decryptManifestDbThrow(source, m_index, backup.indexKey());
    } else {
        QString error;
        if (g_copyFile(source, m_index, error) != CopyFailure::None)
            g_raise(QStringLiteral("Cannot copy %1 into %2: %3").arg(source, m_work.absolutePath(), error));
        QFile::setPermissions(m_index, QFile::ReadOwner | QFile::WriteOwner);
    }
    backup.parseInfo();
    m_inode = maxInode(backup.rootNode());
    m_db = std::make_unique<Sqlite3DB>();
    m_db->openThrow(m_index, kOpenReadWrite);
    if (!m_db->beginTran())
        g_raise(QStringLiteral("Cannot start writing the index copy."));
}

ManifestDbWriter::~ManifestDbWriter()
{
    if (m_db)
        m_db->close();
    for (const Staged& s : std::as_const(m_staged))
        QFile::remove(s.staged);
    g_removeSqliteFiles(m_index);
    m_claim.removeUnlessShared();
}

quint64 ManifestDbWriter::nextInode()
{
    return ++m_inode;
}

void ManifestDbWriter::addFolderRowsThrow(const QString& domain, const QString& path, quint32 mtime)
{
    for (const QString& folderPath : MBDBParser::parentFolders(path)) {
        const QString id = MBDBParser::getFileHashName(domain, folderPath);
        Sqlite3Cursor c = m_db->queryThrow(Sqlite3Sql("SELECT 1 FROM Files WHERE fileID = ?").addTextParam(id));
        if (c.moveNext())
            break;
        _MBDBItem folder;
        folder.domain.setVal(domain.toUtf8());
        if (!folderPath.isEmpty())
            folder.path.setVal(folderPath.toUtf8());
        folder.mode = kFolderMode;
        const quint64 inode = nextInode();
        folder.inodeHigh = quint32(inode >> 32);
        folder.inodeLow = quint32(inode);
        folder.userId = folder.groupId = kMobileUser;
        folder.lastModified = folder.lastAccessed = folder.created = mtime;
        folder.protectionClass = kNewFileClass;
        m_db->executeThrow(Sqlite3Sql("INSERT INTO Files (fileID, domain, relativePath, flags, file) VALUES (?, ?, ?, ?, ?)")
                               .addTextParam(id)
                               .addTextParam(domain)
                               .addTextParam(folderPath)
                               .addIntParam(kFlagFolder)
                               .addBlobParam(g_writeMBFileArchive(folder)));
    }
}

bool ManifestDbWriter::addFileThrow(const QString& domain, const QString& path, const QString& localFile,
                                    bool overwrite)
{
    if (m_committed)
        g_raise(QStringLiteral("The backup index has already been written."));
    const QFileInfo local(localFile);
    if (path.isEmpty() || path.startsWith(u'/') || !local.isFile())
        g_raise(QStringLiteral("Cannot write %1 into the backup as %2.").arg(localFile, path));
    const QString id = MBDBParser::getFileHashName(domain, path);

    _MBDBItem item;
    bool existing = false;
    {
        Sqlite3Cursor c = m_db->queryThrow(Sqlite3Sql("SELECT file FROM Files WHERE fileID = ?").addTextParam(id));
        if (c.moveNext()) {
            if (!overwrite)
                return false;
            existing = true;
            // Keep what the phone gave the file (owner, inode, class); a
            // damaged record is written anew.
            if (!c.isNull(0)) {
                try {
                    g_readMBFileArchive(c.getBlob(0), item);
                } catch (const std::runtime_error&) { // a damaged record, not a lack of memory
                    item = _MBDBItem();
                    existing = false;
                }
            }
        }
    }
    if (!existing) {
        item.mode = kFileMode;
        const quint64 inode = nextInode();
        item.inodeHigh = quint32(inode >> 32);
        item.inodeLow = quint32(inode);
        item.userId = item.groupId = kMobileUser;
        item.protectionClass = kNewFileClass;
    }
    item.domain.setVal(domain.toUtf8());
    item.path.setVal(path.toUtf8());
    item.linkTarget = _MBDBBinary();
    item.size = quint64(local.size());
    item.lastModified = item.lastAccessed = unixTime(local.lastModified());
    const QDateTime birth = local.birthTime();
    item.created = birth.isValid() ? unixTime(birth) : item.lastModified;

    const QString final = g_manifestDbContentPath(m_backup.root(), id);
    const QString staged = final + kStagedSuffix;
    if (!QDir().mkpath(QFileInfo(final).absolutePath()))
        g_raise(QStringLiteral("Cannot create the folder %1.").arg(QFileInfo(final).absolutePath()));
    m_staged << Staged{staged, final};
    if (m_backup.info().isEncrypted) {
        const QByteArray classKey = m_backup.keybag().classKeys.value(item.protectionClass).value(QStringLiteral("KEY"));
        const QByteArray fileKey = randomKey();
        const QByteArray wrapped = g_aesKeyWrap(classKey, fileKey);
        if (wrapped.isEmpty())
            g_raise(QStringLiteral("The backup has no key of protection class %1.").arg(item.protectionClass));
        QByteArray cls(4, '\0');
        cls[0] = char(item.protectionClass);
        item.encryptionKey.setVal(cls + wrapped);
        g_encryptBackupFileThrow(localFile, staged, fileKey);
    } else {
        item.encryptionKey = _MBDBBinary();
        copyWholeThrow(localFile, staged);
    }

    addFolderRowsThrow(domain, path, item.lastModified);
    m_db->executeThrow(
        Sqlite3Sql("INSERT OR REPLACE INTO Files (fileID, domain, relativePath, flags, file) VALUES (?, ?, ?, ?, ?)")
            .addTextParam(id)
            .addTextParam(domain)
            .addTextParam(path)
            .addIntParam(kFlagFile)
            .addBlobParam(g_writeMBFileArchive(item)));
    return true;
}

void ManifestDbWriter::commitThrow()
{
    if (m_committed)
        return;
    if (!m_db->commitTran())
        g_raise(QStringLiteral("Cannot complete the index copy."));
    m_db->close();
    m_db.reset();

    const QString index = m_backup.root().absoluteFilePath(QStringLiteral("Manifest.db"));
    if (m_backup.info().isEncrypted && !m_backup.info().manifestKey.isEmpty())
        g_encryptBackupFileThrow(m_index, index, m_backup.indexKey());
    else
        copyWholeThrow(m_index, index);
    m_committed = true;

    for (const Staged& s : std::as_const(m_staged)) {
        std::error_code ec;
        std::filesystem::rename(s.staged.toStdString(), s.final.toStdString(), ec);
        if (ec)
            g_raise(QStringLiteral("Cannot move %1 into place: %2").arg(s.final, QString::fromStdString(ec.message())));
    }
    m_staged.clear();
    g_removeSqliteFiles(m_index);
    m_claim.removeUnlessShared();
    m_backup.resetTree();
}
