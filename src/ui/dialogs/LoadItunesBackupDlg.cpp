#include "ui/dialogs/LoadItunesBackupDlg.h"

#include "shell/UserTexts.h"
#include "ui/ExecDialog.h"
#include "ui/FileDialogs.h"
#include "ui/StyleSheet.h"
#include "ui/Tips.h"
#include "ui/WinMovable.h"
#include "ui/dialogs/ItemModelLoadBk.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QtDebug>

#include <exception>

LoadItunesBackupDlg::LoadItunesBackupDlg(const DataFolders& folders, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_folders(folders)
{
    setObjectName(QStringLiteral("LoadItunesBackupDlg"));
    new WinMovable(this);
    resize(600, 400);
    setWindowTitle(ids("IDS_SELECT_AN_ITUNES_BACKUP_TO_LOAD"));

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(10);
    layout->setContentsMargins(15, 15, 15, 15);

    auto* lbTitle = new QLabel(ids("IDS_SELECT_AN_ITUNES_BACKUP_TO_LOAD"), this);
    lbTitle->setObjectName(QStringLiteral("lbTitle"));

    m_model = new ItemModelLoadBk(this);
    m_listBackups = new QTreeView(this);
    m_listBackups->setObjectName(QStringLiteral("listBackups"));
    m_listBackups->setIndentation(0);
    m_listBackups->setRootIsDecorated(false);
    m_listBackups->setModel(m_model);
    m_listBackups->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listBackups->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listBackups->header()->setStretchLastSection(true);
    m_listBackups->setColumnWidth(0, 170);
    m_listBackups->setColumnWidth(1, 140);

    auto* lbAddOther = new QLabel(ids("IDS_NO_BACKUP_LISTED_THERE_CLICK_<a href=\"#\">Here</a>_ADD"), this);
    lbAddOther->setObjectName(QStringLiteral("lbAddOther"));
    lbAddOther->setTextFormat(Qt::RichText);
    lbAddOther->setWordWrap(true);

    m_lbNoBackups = new QLabel(this);
    m_lbNoBackups->setObjectName(QStringLiteral("lbNoBackups"));
    m_lbNoBackups->setTextFormat(Qt::RichText);
    m_lbNoBackups->setWordWrap(true);
    m_lbNoBackups->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_lbNoBackups->hide();

    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("buttonRow"));
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    auto* btnLoad = new QPushButton(ids("IDS_LOAD"), row);
    btnLoad->setObjectName(QStringLiteral("btnLoad"));
    btnLoad->setStyleSheet(QStringLiteral("margin-right:15px;"));
    auto* btnCancel = new QPushButton(ids("IDS_CANCEL"), row);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    rowLayout->addStretch(1);
    rowLayout->addWidget(btnLoad);
    rowLayout->addWidget(btnCancel);

    layout->addWidget(lbTitle);
    layout->addWidget(m_listBackups, 1);
    layout->addWidget(m_lbNoBackups);
    layout->addWidget(lbAddOther);
    layout->addWidget(row);

    setStyleSheet(getStyleSheet());
    connect(lbAddOther, &QLabel::linkActivated, this, &LoadItunesBackupDlg::btnAddOtherClicked);
    connect(m_lbNoBackups, &QLabel::linkActivated, this, &LoadItunesBackupDlg::btnAddOtherClicked);
    connect(btnLoad, &QPushButton::pressed, this, &LoadItunesBackupDlg::btnLoadClicked);
    connect(m_listBackups, &QTreeView::doubleClicked, this, &LoadItunesBackupDlg::btnLoadClicked);
    connect(btnCancel, &QPushButton::pressed, this, &QDialog::reject);

    listBackupsIn(BackupManifest::iTunesBackupDir());
}

void LoadItunesBackupDlg::listBackupsIn(const QDir& dir)
{
    const QFileInfoList folders =
        dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time | QDir::Reversed);
    for (const QFileInfo& folder : folders) {
        const QDir d(folder.absoluteFilePath());
        // Backups of iOS 10 and later hold Manifest.db instead of Manifest.mbdb.
        if (!d.exists(QStringLiteral("Manifest.plist")) || BackupManifest::generationOf(d) == BackupGeneration::None)
            continue;
        if (QSharedPointer<BackupManifest> backup = readBackup(d.absolutePath()); backup && !m_model->findSameFolder(*backup))
            m_model->addBackup(backup);
    }
    m_listBackups->setCurrentIndex(QModelIndex());
    const bool empty = m_model->rowCount() == 0;
    m_lbNoBackups->setText(ids("IDS_NO_ITUNES_BACKUP_IN_%1_ADD").arg(QDir::toNativeSeparators(dir.absolutePath()).toHtmlEscaped()));
    m_lbNoBackups->setVisible(empty);
}

QSharedPointer<BackupManifest> LoadItunesBackupDlg::readBackup(const QString& folder)
{
    auto backup = QSharedPointer<BackupManifest>::create(folder, m_folders);
    try {
        backup->readManifestInfo();
        return backup;
    } catch (const std::exception& e) {
        const QString text = QString::fromUtf8(e.what());
        qWarning().noquote() << "LoadItunesBackupDlg:" << folder << text;
        Tips::error(ids("IDS_LOAD_BACKUP_%1_FAILED_%2").arg(QDir::toNativeSeparators(folder), text));
        return {};
    }
}

void LoadItunesBackupDlg::addBackupFolder(const QString& folder)
{
    BackupManifest probe(QFileInfo(folder).absoluteFilePath(), m_folders);
    if (m_model->findSameFolder(probe)) {
        Tips::warning(ids("IDS_LOAD_BK_EXISTS"));
        return;
    }
    if (QSharedPointer<BackupManifest> backup = readBackup(probe.root().absolutePath())) {
        const auto* node = m_model->addBackup(backup);
        m_lbNoBackups->hide();
        m_listBackups->setCurrentIndex(m_model->indexOfItemNode(node));
    }
}

void LoadItunesBackupDlg::btnAddOtherClicked(const QString&)
{
    const QString folder = g_getExistingDirectory(this, ids("IDS_SELECT_AN_ITUNES_BACKUP_TO_LOAD"), QDir::homePath());
    if (!folder.isEmpty())
        addBackupFolder(folder);
}

void LoadItunesBackupDlg::btnLoadClicked()
{
    const QSharedPointer<BackupManifest> backup = m_model->backupAt(m_listBackups->currentIndex());
    if (!backup) {
        Tips::warning(ids("IDS_PLEASE_SELECT_ONE_ITUNES_BACKUP"));
        return;
    }
    m_chosen = backup;
    accept();
}

QSharedPointer<BackupManifest> LoadItunesBackupDlg::execChoose()
{
    m_chosen.reset();
    if (g_execDialog(*this) != QDialog::Accepted)
        return {};
    return m_chosen;
}
