#pragma once

#include "model/ViberRecords.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QList>

// The flat list of messages shown: Date, Flag, Contact, Content. It holds
// only pointers into a data set kept by a tree node; every text is made when
// a view asks for it, so a list of a million messages costs one pointer each.
class ItemModelSms : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Column
    {
        COL_DATE = 0,
        COL_FLAG = 1,
        COL_CONTACT = 2,
        COL_CONTENT = 3,
        COLUMN_COUNT = 4
    };

    explicit ItemModelSms(QObject* parent = nullptr);

    // Replaces the list in one model reset. mixedChats: the list holds the
    // messages of several chats (a whole source), so each row names its chat.
    void loadSMS(const QList<_ViberMsg*>& list, bool mixedChats = false);
    bool mixedChats() const { return m_mixed; }
    const QList<_ViberMsg*>& messages() const { return m_msgs; }

    // The index of a row in column 0 (it carries the message); invalid
    // outside the list.
    QModelIndex indexOfPos(int row) const;
    // The message of an index in column 0; null for other columns (they carry
    // no message) and invalid indexes.
    static _ViberMsg* messageOf(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The texts of one cell, as data() shows them.
    static QString cellText(const _ViberMsg* m, int column, bool mixedChats = false);

private:
    QList<_ViberMsg*> m_msgs;
    bool m_mixed = false;
    mutable QHash<QString, QIcon> m_stickerIcons;
};
