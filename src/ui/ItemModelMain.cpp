#include "ui/ItemModelMain.h"

#include "shell/UserTexts.h"
#include "ui/UiIcons.h"

#include <QFileInfo>
#include <QImage>
#include <QSize>
#include <algorithm>

ItemModelMain::ItemModelMain(QObject* parent) : AbsTreeItemModel(parent)
{
    m_rootDevice = new _RootDeviceItemNode(ids("IDS_ROOT_DEVICE"));
    m_rootLocalDb = new _ItemNode(ITEMNODE_ROOT_LOCALDB, ids("IDS_ROOT_LOCALDB"), nullptr);
    appendNodes(nullptr, {m_rootDevice, m_rootLocalDb});
}

_LocalDbItemNode* ItemModelMain::addLocalDb(const QString& name)
{
    auto* node = new _LocalDbItemNode(m_rootLocalDb, name);
    appendNodes(m_rootLocalDb, {node});
    return node;
}

_IOSDeviceItemNode* ItemModelMain::addIOSDevice(const QString& deviceName, const QString& identifier)
{
    auto* node = new _IOSDeviceItemNode(m_rootDevice, deviceName, identifier);
    appendNodes(m_rootDevice, {node});
    return node;
}

void ItemModelMain::listChats(_AbsDBItemNode* node)
{
    if (!node || !belongs(node) || node->data.isNull())
        return;
    QList<_ViberChat*> chats = node->data.chats();
    std::sort(chats.begin(), chats.end(), compareViberChatDesc);
    QList<_ItemNode*> nodes;
    nodes.reserve(chats.size());
    for (_ViberChat* chat : chats)
        nodes.append(new _ChatSessionItemNode(node, chat));
    appendNodes(node, nodes);
}

namespace {
QImage chatPicture(const _ViberChat* chat)
{
    if (chat && chat->members.size() == 1) {
        const _ViberPerson* person = chat->members.cbegin().value();
        if (person && !person->picturePath.isEmpty() && QFileInfo(person->picturePath).isFile()) {
            QImage image;
            if (image.load(person->picturePath, "JPG") || image.load(person->picturePath, "PNG"))
                return image.scaledToWidth(kTreeIconWidth, Qt::FastTransformation);
        }
        return g_uiIcon(QStringLiteral("contact"));
    }
    return g_uiIcon(QStringLiteral("group"));
}
} // namespace

QVariant ItemModelMain::data(const QModelIndex& index, int role) const
{
    const _ItemNode* node = nodeOf(index);
    if (!node)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return node->name;
    case Qt::DecorationRole:
        switch (node->type) {
        case ITEMNODE_ROOT_DEVICE:
            return g_uiIcon(QStringLiteral("devices"));
        case ITEMNODE_ROOT_LOCALDB:
            return g_uiIcon(QStringLiteral("databases"));
        case ITEMNODE_IOS_DEVICE:
            return g_uiIcon(QStringLiteral("iphone"));
        case ITEMNODE_LOCAL_DB:
            return g_uiIcon(QStringLiteral("database"));
        case ITEMNODE_CHAT:
            return chatPicture(static_cast<const _ChatSessionItemNode*>(node)->chat);
        default:
            return QVariant();
        }
    case Qt::SizeHintRole:
        return QSize(0, 25);
    default:
        return QVariant();
    }
}
