#pragma once

#include "model/ViberData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

// A small data set with every message kind, built in memory, with attachment
// files written into a folder. Times are fixed record times (UTC in tests).
struct ExportTestData
{
    ViberData data;
    _ViberChat* single = nullptr; // one-to-one chat with Anna
    _ViberChat* group = nullptr;  // group "Hikers" with Anna and Bob
    _ViberPerson* anna = nullptr;
    _ViberPerson* bob = nullptr;
    qint64 nextId = 1;

    // 2024-01-15 10:00:00 UTC as a record time.
    static constexpr double kDay = 727005600.0;

    _ViberPerson* person(const QString& name, const QString& number)
    {
        auto* p = new _ViberPerson;
        p->id = nextId++;
        p->name = name;
        p->number = number;
        data.p()->persons.insert(p->id, p);
        return p;
    }

    _ViberChat* chat(const QString& name, const QString& groupId, QList<_ViberPerson*> members)
    {
        auto* c = new _ViberChat;
        c->id = nextId++;
        c->name = name;
        c->groupId = groupId;
        for (_ViberPerson* p : members)
            c->members.insert(p->id, p);
        data.p()->chats.insert(c->id, c);
        return c;
    }

    _ViberMsg* msg(_ViberChat* c, int type, double date, const QString& text, ViberMsgState state,
                   _ViberPerson* from = nullptr)
    {
        auto* m = new _ViberMsg;
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

    _ViberAtta* atta(_ViberMsg* m, const QString& filePath, const QString& thumbPath, double duration = 0)
    {
        auto* a = new _ViberAtta;
        a->id = nextId++;
        a->filePath = filePath;
        a->thumbPath = thumbPath;
        a->duration = duration;
        a->msg = m;
        m->atta = a;
        data.p()->attas.insert(a->id, a);
        return a;
    }

    _ViberCall* call(_ViberMsg* m, int type, int duration, _ViberPerson* p)
    {
        auto* c = new _ViberCall;
        c->id = nextId++;
        c->type = type;
        c->duration = duration;
        c->date = m->date;
        c->person = p;
        m->call = c;
        data.p()->calls.insert(c->id, c);
        return c;
    }

    static void writeImage(const QString& path, int w = 40, int h = 30)
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        img.save(path);
    }

    static void writeBytes(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }

    // A regular file that opens but cannot be read (the process's own memory
    // image, read at address 0), even with rights that ignore permissions;
    // empty where there is none.
    static QString unreadableFile()
    {
        QFile f(QStringLiteral("/proc/self/mem"));
        char c = 0;
        if (!QFileInfo(f.fileName()).isFile() || !f.open(QIODevice::ReadOnly) || f.read(&c, 1) >= 0)
            return QString();
        return f.fileName();
    }

    // Every kind of message in both chats; media files go into mediaDir.
    void fill(const QString& mediaDir)
    {
        anna = person(QStringLiteral("Anna"), QStringLiteral("+4911"));
        bob = person(QStringLiteral("Bob \"B\", Jr."), QStringLiteral("+4922"));
        single = chat(QString(), QString(), {anna});
        group = chat(QStringLiteral("Hikers"), QStringLiteral("g1"), {anna, bob});

        const QDir media(mediaDir);
        writeImage(media.filePath(QStringLiteral("photo.jpg")));
        writeImage(media.filePath(QStringLiteral("photo_thumb.jpg")));
        writeBytes(media.filePath(QStringLiteral("voice.m4a")), "voice-bytes");

        msg(single, MSG_TYPE_TEXT, kDay, QStringLiteral("Hello, \"world\"\nsecond line"), MSG_STATE_SENT);
        msg(single, MSG_TYPE_TEXT, kDay + 60, QStringLiteral("Hi (smiley)"), MSG_STATE_RECEIVED, anna);
        _ViberMsg* photo = msg(single, MSG_TYPE_IMAGE, kDay + 120, QString(), MSG_STATE_RECEIVED, anna);
        atta(photo, media.filePath(QStringLiteral("photo.jpg")), media.filePath(QStringLiteral("photo_thumb.jpg")));
        _ViberMsg* voice = msg(single, MSG_TYPE_AUDIO, kDay + 180, QString(), MSG_STATE_SENT);
        atta(voice, media.filePath(QStringLiteral("voice.m4a")), QString(), 75.4);
        _ViberMsg* missed = msg(single, MSG_TYPE_CALL, kDay + 240, QString(), MSG_STATE_RECEIVED, anna);
        call(missed, CALL_MISSED, 0, anna);
        msg(single, MSG_TYPE_CALL, kDay + 250, QString(), MSG_STATE_RECEIVED, anna); // call entry without a call

        msg(group, MSG_TYPE_SYSTEM, kDay + 86400, QStringLiteral("Hikers"), MSG_STATE_RECEIVED, bob)->systemType =
            SYS_NAME_CHANGED;
        msg(group, MSG_TYPE_TEXT, kDay + 86460, QStringLiteral("from bob"), MSG_STATE_RECEIVED, bob);
        msg(group, MSG_TYPE_TEXT, kDay + 86520, QStringLiteral("mine, no person"), MSG_STATE_DELIVERED);
        _ViberMsg* out = msg(group, MSG_TYPE_CALL, kDay + 86580, QString(), MSG_STATE_SENT);
        call(out, CALL_OUTGOING, 125, bob);

        msg(nullptr, MSG_TYPE_TEXT, kDay + 10, QStringLiteral("orphan"), MSG_STATE_SENT);
    }
};
