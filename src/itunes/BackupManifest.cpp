#include "itunes/BackupManifest.h"
#include "shell/Failure.h"

#include "plist/CFType.h"
#include "itunes/MBDBParser.h"
#include "itunes/ManifestDb.h"
#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/ScratchFolders.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace {
// Manifest.plist holds identity, a keybag and at most an application list;
// anything near this size is not one.
constexpr qint64 kMaxManifestPlistSize = 64 * 1024 * 1024;

const QString kSharedDomains = QStringLiteral(
    "=Domain=MediaDomain=RootDomain=HomeDomain=SystemPreferencesDomain=MobileDeviceDomain=WirelessDomain="
    "DatabaseDomain=CameraRollDomain=HealthDomain=KeychainDomain=KeyboardDomain=ManagedPreferencesDomain=");

} // namespace

BackupManifest::_FileNode* BackupManifest::_FileNode::addChild(const QString& childName, const _MBDBItem& childItem)
{
    auto node = std::make_unique<_FileNode>();
    node->name = childName;
    node->item = childItem;
    node->parent = this;
    children.push_back(std::move(node));
    return children.back().get();
}

BackupManifest::BackupManifest(const QString& folder, const DataFolders& folders, QObject* parent)
    : QObject(parent), m_root(folder), m_indexBase(folders.cacheDir().filePath(QStringLiteral("index")))
{
}

QDir BackupManifest::privateIndexDirThrow() const
{
    return g_privateIndexDirThrow(m_indexBase, m_root.absolutePath());
}

QDir BackupManifest::iTunesBackupDir()
{
    return QDir(g_osAppDir().filePath(QStringLiteral("MobileSync/Backup")));
}

void BackupManifest::readManifestInfo()
{
    const QString path = m_root.absoluteFilePath(QStringLiteral("Manifest.plist"));
    QFile f(path);
    if (!f.exists())
        g_raise(QStringLiteral("Cannot find ") + path);
    if (!f.open(QIODevice::ReadOnly))
        g_raise(f.errorString());
    if (f.size() > kMaxManifestPlistSize)
        g_raise(QStringLiteral("%1 is too large to be a backup manifest.").arg(path));
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        g_raise(f.errorString());
    const CFType plist = CFType::createCFPropertyList(bytes);
    if (!plist.isCFDictionary())
        g_raise(QStringLiteral("%1 is not a readable property list.").arg(path));

    const CFType lockdown = plist.get(QStringLiteral("Lockdown"));
    _InfoPlist info;
    info.uniqueDeviceID = lockdown.get(QStringLiteral("UniqueDeviceID")).CFStringQString();
    info.deviceName = lockdown.get(QStringLiteral("DeviceName")).CFStringQString();
    info.productType = lockdown.get(QStringLiteral("ProductType")).CFStringQString();
    info.productVersion = lockdown.get(QStringLiteral("ProductVersion")).CFStringQString();
    info.serialNumber = lockdown.get(QStringLiteral("SerialNumber")).CFStringQString();
    // The backup date is shown as local time, so break it down in the local zone.
    const QTimeZone local = QTimeZone::systemTimeZone();
    info.date = plist.get(QStringLiteral("Date")).CFDateToDateTime(&local);
    info.isEncrypted = plist.get(QStringLiteral("IsEncrypted")).CFNumberBool(false);
    info.backupKeyBag = plist.get(QStringLiteral("BackupKeyBag")).CFDataBytes();
    info.manifestKey = plist.get(QStringLiteral("ManifestKey")).CFDataBytes();
    m_info = info;

    const QString folderName = m_root.dirName();
    // An empty identifier would "occur" everywhere in the folder name.
    if (!info.uniqueDeviceID.isEmpty() && folderName.contains(info.uniqueDeviceID))
        m_displayName = QString(folderName).replace(info.uniqueDeviceID, info.deviceName);
    else
        m_displayName = info.deviceName + u'-' + folderName;
}

BackupGeneration BackupManifest::generationOf(const QDir& folder)
{
    if (QFileInfo(folder.filePath(QStringLiteral("Manifest.db"))).isFile())
        return BackupGeneration::ManifestDb;
    if (QFileInfo(folder.filePath(QStringLiteral("Manifest.mbdb"))).isFile())
        return BackupGeneration::Mbdb;
    return BackupGeneration::None;
}

void BackupManifest::parseInfo()
{
    if (!m_rootNode.children.empty())
        return;
    if (generation() == BackupGeneration::ManifestDb) {
        buildTree(readManifestDbThrow());
        return;
    }
    const QHash<QString, _MBDBItem> records =
        MBDBParser::parse(m_root.absoluteFilePath(QStringLiteral("Manifest.mbdb")));
    buildTree(records.values());
}

