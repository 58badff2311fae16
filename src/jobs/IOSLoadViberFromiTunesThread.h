#pragma once

#include "itunes/BackupManifest.h"
#include "model/ViberData.h"
#include "shell/JobProgress.h"
#include "stores/ViberContainers.h"

#include <QDir>
#include <QHash>
#include <QString>
#include <QThread>

class DataFolders;
class IOSAssetDb;
class PreviewMaker;

// Takes Viber's files out of an iTunes backup into a folder laid out like the
// app's container (dataDir: the store Documents/Contacts.data, contact icons,
// attachments, previews, location images, voice messages), with pictures and
// videos that Viber keeps in the camera roll fetched through the backup's
// photo library index. The copied store is then read like a container.
class IOSLoadViberFromiTunesThread : public QThread
{
public:
    using FileTable = QHash<QString, const BackupManifest::_FileNode*>;

    // manifest must have its tree built (and, when encrypted, be unlocked).
    // The files go into the backup's own cache folder in folders
    // (cacheDirFor), made owner-only.
    IOSLoadViberFromiTunesThread(BackupManifest* manifest, JobProgress& progress, const DataFolders& folders,
                                 QObject* parent = nullptr);
    // The files go into target (a device's cache folder).
    IOSLoadViberFromiTunesThread(BackupManifest* manifest, JobProgress& progress, const QString& target,
                                 QObject* parent = nullptr);
    void run() override;

    // One cache folder per backup folder, below the cache of folders.
    static QDir cacheDirFor(const DataFolders& folders, const BackupManifest& manifest);

    // Enters node under key and its descendants under key + "/" + their names,
    // depth first in child order.
    static void deepLoopFileNodes(FileTable& table, const BackupManifest::_FileNode* node, const QString& key);

    void copyFileThrow(const BackupManifest::_FileNode* node, const QString& dest, bool overwrite);
    // Copies the file of the table at path, when the backup has it.
    void copyContainerFileThrow(const FileTable& table, const QString& dest, const QString& path, bool overwrite);

    QDir cacheDir() const { return m_cacheDir; }
    // Where the app's own files land (attachments, and for the old layout the
    // store Documents/Contacts.data). Open the store through containers().
    QDir dataDir() const { return m_dataDir; }
    // Whether a non-empty store was copied.
    bool hasData() const { return m_hasData; }
    // Where the copied store and its containers are. Today's Viber keeps its
    // store in the app-group container, copied to groupDir(); the app's own
    // container (attachments) is still dataDir().
    ViberContainers containers() const { return m_containers; }
    QDir groupDir() const { return m_groupDir; }

private:
    QString loadThrow();
    void prepareFoldersThrow();
    void buildTables();
    void copyIcons(const ViberData& data);
    // The app group's store with its companions and settings; false when the
    // backup has no store there.
    bool copyGroupStoreThrow();
    void copyGroupIcons(const ViberData& data);
    void copyAttachmentThrow(const _ViberAtta& a, IOSAssetDb& assets, PreviewMaker& previews);
    void copyPictureOrVideoThrow(const _ViberAtta& a, IOSAssetDb& assets, PreviewMaker& previews);
    // Whether dest lies inside dataDir: names from the store are never
    // allowed to place a file anywhere else.
    bool isInsideData(const QString& dest) const;

    BackupManifest* m_manifest;
    JobProgress& m_progress;
    QDir m_cacheDir;
    QDir m_dataDir;
    QDir m_groupDir;
    ViberContainers m_containers;
    bool m_ownCache = false;
    bool m_hasData = false;
    FileTable m_viber;
    FileTable m_media;
    FileTable m_group;
};
