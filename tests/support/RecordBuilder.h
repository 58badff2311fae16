#pragma once

#include "model/ViberData.h"
#include "model/ViberRecords.h"

#include <QList>
#include <QString>

// Builds a data set in memory, record by record. Every record gets the next
// id of one counter shared by all kinds, is entered in data (which owns it)
// and is returned for the caller to adjust. A record type may be a subclass
// (a test that counts destructions).
struct RecordBuilder
{
    ViberData data;
    qint64 nextId = 1;

    template<typename P = _ViberPerson>
    P* person(const QString& name = {}, const QString& number = {})
    {
        auto* p = new P;
        p->id = nextId++;
        p->name = name;
        p->number = number;
        data.p()->persons.insert(p->id, p);
        return p;
    }

    // A chat with no group id is a one-to-one chat when it has one member.
    template<typename C = _ViberChat>
    C* chat(const QString& name = {}, const QString& groupId = {}, const QList<_ViberPerson*>& members = {})
    {
        auto* c = new C;
        c->id = nextId++;
        c->name = name;
        c->groupId = groupId;
        for (_ViberPerson* p : members)
            c->members.insert(p->id, p);
        data.p()->chats.insert(c->id, c);
        return c;
    }

    // A message of chat c (appended to its list; none for a null chat) sent
    // by me unless from is given.
    template<typename M = _ViberMsg>
    M* msg(_ViberChat* c, int type = MSG_TYPE_TEXT, double date = 0, const QString& text = {},
           ViberMsgState state = MSG_STATE_SENT, _ViberPerson* from = nullptr)
    {
        auto* m = new M;
        m->id = nextId++;
        m->chat = c;
        m->type = type;
        m->date = date;
        m->text = text;
        m->state = state;
        m->person = from;
        if (c)
            c->msgs << m;
        data.p()->msgs.insert(m->id, m);
        return m;
    }

    // The attachment of message m.
    _ViberAtta* atta(_ViberMsg* m, const QString& filePath = {}, const QString& thumbPath = {}, double duration = 0)
    {
        auto* a = new _ViberAtta;
        a->id = nextId++;
        a->filePath = filePath;
        a->thumbPath = thumbPath;
        a->duration = duration;
        a->msg = m;
        if (m)
            m->atta = a;
        data.p()->attas.insert(a->id, a);
        return a;
    }

    // The call of message m, at its time; a call of the history alone when m
    // is null.
    _ViberCall* call(_ViberMsg* m, int type = CALL_MISSED, int duration = 0, _ViberPerson* p = nullptr)
    {
        auto* c = new _ViberCall;
        c->id = nextId++;
        c->type = type;
        c->duration = duration;
        c->person = p;
        if (m) {
            c->date = m->date;
            m->call = c;
        }
        data.p()->calls.insert(c->id, c);
        return c;
    }
};
