#pragma once

#include "itunes/Keybag.h"
#include "itunes/MBDBItem.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QObject>
#include <QString>

#include <memory>
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
};

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

    explicit BackupManifest(const QString& folder, QObject* parent = nullptr);

    // "MobileSync/Backup" in the per-user application-support folder.
    static QDir iTunesBackupDir();

    void readManifestInfo();
    // Builds the tree from Manifest.mbdb; does nothing when already built.
    void parseInfo();
    bool setPasscode(const QString& password);
    // The password as the bytes the user gave (a file may hold bytes that are
    // not UTF-8; they must reach the key derivation unchanged).
    bool setPasscode(const QByteArray& password);
    void copyFile(const _FileNode* node, const QString& dest, void* userData, ProgressFn progress) const;
    // MD5 of the folder's absolute path, to name a cache folder per backup.
    QString dirPathMd5() const;

    // The node at a slash-separated tree path, or null.
    const _FileNode* findNode(const QString& treePath) const;

    const _InfoPlist& info() const { return m_info; }
    const QString& displayName() const { return m_displayName; }
    const QDir& root() const { return m_root; }
    const _FileNode& rootNode() const { return m_rootNode; }

private:
    _InfoPlist m_info;
    QString m_displayName;
    QDir m_root;
    _FileNode m_rootNode;
    _KeybagInfo m_keybag;
};
