#include "stores/DemoHistory.h"

#include "model/EmojiText.h"
#include "shell/DataFolders.h"
#include "stores/DemoMedia.h"
#include "stores/IOSStoreWriter.h"
#include "stores/StorePaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <stdexcept>

namespace {
// Bump when the sample changes, so that caches of an older one are rebuilt.
const char* const kDemoFolder = "demo-v1";

struct Person
{
    const char* name;
    const char* number;
    QColor color;
    bool hasAvatar;
};

const Person kPeople[] = {
    {"Mila Novak", "15550100101", QColor(220, 90, 90), true},
    {"Tomas Berg", "15550100102", QColor(90, 140, 220), true},
    {"Ines Duarte", "15550100103", QColor(240, 170, 60), true},
    {"Kofi Mensah", "15550100104", QColor(80, 170, 120), false},
    {"Yuki Sato", "15550100105", QColor(170, 100, 200), true},
    {"Lena Fischer", "15550100106", QColor(60, 170, 190), false},
    {"Omar Haddad", "15550100107", QColor(200, 120, 60), true},
    {"Priya Nair", "15550100108", QColor(230, 100, 160), false},
    {"Jonas Weber", "15550100109", QColor(100, 110, 130), true},
    {"Sofia Rossi", "15550100110", QColor(150, 190, 70), false},
    {"Arjun Patel", "15550100111", QColor(210, 180, 90), false},
    {"Elif Demir", "15550100112", QColor(120, 90, 60), true},
};

const char* const kLines[] = {
    "Good morning! \xE2\x98\x80\xEF\xB8\x8F",
    "Are we still on for Saturday?",
    "Yes, 10 am at the trailhead (like)",
    "I'll bring coffee (coffee)",
    "Running 10 minutes late, sorry! \xF0\x9F\x99\x88",
    "No worries \xF0\x9F\x98\x8A",
    "Did you see the photos from last week?",
    "That view was amazing (inlove)",
    "Happy birthday!!! \xF0\x9F\x8E\x82\xF0\x9F\x8E\x89",
    "Thank you so much (heart)",
    "Can you send me the address?",
    "Dinner at our place on Friday? (pizza)",
    "Sounds great, what should I bring?",
    "Just yourself \xF0\x9F\x98\x84",
    "The train is delayed again (mad)",
    "I finished the book, the ending was unexpected",
    "No spoilers please! (zzz)",
    "Call me when you're free",
    "On my way \xF0\x9F\x9A\xB2",
    "Rain all day here (rain)",
    "Sunny here, finally (sun)",
    "Let's meet next week then",
    "Good night \xF0\x9F\x8C\x99",
    "Haha (laugh)",
    "Ok \xF0\x9F\x91\x8D",
    "Who is bringing the tent?",
    "I can take the car (car)",
    "Chapter 5 for next meeting",
    "Missed you today (sad)",
    "See you soon! (wink)",
};

void writeImage(const QDir& root, const QString& rel, const QImage& img, const char* format)
{
    const QString path = root.absoluteFilePath(rel);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!img.save(path, format))
        throw std::runtime_error("cannot write " + path.toStdString());
}

