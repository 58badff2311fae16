#pragma once

#include "model/ViberData.h"
#include "support/FileBytes.h"
#include "support/RecordBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

// A small data set with every message kind, built in memory, with attachment
// files written into a folder. Times are fixed record times (UTC in tests).
struct ExportTestData : RecordBuilder
{
    _ViberChat* single = nullptr; // one-to-one chat with Anna
    _ViberChat* group = nullptr;  // group "Hikers" with Anna and Bob
    _ViberPerson* anna = nullptr;
    _ViberPerson* bob = nullptr;

    // 2024-01-15 10:00:00 UTC as a record time.
    static constexpr double kDay = 727005600.0;

    static void writeImage(const QString& path, int w = 40, int h = 30)
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        img.save(path);
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
        g_writeFile(media.filePath(QStringLiteral("voice.m4a")), "voice-bytes");

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
