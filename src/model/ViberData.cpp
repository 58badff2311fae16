#include "model/ViberData.h"

namespace {
template <typename T> void deleteAll(QHash<qint64, T*>& table)
{
    for (T* record : std::as_const(table))
        delete record;
    table.clear();
}
} // namespace

__ViberData::~__ViberData()
{
    deleteAll(chats);
    deleteAll(persons);
    deleteAll(msgs);
    deleteAll(attas);
    deleteAll(calls);
}

ViberData::ViberData() : m_d(new __ViberData) {}

QList<_ViberMsg*> ViberData::messages() const
{
    return m_d ? m_d->msgs.values() : QList<_ViberMsg*>();
}

QList<_ViberChat*> ViberData::chats() const
{
    return m_d ? m_d->chats.values() : QList<_ViberChat*>();
}
