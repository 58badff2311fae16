#pragma once

// The large iPhone-layout store the benchmarks read: generated once into
// FERROWICK_BENCH_DIR (default: the system temp folder) and reused by later
// runs.
#include "sqlite/Sqlite3DB.h"
#include "stores/IOSStoreWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace bench_store {
inline const char* const kWords[] = {"ok", "see", "you", "later", "tomorrow", "morning", "thanks", "great", "photo",
                              "call", "me", "when", "free", "dinner", "at", "eight", "the", "train", "is", "late",
                              "(smiley)", "\xF0\x9F\x98\x84", "\xF0\x9F\x91\x8D", "love", "it", "where", "are"};

inline QString benchDir()
{
    const QByteArray env = qgetenv("FERROWICK_BENCH_DIR");
    return env.isEmpty() ? QDir::temp().filePath(QStringLiteral("ferrowick-bench")) : QString::fromLocal8Bit(env);
}

inline QString randomText(QRandomGenerator& rng)
{
    // Mostly short chat lines, now and then a long one.
    const int words = rng.bounded(100) < 90 ? 1 + rng.bounded(12) : 20 + rng.bounded(60);
    QString t;
    for (int i = 0; i < words; ++i) {
        if (i)
            t += QLatin1Char(' ');
        t += QString::fromUtf8(kWords[rng.bounded(int(std::size(kWords)))]);
    }
    return t;
}

// Writes a container with n messages in `chats` chats (every tenth a group)
// among 2 000 people: about 8% attachments of every kind, 1% locations and
// one call per 50 messages.
inline void generate(const QString& root, int n, int chats = 1000)
{
    const QString path = QDir(root).filePath(QStringLiteral("Documents/Contacts.data"));
    IOSStoreWriter w(path + QStringLiteral(".part"));
    w.setBulkMode();
    w.beginThrow();
    QRandomGenerator rng(n);
    Sqlite3DB& db = w.db();
    const int people = 2000;
    for (int i = 1; i <= people; ++i) {
        db.executeThrow(Sqlite3Sql("insert into ZABCONTACT (Z_ENT, Z_OPT, ZRECORDID, ZMAINNAME) values (1, 1, ?, ?)")
                            .addIntParam(i)
                            .addTextParam(QStringLiteral("Person %1").arg(i)));
        db.executeThrow(Sqlite3Sql("insert into ZPHONENUMBERINDEX (Z_ENT, Z_OPT, ZCONTACT, ZCANONIZEDPHONENUM, ZICONID) "
                                   "values (8, 1, ?, ?, ?)")
                            .addIntParam(i)
                            .addTextParam(QString::number(15550000000LL + i))
                            .addTextParam(QStringLiteral("icon%1").arg(i)));
    }
    for (int c = 1; c <= chats; ++c) {
        const bool group = c % 10 == 0;
        db.executeThrow(Sqlite3Sql("insert into ZCONVERSATION (Z_ENT, Z_OPT, ZDATE, ZNAME, ZGROUPID) values (4, 1, ?, ?, ?)")
                            .addDoubleParam(700000000 + c)
                            .addParam(group ? QVariant(QStringLiteral("Group %1").arg(c)) : QVariant())
                            .addParam(group ? QVariant(QStringLiteral("g%1").arg(c)) : QVariant()));
        const int members = group ? 5 : 1;
        for (int m = 0; m < members; ++m)
            db.executeThrow(Sqlite3Sql("insert or ignore into Z_4PHONENUMINDEXES values (?, ?)")
                                .addIntParam(c)
                                .addIntParam(1 + (c * 7 + m * 13) % people));
    }
    const char* kinds[] = {"picture", "sticker", "audio", "video"};
    for (int i = 1; i <= n; ++i) {
        const int chat = 1 + rng.bounded(chats);
        const bool received = rng.bounded(2);
        const int roll = rng.bounded(100);
        const bool location = roll == 99;
        const QString text = roll < 8 ? QString() : randomText(rng);
        db.executeThrow(Sqlite3Sql("insert into ZVIBERMESSAGE (Z_ENT, Z_OPT, ZSEQ, ZTOKEN, ZCONVERSATION, "
                                   "ZPHONENUMINDEX, ZDATE, ZSTATEDATE, ZSTATE, ZSYSTEMTYPE, ZTEXT) values "
                                   "(16, 1, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                            .addIntParam(i)
                            .addInt64Param(6000000000000LL + i)
                            .addIntParam(chat)
                            .addIntParam(received ? 1 + (chat * 7) % people : 0)
                            .addDoubleParam(600000000.0 + i * 30.0)
                            .addDoubleParam(600000000.0 + i * 30.0 + 2)
                            .addTextParam(received ? QStringLiteral("received") : QStringLiteral("delivered"))
                            .addParam(location ? QVariant(QStringLiteral("customLocation")) : QVariant())
                            .addTextParam(text));
        if (roll < 8) {
            const QString kind = QString::fromLatin1(kinds[roll % 4]);
            db.executeThrow(Sqlite3Sql("insert into ZATTACHMENT (Z_ENT, Z_OPT, ZMESSAGE, ZTYPE, ZNAME, ZID, ZFILESIZE, "
                                       "ZBUCKET, ZSTATE) values (3, 1, ?, ?, ?, ?, ?, 'share', 'downloaded')")
                                .addIntParam(i)
                                .addTextParam(kind)
                                .addTextParam(QStringLiteral("file%1.jpg").arg(i))
                                .addTextParam(QString::number(1000 + i % 500))
                                .addIntParam(10000 + i % 90000));
        }
        if (location)
            db.executeThrow(Sqlite3Sql("insert into ZVIBERLOCATION (Z_ENT, Z_OPT, ZMESSAGE, ZLATITUDE, ZLONGITUDE, "
                                       "ZADDRESS) values (15, 1, ?, 48.85, 2.29, 'Somewhere 1')")
                                .addIntParam(i));
        if (i % 50 == 0) {
            // With fewer chats than the usual 1 000, calls stay with the people
            // of those chats instead of opening a chat of their own each.
            const int callee = chats == 1000 ? 1 + rng.bounded(people) : 1 + (chat * 7) % people;
            w.addCall(callee, i % 150 == 0 ? QStringLiteral("missed") : QStringLiteral("incoming"),
                      rng.bounded(600), 600000000.0 + i * 30.0, i);
        }
    }
    w.commitThrow();
    db.close();
    QFile::rename(path + QStringLiteral(".part"), path);
}

// The container folder of the store with n messages in `chats` chats.
inline QDir store(int n, int chats = 1000)
{
    const QString name = chats == 1000 ? QStringLiteral("store-%1").arg(n)
                                       : QStringLiteral("store-%1-chats%2").arg(n).arg(chats);
    const QDir root(QDir(benchDir()).filePath(name));
    if (!QFileInfo::exists(root.filePath(QStringLiteral("Documents/Contacts.data")))) {
        QFile::remove(root.filePath(QStringLiteral("Documents/Contacts.data.part")));
        generate(root.path(), n, chats);
    }
    return root;
}
} // namespace bench_store
