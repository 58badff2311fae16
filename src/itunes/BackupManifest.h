#pragma once

#include "itunes/Keybag.h"
#include "itunes/MBDBItem.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QObject>
#include <QString>

#include <memory>

class DataFolders;
class JobProgress;
#include <vector>

// Identity and encryption state of a backup, from its Manifest.plist.
struct _InfoPlist
{
    QString uniqueDeviceID;
    QString deviceName;
    QDateTime date;
    QString productType;
    QString productVersion;
    QString serialNumber;
    bool isEncrypted = false;
    QByteArray backupKeyBag;
    // Encrypted backups of iOS 10.2 and later: the wrapped key of Manifest.db.
    QByteArray manifestKey;
};

// Which index a backup folder holds: Manifest.mbdb up to iOS 9, Manifest.db
// from iOS 10 on.
enum class BackupGeneration { None, Mbdb, ManifestDb };

// One iTunes backup folder: its Manifest.plist, the tree of its backed-up
// files and the copying (and decrypting) of single files out of it.
class BackupManifest : public QObject
{
public:
    // One folder or file of the tree. A node owns its children.
    struct _FileNode
    {
        QString name;
        _MBDBItem item;
        _FileNode* parent = nullptr;
        std::vector<std::unique_ptr<_FileNode>> children;

        _FileNode* addChild(const QString& name, const _MBDBItem& item);
    };

    using ProgressFn = void (*)(qint64 total, qint64 done, void* userData);

    // Working copies of a Manifest.db index are made below the cache of folders.
    BackupManifest(const QString& folder, const DataFolders& folders, QObject* parent = nullptr);

    // "MobileSync/Backup" in the per-user application-support folder.
    static QDir iTunesBackupDir();

    // Manifest.db when the folder holds one (it is the newer index), else
    // Manifest.mbdb when it holds that, else None.
    static BackupGeneration generationOf(const QDir& folder);
    BackupGeneration generation() const { return generationOf(m_root); }

    void readManifestInfo();
    // Builds the tree from the folder's index; does nothing when already
    // built. An encrypted Manifest.db needs setPasscode first.
    void parseInfo();
    // Unlocks the keybag (and the key of an encrypted Manifest.db); false on a
    // wrong password, which leaves the backup locked and writes nothing. The
    // derivation of current backups takes seconds: with a progress it is
    // reported as a stage and can be cancelled (JobCancelled is thrown). The
    // class keys are kept in memory for the rest of the process, so the same
    // backup and password unlock again at once.
    // The password as the bytes the user gave (a file may hold bytes that are
    // not UTF-8; they must reach the key derivation unchanged).
    bool setPasscode(const QByteArray& password, JobProgress* progress = nullptr);
    bool setPasscode(const QString& password, JobProgress* progress = nullptr)
    {
        return setPasscode(password.toUtf8(), progress);
    }
    bool isUnlocked() const { return m_unlocked; }
    void copyFile(const _FileNode* node, const QString& dest, void* userData, ProgressFn progress) const;
    // MD5 of the folder's absolute path, to name a cache folder per backup.
    QString dirPathMd5() const;

    // Where a record's content lies in the folder (which depends on the index).
    QString storedFilePath(const _MBDBItem& item) const;

    // The node at a slash-separated tree path, or null.
    const _FileNode* findNode(const QString& treePath) const;

    const _InfoPlist& info() const { return m_info; }
    const QString& displayName() const { return m_displayName; }
    const QDir& root() const { return m_root; }
    // Where the private working copies of this backup's index go (see
    // g_privateIndexDirThrow).
    QDir privateIndexDirThrow() const;
    const _FileNode& rootNode() const { return m_rootNode; }
    const _KeybagInfo& keybag() const { return m_keybag; }
    // The key of an encrypted Manifest.db once unlocked; empty otherwise.
    const QByteArray& indexKey() const { return m_indexKey; }
    // Drops the tree, so that parseInfo reads the index again.
    void resetTree();

private:
    void buildTree(QList<_MBDBItem> items);
    QList<_MBDBItem> readManifestDbThrow() const;

    _InfoPlist m_info;
    QString m_displayName;
    QDir m_root;
    QDir m_indexBase;
    _FileNode m_rootNode;
    _KeybagInfo m_keybag;
    QByteArray m_indexKey;
    bool m_unlocked = false;
};
