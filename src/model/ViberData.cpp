#include "model/ViberData.h"

namespace {
template <typename T> void destroyAll(__ViberData& d, QHash<qint64, T*>& table)
{
    for (T* record : std::as_const(table))
        d.destroy(record);
    table.clear();
}
} // namespace

void __ViberData::destroy(_ViberEntity* record)
{
    if (!record)
        return;
    if (arena.owns(record))
        record->~_ViberEntity(); // the arena frees the memory when the set goes
    else
        delete record;
}

__ViberData::~__ViberData()
{
    destroyAll(*this, chats);
    destroyAll(*this, persons);
    destroyAll(*this, msgs);
    destroyAll(*this, attas);
    destroyAll(*this, calls);
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

void ViberData::keepOnlyChats(const QSet<qint64>& keep)
{
    if (!m_d)
        return;
    __ViberData* d = m_d.data();
    QSet<const _ViberAtta*> attas;
    QSet<const _ViberCall*> calls;
    for (auto it = d->msgs.begin(); it != d->msgs.end();) {
        _ViberMsg* m = it.value();
        if (m->chat && keep.contains(m->chat->id)) {
            attas.insert(m->atta);
            calls.insert(m->call);
            if (m->atta)
                m->atta->msg = m;
            ++it;
            continue;
        }
        d->destroy(m);
        it = d->msgs.erase(it);
    }
    auto prune = [d](auto& table, auto keepRecord) {
        for (auto it = table.begin(); it != table.end();) {
            if (keepRecord(it.value())) {
                ++it;
                continue;
            }
            d->destroy(it.value());
            it = table.erase(it);
        }
    };
    prune(d->attas, [&](const _ViberAtta* a) { return attas.contains(a); });
    prune(d->calls, [&](const _ViberCall* c) { return calls.contains(c); });
    prune(d->chats, [&](const _ViberChat* c) { return keep.contains(c->id); });
    QSet<const _ViberPerson*> used;
    for (const _ViberChat* c : std::as_const(d->chats)) {
        for (const _ViberPerson* p : c->members)
            used.insert(p);
    }
    for (const _ViberMsg* m : std::as_const(d->msgs))
        used.insert(m->person);
    for (const _ViberCall* c : std::as_const(d->calls))
        used.insert(c->person);
    prune(d->persons, [&](const _ViberPerson* p) { return used.contains(p); });
}
