#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QString>

// Kinds of tree node; the numbers are fixed because commands test them.
enum ITEMNODE_TYPE
{
    ITEMNODE_ROOT_DEVICE = 1,
    ITEMNODE_ROOT_LOCALDB = 2,
    ITEMNODE_IOS_DEVICE = 3,
    ITEMNODE_LOCAL_DB = 5,
    ITEMNODE_CHAT = 6,
};

// A tree of nodes that own their children. The model owns the top-level nodes
// and deletes them, and so every node, with itself.
class AbsTreeItemModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    struct _ItemNode
    {
        _ItemNode(int type, const QString& name, _ItemNode* parent);
        virtual ~_ItemNode();
        _ItemNode(const _ItemNode&) = delete;
        _ItemNode& operator=(const _ItemNode&) = delete;

        int type;
        QString name;
        // The index under which the model last handed this node out; a hint
        // only, checked against the node's real position before use.
        mutable int cachedRow = -1;
        mutable int cachedColumn = -1;
        _ItemNode* parent; // not owned; null for a top-level node
        QList<_ItemNode*> children;
    };

    explicit AbsTreeItemModel(QObject* parent = nullptr);
    ~AbsTreeItemModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;

    // The index of a node (column 0), whether or not a view has asked for it;
    // invalid for a node that is not in this model's tree.
    QModelIndex indexOfItemNode(const _ItemNode* node) const;
    // The node an index carries; null for an invalid index.
    static _ItemNode* nodeOf(const QModelIndex& index);

    // Removes and deletes the node's children (null: every top-level node).
    void clearChilds(const _ItemNode* node);
    // Removes and deletes the node with its subtree. A node that is not in
    // this model is left alone.
    void removeNode(const _ItemNode* node);

    const QList<_ItemNode*>& topLevelNodes() const { return m_nodes; }

protected:
    // Appends nodes already linked to parent (null: top level) as one layout
    // change.
    void appendNodes(_ItemNode* parent, const QList<_ItemNode*>& nodes);
    // Inserts a node already linked to parent (null: top level) at row
    // (clamped to the ends).
    void insertNode(_ItemNode* parent, int row, _ItemNode* node);
    // The row of node among its siblings, or -1.
    int rowOf(const _ItemNode* node) const;
    // Whether node hangs in this model's tree.
    bool belongs(const _ItemNode* node) const;

private:
    QList<_ItemNode*>& siblingsOf(const _ItemNode* node);
    const QList<_ItemNode*>& childrenOf(const _ItemNode* parent) const;

    QList<_ItemNode*> m_nodes;
};
