#include "ui/dialogs/ItemModelLoadBk.h"

#include "shell/UserTexts.h"

#include <QColor>
#include <QDir>
#include <QLocale>
#include <QPixmap>
#include <QSize>

namespace {
constexpr int kRowHeight = 25;
constexpr int kIconWidth = 18;
} // namespace

ItemModelLoadBk::_BKItemNode::_BKItemNode(QSharedPointer<BackupManifest> b)
    : _ItemNode(0, b->displayName(), nullptr), backup(std::move(b))
{
}

ItemModelLoadBk::ItemModelLoadBk(QObject* parent) : AbsTreeItemModel(parent) {}

QModelIndex ItemModelLoadBk::index(int row, int column, const QModelIndex& parent) const
{
    const QList<_ItemNode*>& nodes = topLevelNodes();
    if (parent.isValid() || column < 0 || column >= columnCount() || row < 0 || row >= nodes.size())
        return QModelIndex();
    return createIndex(row, column, nodes.at(row));
}

int ItemModelLoadBk::columnCount(const QModelIndex&) const
{
    return 3;
}

QVariant ItemModelLoadBk::data(const QModelIndex& index, int role) const
{
    const auto* node = static_cast<const _BKItemNode*>(nodeOf(index));
    if (!node)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case 0:
            return node->backup->displayName();
        case 1:
            return QLocale::system().toString(node->backup->info().date.toLocalTime(), QLocale::ShortFormat);
        case 2:
            return QDir::toNativeSeparators(node->backup->root().absolutePath());
        default:
            return QVariant();
        }
    case Qt::DecorationRole:
        if (index.column() == 0) {
            static const QPixmap icon = QPixmap(QStringLiteral(":/res/iphone.png")).scaledToWidth(kIconWidth,
                                                                                                   Qt::SmoothTransformation);
            return icon;
        }
        return QVariant();
    case Qt::ToolTipRole:
        return QDir::toNativeSeparators(node->backup->root().absolutePath());
    case Qt::SizeHintRole:
        return QSize(-1, kRowHeight);
    case Qt::BackgroundRole:
        return index.row() % 2 == 0 ? QColor(250, 250, 250) : QColor(255, 255, 255);
    default:
        return QVariant();
    }
}

QVariant ItemModelLoadBk::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0:
        return ids("IDS_COL_NAME");
    case 1:
        return ids("IDS_COL_BACKUP_DATE");
    case 2:
        return ids("IDS_COL_PATH");
    default:
        return QVariant();
    }
}

ItemModelLoadBk::_BKItemNode* ItemModelLoadBk::addBackup(QSharedPointer<BackupManifest> backup)
{
    const QDateTime date = backup->info().date;
    int row = 0;
    const QList<_ItemNode*>& nodes = topLevelNodes();
    while (row < nodes.size() && !(static_cast<const _BKItemNode*>(nodes.at(row))->backup->info().date < date))
        ++row;
    auto* node = new _BKItemNode(std::move(backup));
    insertNode(nullptr, row, node);
    return node;
}

QSharedPointer<BackupManifest> ItemModelLoadBk::backupAt(const QModelIndex& index) const
{
    const auto* node = static_cast<const _BKItemNode*>(nodeOf(index));
    return node ? node->backup : QSharedPointer<BackupManifest>();
}

QSharedPointer<BackupManifest> ItemModelLoadBk::findSameFolder(const BackupManifest& backup) const
{
    // The same folder reached through a link is the same backup, too.
    const QString md5 = backup.dirPathMd5();
    const QString canonical = backup.root().canonicalPath();
    for (const _ItemNode* n : topLevelNodes()) {
        const auto* node = static_cast<const _BKItemNode*>(n);
        if (node->backup->dirPathMd5() == md5 ||
            (!canonical.isEmpty() && node->backup->root().canonicalPath() == canonical))
            return node->backup;
    }
    return {};
}
