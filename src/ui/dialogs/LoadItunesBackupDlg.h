#pragma once

#include "itunes/BackupManifest.h"
#include "shell/DataFolders.h"

#include <QDialog>
#include <QSharedPointer>
#include <QString>

class ItemModelLoadBk;
class QLabel;
class QModelIndex;
class QPushButton;
class QTreeView;

// Lists the iTunes backups of the backup folder, newest first, lets the
// user add a backup folder from elsewhere and hands the chosen one (its
// Manifest.plist read) to the caller.
class LoadItunesBackupDlg : public QDialog
{
    Q_OBJECT
public:
    // The backups read here keep their working copies in folders.
    explicit LoadItunesBackupDlg(const DataFolders& folders, QWidget* parent = nullptr);

    // Runs the dialog; the chosen backup, or null when cancelled.
    QSharedPointer<BackupManifest> execChoose();
    QSharedPointer<BackupManifest> chosen() const { return m_chosen; }

    ItemModelLoadBk* model() const { return m_model; }
    QTreeView* listBackups() const { return m_listBackups; }

    // Lists the backups of a folder laid out like iTunes' backup folder; when
    // the list stays empty it says where it looked and offers to add a folder.
    void listBackupsIn(const QDir& dir);
    QLabel* emptyNote() const { return m_lbNoBackups; }
    // Adds the backup in folder (as the link does after asking for a folder);
    // refuses a backup listed already.
    void addBackupFolder(const QString& folder);

public slots:
    void btnLoadClicked();
    void btnAddOtherClicked(const QString& link);

private:
    // Reads the backup's Manifest.plist; null with the error shown.
    QSharedPointer<BackupManifest> readBackup(const QString& folder);

    DataFolders m_folders;
    ItemModelLoadBk* m_model;
    QTreeView* m_listBackups;
    QLabel* m_lbNoBackups;
    QSharedPointer<BackupManifest> m_chosen;
};
