#pragma once

#include "itunes/BackupManifest.h"
#include "shell/JobProgress.h"

#include <QList>
#include <QString>
#include <QThread>

// Writes files into an iTunes backup folder of either generation: each file
// goes in under its stored name and its record is added to or refreshed in
// the index, which is written back once every file is in. Into a Manifest.db
// backup the files and the index are encrypted when the backup is (it must
// be unlocked); an encrypted Manifest.mbdb backup is refused. A failure or a
// cancellation leaves the old index in place.
class IOSMergeWAFiles2iTunesBKThread : public QThread
{
public:
    struct _Item
    {
        _Item(const QString& domain, const QString& localFile, const QString& path, bool overwrite)
            : domain(domain), localFile(localFile), path(path), overwrite(overwrite)
        {
        }
        QString domain;    // such as "AppDomain-com.viber"
        QString localFile; // the file on this computer
        QString path;      // inside the domain, without a leading "/"
        bool overwrite;    // replace a file the backup already holds
    };

    // manifest must have read its Manifest.plist.
    IOSMergeWAFiles2iTunesBKThread(BackupManifest& manifest, const QList<_Item>& items, JobProgress& progress,
                                   QObject* parent = nullptr);
    void run() override;

    // Files written by the last run.
    int written() const { return m_written; }

private:
    QString mergeThrow();
    void mergeIntoMbdbThrow();
    void mergeIntoManifestDbThrow();
    // Reports item i of the list; false for an item with nothing to write.
    bool startItem(int i);

    BackupManifest& m_manifest;
    QList<_Item> m_items;
    JobProgress& m_progress;
    int m_written = 0;
};
