#pragma once

#include "model/RecordArena.h"
#include "model/ViberRecords.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QSharedPointer>

// The tables of one data set. It owns every record in them; the pointers
// between records are references into the same set.
struct __ViberData
{
    QHash<qint64, _ViberChat*> chats;
    QHash<qint64, _ViberPerson*> persons;
    QHash<qint64, _ViberMsg*> msgs;
    QHash<qint64, _ViberAtta*> attas;
    QHash<qint64, _ViberCall*> calls;
    // The phone's owner, when the source names them (empty otherwise).
    QString ownerName;
    QString ownerNumber;
    // Where loaders make their many records (arena.make<_ViberMsg>());
    // records made with new belong to the set just the same.
    RecordArena arena;

    // Ends a record of this set, wherever it was made.
    void destroy(_ViberEntity* record);

    __ViberData() = default;
    __ViberData(const __ViberData&) = delete;
    __ViberData& operator=(const __ViberData&) = delete;
    ~__ViberData();
};

// A shared handle: copies share one set, and the last copy deletes it.
class ViberData
{
public:
    ViberData();

    __ViberData* p() const { return m_d.data(); }
    bool isNull() const { return m_d.isNull(); }

    QList<_ViberMsg*> messages() const;
    QList<_ViberChat*> chats() const;

    // Keeps only the chats with these keys: every other chat goes with its
    // messages, and attachments, calls and people stay only while a kept
    // record points at them (a crafted store may share one record between
    // messages). Keys that name no chat are ignored.
    void keepOnlyChats(const QSet<qint64>& keys);

private:
    QSharedPointer<__ViberData> m_d;
};
