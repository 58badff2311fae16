#include "ui/AbsTreeItemModel.h"

AbsTreeItemModel::_ItemNode::_ItemNode(int type_, const QString& name_, _ItemNode* parent_)
    : type(type_), name(name_), parent(parent_)
{
}

AbsTreeItemModel::_ItemNode::~_ItemNode()
{
    qDeleteAll(children);
}

AbsTreeItemModel::AbsTreeItemModel(QObject* parent) : QAbstractItemModel(parent) {}

AbsTreeItemModel::~AbsTreeItemModel()
{
    qDeleteAll(m_nodes);
}

const QList<AbsTreeItemModel::_ItemNode*>& AbsTreeItemModel::childrenOf(const _ItemNode* parent) const
{
    return parent ? parent->children : m_nodes;
}

QList<AbsTreeItemModel::_ItemNode*>& AbsTreeItemModel::siblingsOf(const _ItemNode* node)
{
    return node->parent ? node->parent->children : m_nodes;
}

int AbsTreeItemModel::rowOf(const _ItemNode* node) const
{
    const QList<_ItemNode*>& siblings = childrenOf(node->parent);
    // Rows shift when earlier siblings go away, so the cached row is only a
    // first guess.
    if (node->cachedRow >= 0 && node->cachedRow < siblings.size() && siblings.at(node->cachedRow) == node)
        return node->cachedRow;
    const int row = int(siblings.indexOf(const_cast<_ItemNode*>(node)));
    node->cachedRow = row;
    return row;
}

bool AbsTreeItemModel::belongs(const _ItemNode* node) const
{
    for (const _ItemNode* n = node; n; n = n->parent) {
        if (rowOf(n) < 0)
            return false;
    }
    return node != nullptr;
}

AbsTreeItemModel::_ItemNode* AbsTreeItemModel::nodeOf(const QModelIndex& index)
{
    return index.isValid() ? static_cast<_ItemNode*>(index.internalPointer()) : nullptr;
}

QModelIndex AbsTreeItemModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || (parent.isValid() && parent.model() != this))
        return QModelIndex();
    const QList<_ItemNode*>& list = childrenOf(nodeOf(parent));
    if (row < 0 || row >= list.size())
        return QModelIndex();
    _ItemNode* node = list.at(row);
    node->cachedRow = row;
    node->cachedColumn = column;
    return createIndex(row, column, node);
}

QModelIndex AbsTreeItemModel::parent(const QModelIndex& index) const
{
    const _ItemNode* node = nodeOf(index);
    if (!node || !node->parent)
        return QModelIndex();
    return indexOfItemNode(node->parent);
}

int AbsTreeItemModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return int(childrenOf(nodeOf(parent)).size());
}

int AbsTreeItemModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QModelIndex AbsTreeItemModel::indexOfItemNode(const _ItemNode* node) const
{
    if (!belongs(node))
        return QModelIndex();
    const int row = rowOf(node);
    return createIndex(row, 0, const_cast<_ItemNode*>(node));
}

void AbsTreeItemModel::appendNodes(_ItemNode* parent, const QList<_ItemNode*>& nodes)
{
    if (nodes.isEmpty())
        return;
    emit layoutAboutToBeChanged();
    QList<_ItemNode*>& list = parent ? parent->children : m_nodes;
    list.append(nodes);
    emit layoutChanged();
}

void AbsTreeItemModel::insertNode(_ItemNode* parent, int row, _ItemNode* node)
{
    QList<_ItemNode*>& list = parent ? parent->children : m_nodes;
    row = qBound(0, row, int(list.size()));
    beginInsertRows(indexOfItemNode(parent), row, row);
    list.insert(row, node);
    endInsertRows();
}

void AbsTreeItemModel::clearChilds(const _ItemNode* node)
{
    if (node && !belongs(node))
        return;
    QList<_ItemNode*>& list = node ? const_cast<_ItemNode*>(node)->children : m_nodes;
    if (list.isEmpty())
        return;
    beginRemoveRows(indexOfItemNode(node), 0, int(list.size()) - 1);
    const QList<_ItemNode*> gone = list;
    list.clear();
    endRemoveRows();
    // Deleted only after the views have let go of them.
    qDeleteAll(gone);
}

void AbsTreeItemModel::removeNode(const _ItemNode* node)
{
    if (!belongs(node))
        return;
    clearChilds(node);
    const int row = rowOf(node);
    beginRemoveRows(indexOfItemNode(node->parent), row, row);
    siblingsOf(node).removeAt(row);
    endRemoveRows();
    delete node;
}
