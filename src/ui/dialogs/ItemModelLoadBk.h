#pragma once

#include "itunes/BackupManifest.h"
#include "ui/AbsTreeItemModel.h"

#include <QSharedPointer>

// The iTunes backups the chooser lists, newest first: name, date, folder.
class ItemModelLoadBk : public AbsTreeItemModel
{
    Q_OBJECT
public:
    struct _BKItemNode : public _ItemNode
    {
        _BKItemNode(QSharedPointer<BackupManifest> backup);
        QSharedPointer<BackupManifest> backup;
    };

    explicit ItemModelLoadBk(QObject* parent = nullptr);

    // A flat list: every column of a top-level row has an index.
    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Inserts the backup before the first one with an earlier date.
    _BKItemNode* addBackup(QSharedPointer<BackupManifest> backup);
    // The backup of a row's index, or null.
    QSharedPointer<BackupManifest> backupAt(const QModelIndex& index) const;
    // The listed backup of the same folder (same dirPathMd5), or null.
    QSharedPointer<BackupManifest> findSameFolder(const BackupManifest& backup) const;
};