void writeBytes(const QDir& root, const QString& rel, const QByteArray& bytes)
{
    const QString path = root.absoluteFilePath(rel);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

class DemoBuilder
{
public:
    explicit DemoBuilder(const QString& dir)
        : m_root(dir), m_w(QDir(dir).absoluteFilePath(QStringLiteral("Documents/Contacts.data"))), m_rng(20240607)
    {
    }

    void build()
    {
        m_w.beginThrow();
        addPeople();
        addChats();
        m_w.commitThrow();
    }

private:
    using Msg = IOSStoreWriter::Message;

    void addPeople()
    {
        for (int i = 0; i < int(std::size(kPeople)); ++i) {
            const Person& p = kPeople[i];
            const qint64 contact = m_w.addContact(QString::fromUtf8(p.name), 100 + i);
            m_people << m_w.addPerson(QString::fromLatin1(p.number), QStringLiteral("icon-%1").arg(i), contact);
            if (!p.hasAvatar)
                continue;
            // Where a phone keeps the picture (a copy of the container put on
            // a simulated phone) and where a read of the container looks.
            writeImage(m_root, QStringLiteral("Documents/ViberIcons/icon-%1.jpg").arg(i), g_demoAvatar(p.color), "JPEG");
            writeImage(m_root, QStringLiteral("Documents/ContactIcons/%1.jpg").arg(QString::fromLatin1(p.number)),
                       g_demoAvatar(p.color), "JPEG");
        }
    }

    double when(int day, int minute) const { return m_start + day * 86400.0 + minute * 60.0; }

    qint64 text(qint64 chat, double date, qint64 from, const QString& t)
    {
        Msg m;
        m.chat = chat;
        m.date = date;
        m.state = from ? QStringLiteral("received") : QStringLiteral("delivered");
        m.person = from;
        m.text = t;
        m.seq = ++m_seq;
        m.token = 5000000000000LL + m_seq;
        m.emoticonRanges = viber_emoji_ranges(t);
        return m_w.addMessage(m);
    }

    void picture(qint64 chat, double date, qint64 from, bool withPreview)
    {
        const qint64 id = text(chat, date, from, QString());
        const QString name = QStringLiteral("IMG_%1.jpg").arg(1000 + m_seq);
        const QImage img = g_demoPicture(640, 480, QColor::fromHsv(int(m_seq * 29 % 360), 90, 230),
                                         QColor::fromHsv(int(90 + m_seq * 7 % 60), 150, 170), int(m_seq));
        writeImage(m_root, g_attachmentPath(name), img, "JPEG");
        if (withPreview)
            writeImage(m_root, QStringLiteral("Documents/AttachmentsPreview/") + name, img.scaledToWidth(400), "JPEG");
        m_w.addAttachment(id, QStringLiteral("picture"), name, QStringLiteral("pic-%1").arg(m_seq),
                          QFileInfo(m_root.absoluteFilePath(g_attachmentPath(name))).size());
    }

    void voice(qint64 chat, double date, qint64 from)
    {
        const qint64 id = text(chat, date, from, QString());
        const QString name = QStringLiteral("voice_%1.wav").arg(m_seq);
        const double seconds = 2 + int(m_seq % 4);
        const QByteArray wav = g_demoWav(seconds, int(m_seq));
        writeBytes(m_root, QStringLiteral("Documents/VoiceMessages/") + name, wav);
        m_w.addAttachment(id, QStringLiteral("audio"), name, QStringLiteral("ptt-%1").arg(m_seq), wav.size(), seconds);
    }

    void video(qint64 chat, double date, qint64 from)
    {
        const qint64 id = text(chat, date, from, QString());
        const QString base = QStringLiteral("VID_%1").arg(2000 + m_seq);
        const QByteArray avi = g_demoAvi(160, 120, 12, 6, int(m_seq));
        writeBytes(m_root, g_attachmentPath(base + QStringLiteral(".avi")), avi);
        writeImage(m_root, QStringLiteral("Documents/BigAttachmentsPreview/") + base + QStringLiteral(".jpg"),
                   g_demoPicture(400, 300, QColor(90, 150, 220), QColor(70, 150, 80), int(m_seq)), "JPEG");
        m_w.addAttachment(id, QStringLiteral("video"), base + QStringLiteral(".avi"), QStringLiteral("vid-%1").arg(m_seq),
                          avi.size(), 2.0);
    }

    void sticker(qint64 chat, double date, qint64 from, int stickerId)
    {
        const qint64 id = text(chat, date, from, QString());
        const QString mediaId = QString::number(stickerId);
        writeImage(m_root, g_iosStickerPreviewPath(mediaId), g_demoSticker(stickerId), "PNG");
        m_w.addAttachment(id, QStringLiteral("sticker"), QString(), mediaId);
    }

    void location(qint64 chat, double date, qint64 from, double lat, double lon, const QString& address)
    {
        Msg m;
        m.chat = chat;
        m.date = date;
        m.state = from ? QStringLiteral("received") : QStringLiteral("delivered");
        m.person = from;
        m.systemType = QStringLiteral("customLocation");
        m.text = QStringLiteral("I'm here");
        m.seq = ++m_seq;
        m.token = 5000000000000LL + m_seq;
        const qint64 id = m_w.addMessage(m);
        m_w.addLocation(id, lat, lon, address);
        writeImage(m_root, QStringLiteral("Documents/CustomLocationImage/") + g_iosCustomLocationImageName(lat, lon),
                   g_demoPicture(300, 200, QColor(230, 230, 210), QColor(200, 210, 180), int(m_seq)), "JPEG");
        m_w.addAttachment(id, QStringLiteral("customLocation"), QString());
    }

    void system(qint64 chat, double date, qint64 by, const QString& type, const QString& t)
    {
        Msg m;
        m.chat = chat;
        m.date = date;
        m.state = QStringLiteral("received");
        m.person = by;
        m.systemType = type;
        m.text = t;
        m.seq = ++m_seq;
        m_w.addMessage(m);
    }

    // A conversation of n messages spread over the months, with the
    // occasional medium among the texts.
    void converse(qint64 chat, const QList<qint64>& others, int n, int firstDay)
    {
        for (int i = 0; i < n; ++i) {
            const int day = firstDay + i * (170 - firstDay) / n;
            const double date = when(day, 8 * 60 + int(m_rng.bounded(13 * 60)));
            const qint64 from = m_rng.bounded(2) ? others.at(int(m_rng.bounded(int(others.size())))) : 0;
            const int roll = int(m_rng.bounded(100));
            if (roll < 5)
                picture(chat, date, from, roll < 3);
            else if (roll < 7)
                voice(chat, date, from);
            else if (roll < 9)
                sticker(chat, date, from, 1000 + int(m_rng.bounded(5)) * 13);
            else
                text(chat, date, from, QString::fromUtf8(kLines[m_rng.bounded(int(std::size(kLines)))]));
        }
    }

    void addChats()
    {
        const auto& p = m_people;
        // One-to-one chats.
        for (int i = 0; i < 6; ++i) {
            const qint64 chat = m_w.addChat(when(170, i), {p.at(i)});
            converse(chat, {p.at(i)}, 30 + i * 4, i * 3);
        }
        // Groups.
        const qint64 hiking = m_w.addChat(when(172, 0), {p.at(1), p.at(2), p.at(4), p.at(6), p.at(8)},
                                          QString::fromUtf8("Hiking Club \xE2\x9B\xB0"), QStringLiteral("grp-hiking"));
        system(hiking, when(2, 600), p.at(1), QStringLiteral("systemNameChanged"), QString::fromUtf8("Hiking Club \xE2\x9B\xB0"));
        system(hiking, when(2, 605), p.at(1), QStringLiteral("systemMemberAdded"), QStringLiteral("Omar Haddad"));
        converse(hiking, {p.at(1), p.at(2), p.at(4), p.at(6), p.at(8)}, 60, 3);
        location(hiking, when(40, 540), p.at(2), 46.5586, 7.8354, QStringLiteral("Trailhead parking, Lauterbrunnen"));
        location(hiking, when(95, 520), 0, 47.0502, 8.3093, QStringLiteral("Lakeside station"));
        video(hiking, when(41, 900), p.at(4));
        video(hiking, when(96, 1000), 0);
        picture(hiking, when(41, 910), p.at(6), false);

        const qint64 family = m_w.addChat(when(168, 0), {p.at(9), p.at(10), p.at(11)}, QStringLiteral("Family"),
                                          QStringLiteral("grp-family"));
        converse(family, {p.at(9), p.at(10), p.at(11)}, 45, 0);
        location(family, when(120, 700), p.at(11), 41.0082, 28.9784, QStringLiteral("Old town square"));

        const qint64 books = m_w.addChat(when(160, 0), {p.at(3), p.at(5), p.at(7)}, QString::fromUtf8("Book Circle \xF0\x9F\x93\x9A"),
                                         QStringLiteral("grp-books"));
        system(books, when(10, 700), p.at(5), QStringLiteral("systemMemberAdded"), QStringLiteral("Priya Nair"));
        converse(books, {p.at(3), p.at(5), p.at(7)}, 35, 10);

        // Calls of every type; Jonas and Elif have no one-to-one chat.
        const char* types[] = {"incoming", "outgoing", "missed"};
        for (int i = 0; i < 18; ++i) {
            const qint64 person = p.at(i % 8 == 7 ? 8 : i % 6);
            const QString type = QString::fromLatin1(types[i % 3]);
            m_w.addCall(person, type, type == QLatin1String("missed") ? 0 : 20 + int(m_rng.bounded(900)),
                        when(5 + i * 9, 18 * 60 + i), 900000 + i);
        }
        m_w.addCall(p.at(11), QStringLiteral("incoming"), 312, when(150, 1200), 990001);
    }

    QDir m_root;
    IOSStoreWriter m_w;
    QRandomGenerator m_rng;
    QList<qint64> m_people;
    qint64 m_seq = 0;
    const double m_start = 726000000; // early January 2024
};
} // namespace

void g_writeDemoContainerThrow(const QString& dir)
{
    DemoBuilder(dir).build();
}

QString g_demoContainerThrow(const DataFolders& folders)
{
    const QDir cache = folders.cacheDir();
    const QString target = cache.filePath(QString::fromLatin1(kDemoFolder));
    if (QFileInfo::exists(QDir(target).filePath(QStringLiteral("Documents/Contacts.data"))))
        return target;
    if (!cache.mkpath(QStringLiteral(".")))
        throw std::runtime_error("cannot create " + cache.path().toStdString());
    QTemporaryDir work(cache.filePath(QStringLiteral("demo-build-XXXXXX")));
    if (!work.isValid())
        throw std::runtime_error("cannot create a folder in " + cache.path().toStdString());
    const QString built = work.filePath(QStringLiteral("c"));
    g_writeDemoContainerThrow(built);
    // Another process may have won the race; its copy is as good as ours.
    if (!QDir().rename(built, target) && !QFileInfo::exists(QDir(target).filePath(QStringLiteral("Documents/Contacts.data"))))
        throw std::runtime_error("cannot move the sample history into " + target.toStdString());
    return target;
}
