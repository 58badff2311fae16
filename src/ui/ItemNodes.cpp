#include "ui/ItemNodes.h"

_RootDeviceItemNode::_RootDeviceItemNode(const QString& name) : _ItemNode(ITEMNODE_ROOT_DEVICE, name, nullptr)
{
}

int _RootDeviceItemNode::deviceCount(ITEMNODE_TYPE t) const
{
    int n = 0;
    for (const _ItemNode* child : children)
        n += child->type == t ? 1 : 0;
    return n;
}

_AbsDBItemNode::_AbsDBItemNode(ITEMNODE_TYPE type, const QString& name, _ItemNode* parent)
    : _ItemNode(type, name, parent)
{
}

const _ItemNode* _AbsDBItemNode::chatNode(qint64 chatId) const
{
    if (chatId == 0)
        return nullptr;
    for (const _ItemNode* child : children) {
        const _ViberChat* chat = child->type == ITEMNODE_CHAT ? static_cast<const _ChatSessionItemNode*>(child)->chat : nullptr;
        if (chat && chat->id == chatId)
            return child;
    }
    return nullptr;
}

_LocalDbItemNode::_LocalDbItemNode(_ItemNode* parent, const QString& name)
    : _AbsDBItemNode(ITEMNODE_LOCAL_DB, name, parent)
{
}

_IOSDeviceItemNode::_IOSDeviceItemNode(_ItemNode* parent, const QString& deviceName,
                                       const QString& identifier_)
    : _AbsDBItemNode(ITEMNODE_IOS_DEVICE, deviceName, parent), identifier(identifier_)
{
}

_ChatSessionItemNode::_ChatSessionItemNode(_ItemNode* parent, _ViberChat* chat_)
    : _ItemNode(ITEMNODE_CHAT, chat_ ? chat_->display() : QString(), parent), chat(chat_)
{
}

bool g_isSourceNodeType(int type)
{
    return type >= ITEMNODE_IOS_DEVICE && type <= ITEMNODE_LOCAL_DB;
}
