#pragma once

#include "ui/ItemNodes.h"

// The tree of sources: "Devices" with the iPhones, "Local Databases" with the
// local databases, and under each source its chats.
class ItemModelMain : public AbsTreeItemModel
{
    Q_OBJECT
public:
    explicit ItemModelMain(QObject* parent = nullptr);

    _RootDeviceItemNode* rootDevice() const { return m_rootDevice; }
    _ItemNode* rootLocalDb() const { return m_rootLocalDb; }

    _LocalDbItemNode* addLocalDb(const QString& name);
    _IOSDeviceItemNode* addIOSDevice(const QString& deviceName, const QString& identifier);
    // Appends one chat node per chat of the node's data set, most recent
    // activity first. Existing children stay: callers clear them first.
    void listChats(_AbsDBItemNode* node);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    _RootDeviceItemNode* m_rootDevice;
    _ItemNode* m_rootLocalDb;
};
