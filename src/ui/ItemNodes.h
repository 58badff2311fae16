#pragma once

#include "model/ViberData.h"
#include "ui/AbsTreeItemModel.h"

using _ItemNode = AbsTreeItemModel::_ItemNode;

// The "Devices" root.
struct _RootDeviceItemNode : _ItemNode
{
    _RootDeviceItemNode(const QString& name);
    // Number of direct children of type t.
    int deviceCount(ITEMNODE_TYPE t) const;
};

// A source: a node that carries a data set (empty until the source is loaded).
struct _AbsDBItemNode : _ItemNode
{
    _AbsDBItemNode(ITEMNODE_TYPE type, const QString& name, _ItemNode* parent);
    // The node of the chat with key chatId among the children; null when
    // there is none (or chatId is 0).
    const _ItemNode* chatNode(qint64 chatId) const;
    ViberData data;
};

struct _LocalDbItemNode : _AbsDBItemNode
{
    _LocalDbItemNode(_ItemNode* parent, const QString& name);
    // The store has been read into data (an empty database has no chats).
    bool loaded = false;
};

// An iPhone, attached or a stored copy of one: its name and the identifier
// that finds it again (the device's identifier, or a stored copy's folder).
struct _IOSDeviceItemNode : _AbsDBItemNode
{
    _IOSDeviceItemNode(_ItemNode* parent, const QString& deviceName, const QString& identifier);
    QString identifier;
    // The attached device (the backend's am_device*), null for a stored copy.
    void* device = nullptr;
    // The attached device's data has been read into data.
    bool loaded = false;
};

// A chat of the parent source. The chat belongs to the parent's data set,
// which must outlive this node.
struct _ChatSessionItemNode : _ItemNode
{
    _ChatSessionItemNode(_ItemNode* parent, _ViberChat* chat);
    _ViberChat* chat;
};

// Whether a node type carries a data set.
bool g_isSourceNodeType(int type);