QList<_MBDBItem> BackupManifest::readManifestDbThrow() const
{
    const QString index = m_root.absoluteFilePath(QStringLiteral("Manifest.db"));
    const bool encryptedIndex = m_info.isEncrypted && !m_info.manifestKey.isEmpty();
    if (encryptedIndex && m_indexKey.isEmpty())
        g_raise(QStringLiteral("The backup %1 is encrypted and has not been unlocked.").arg(m_root.absolutePath()));
    // Read from a private copy, needed only while it is read: SQLite may
    // leave companion files beside a database even when only reading it, and
    // the backup is the user's.
    // Claimed while it is used: a start of another run leaves it alone, and
    // sweeps it when a kill left it (a decrypted index among it).
    const QDir dir = privateIndexDirThrow();
    ScratchClaim claim(dir.absolutePath());
    const QString work = dir.filePath(QStringLiteral("Manifest.db"));
    struct Remove
    {
        QString path;
        ScratchClaim* claim;
        ~Remove()
        {
            g_removeSqliteFiles(path);
            claim->removeUnlessShared();
        }
    } removeAfter{work, &claim};
    if (encryptedIndex) {
        g_decryptManifestDbThrow(index, work, m_indexKey);
    } else {
        QFile::remove(work);
        QFile src(index);
        if (!src.copy(work))
            g_raise(QStringLiteral("%1: %2").arg(index, src.errorString()));
        QFile::setPermissions(work, QFile::ReadOwner | QFile::WriteOwner);
    }
    return g_readManifestDbThrow(work, m_root);
}

void BackupManifest::resetTree()
{
    m_rootNode.children.clear();
}

QString BackupManifest::storedFilePath(const _MBDBItem& item) const
{
    const QString name = item.backupFileName();
    if (generation() == BackupGeneration::ManifestDb)
        return g_manifestDbContentPath(m_root, name);
    return m_root.absoluteFilePath(name);
}

void BackupManifest::buildTree(QList<_MBDBItem> items)
{
    std::sort(items.begin(), items.end(), MBDBParser::compareMBDBItemLess);

    static const QRegularExpression appDomain(QStringLiteral("^AppDomain([^-]*)-(.+)"));
    QHash<QString, _FileNode*> byPath;
    // Folders that no record names (some tools write a file's row without
    // its domain root or parent folders): they exist all the same, implied
    // by the paths below them, and take their own record if one comes.
    QSet<_FileNode*> implied;
    auto topLevel = [&](const QString& name) {
        if (!byPath.contains(name))
            byPath.insert(name, m_rootNode.addChild(name, _MBDBItem()));
    };
    // The node of the tree path full, made as an implied folder of domain
    // (path inside it: the part of full after base) when missing.
    std::function<_FileNode*(const QString&, const QString&, const QString&)> folderOf =
        [&](const QString& full, const QString& base, const QString& domain) -> _FileNode* {
        if (full.isEmpty())
            return &m_rootNode;
        if (_FileNode* known = byPath.value(full))
            return known;
        const qsizetype slash = full.lastIndexOf(u'/');
        _FileNode* parent = slash < 0 ? &m_rootNode : folderOf(full.left(slash), base, domain);
        _MBDBItem folder;
        folder.domain.setVal(domain.toUtf8());
        folder.path.setVal(full.size() > base.size() ? full.mid(base.isEmpty() ? 0 : base.size() + 1).toUtf8()
                                                     : QByteArray());
        folder.mode = 0x41ED;
        _FileNode* node = parent->addChild(slash < 0 ? full : full.mid(slash + 1), folder);
        byPath.insert(full, node);
        implied.insert(node);
        return node;
    };

    for (const _MBDBItem& item : std::as_const(items)) {
        const QString domain = item.domain.toString();
        const QString path = item.path.toString();
        QString full;
        QString base; // the tree path of the domain's root
        const QRegularExpressionMatch m = appDomain.match(domain);
        if (m.hasMatch()) {
            const QString group = m.captured(1).isEmpty() ? QStringLiteral("Applications")
                                                          : QStringLiteral("AppDomain") + m.captured(1);
            topLevel(group);
            base = group + u'/' + m.captured(2);
            full = base;
            if (!path.isEmpty())
                full += u'/' + path;
        } else if (kSharedDomains.contains(u'=' + domain + u'=')) {
            full = path;
        } else {
            topLevel(domain);
            base = domain;
            full = domain + u'/' + path;
        }

        const qsizetype slash = full.lastIndexOf(u'/');
        const QString parentPath = slash < 0 ? QString() : full.left(slash);
        const QString name = slash < 0 ? full : full.mid(slash + 1);
        if (name.isEmpty())
            continue;
        if (_FileNode* known = byPath.value(full)) {
            // A folder's own record after a file below it made it.
            if (implied.remove(known) && item.isFolder())
                known->item = item;
            continue;
        }
        _FileNode* parent = folderOf(parentPath, base, domain);
        byPath.insert(full, parent->addChild(name, item));
    }
}

QString BackupManifest::dirPathMd5() const
{
    return g_md5(m_root.absolutePath());
}

const BackupManifest::_FileNode* BackupManifest::findNode(const QString& treePath) const
{
    const _FileNode* node = &m_rootNode;
    for (const QString& part : treePath.split(u'/', Qt::SkipEmptyParts)) {
        const auto it = std::find_if(node->children.begin(), node->children.end(),
                                     [&](const auto& c) { return c->name == part; });
        if (it == node->children.end())
            return nullptr;
        node = it->get();
    }
    return node;
}
