#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSharedData>
#include <QString>
#include <QVariant>

// The records of one Viber history. Every time is a double of seconds since
// 2001-01-01 00:00:00 UTC, the unit of the iPhone store.

enum ViberMsgState : qint32 {
    MSG_STATE_UNKNOWN = 0,
    MSG_STATE_DELIVERED = 1,
    MSG_STATE_RECEIVED = 2,
    MSG_STATE_SENT = 3,
    MSG_STATE_PENDING = 4,
};

enum ViberMsgType : qint32 {
    MSG_TYPE_CALL = 1,
    MSG_TYPE_IMAGE = 2,
    MSG_TYPE_LOCATION = 3,
    MSG_TYPE_SYSTEM = 4,
    MSG_TYPE_AUDIO = 5,
    MSG_TYPE_STICKER = 6,
    MSG_TYPE_TEXT = 7,
    MSG_TYPE_VIDEO = 8,
};

enum ViberSystemType : qint32 {
    SYS_NONE = 0,
    SYS_NAME_CHANGED = 1,
    SYS_MEMBER_ADDED = 2,
};

enum ViberCallType : qint32 {
    CALL_INCOMING = 1,
    CALL_OUTGOING = 2,
    CALL_MISSED = 3,
};

struct _ViberChat;
struct _ViberMsg;
struct _ViberAtta;
struct _ViberCall;
struct _ViberPerson;

struct _ViberEntity
{
    virtual ~_ViberEntity() = default;

    // Fields of the source row that the record does not name, as a tinykv blob.
    QByteArray others;

    void serOthers(const QHash<QString, QVariant>& values);
    QHash<QString, QVariant> unserOthers() const;
};

struct _ViberPerson : _ViberEntity
{
    qint64 id = 0;
    QString number;
    QString name;
    QString viberIconPath;
    QString picturePath;
    QString contactIconPath;

    QString display() const;
    QString fullDisplay() const;
};

struct _ViberChat : _ViberEntity
{
    qint64 id = 0;
    double date = 0;
    QString name;
    QString groupId;
    QHash<qint64, _ViberPerson*> members; // not owned
    QList<_ViberMsg*> msgs;               // not owned, load order

    QString display() const;
    QString fullDisplay() const;
};

struct _ViberCall : _ViberEntity
{
    qint64 id = 0;
    qint64 token = 0;
    qint32 duration = 0;
    double date = 0;
    qint32 type = CALL_INCOMING;
    bool video = false; // a video call; type still says incoming, outgoing or missed
    _ViberPerson* person = nullptr;

    QString display() const;
    // "2' 5''"; empty when the length is not known (a negative duration, as a
    // damaged store may hold).
    QString lengthText() const;
};

struct _ViberAtta : _ViberEntity
{
    qint64 id = 0;
    qint64 fileSize = 0;
    qint64 seq = 0;
    double duration = 0;
    QString mediaId;
    QString bucket;
    QString name;
    QString filePath;
    QString thumbPath;
    _ViberMsg* msg = nullptr;

    QString stickerHttpUrl() const;
    QString iosAssetUID() const;
};

// What a location message adds to a message.
struct _ViberPlace : QSharedData
{
    double latitude = 0;
    double longitude = 0;
    QString address;
};

struct _ViberMsg : _ViberEntity
{
    qint64 id = 0;
    qint64 token = 0;
    qint64 seq = 0;
    double date = 0;
    double stateDate = 0;
    ViberMsgState state = MSG_STATE_UNKNOWN;
    qint32 type = 0;
    qint32 systemType = SYS_NONE;
    QString text;
    _ViberChat* chat = nullptr;
    _ViberAtta* atta = nullptr;
    _ViberPerson* person = nullptr;
    _ViberCall* call = nullptr;

    // How a summary writes the sender's text.
    enum SummaryText {
        SUMMARY_PLAIN,      // emoji as "[EMOJI]", emoticon tokens as typed (text files, listings)
        SUMMARY_AS_WRITTEN, // the text exactly as the sender wrote it
        SUMMARY_READABLE,   // emoji drawn, emoticons as matching emoji, stickers without their number
    };

    // The place of a location message: 0, 0 and no address for any other.
    double latitude() const { return m_place ? m_place->latitude : 0; }
    double longitude() const { return m_place ? m_place->longitude : 0; }
    QString address() const { return m_place ? m_place->address : QString(); }
    void setLocation(double latitude, double longitude, const QString& address);

    QString systemMsgDisplay() const;
    QString summary(SummaryText style = SUMMARY_PLAIN) const;
    bool isFromMe() const;
    QString locationHttpPath() const;

private:
    // Apart from the record, and only where there is a place: nearly every
    // message has none, and a history loads a million records at once.
    QExplicitlySharedDataPointer<_ViberPlace> m_place;
};

// Sort predicates (strict weak orders for std::sort).
bool compareViberMsgAsc(const _ViberMsg* a, const _ViberMsg* b);
bool compareViberMsgDesc(const _ViberMsg* a, const _ViberMsg* b);
// Two messages of different chats order by chat key (messages without a
// chat first); otherwise by time.
bool compareMessageChatDateAsc(const _ViberMsg* a, const _ViberMsg* b);

// The two sorts below go through a flat array of keys: a million messages
// sort several times faster than by chasing each record pointer.
// What std::stable_sort with compareViberMsgAsc (or Desc) gives:
void g_stableSortByDate(QList<_ViberMsg*>& msgs, bool descending = false);
// The export and backup order, compareMessageChatDateAsc with messages of
// the same time in key order so a source always comes out the same; by time
// and key alone when byChat is false:
void g_sortByChatAndTime(QList<_ViberMsg*>& msgs, bool byChat = true);
// Most recent activity first, as the chat list shows it.
bool compareViberChatDesc(const _ViberChat* a, const _ViberChat* b);
bool compareViberCallDesc(const _ViberCall* a, const _ViberCall* b);
bool compareViberPersonAsc(const _ViberPerson* a, const _ViberPerson* b);

// The number with every non-digit removed, unless it holds an ASCII letter.
QString viberPlainNumber(const QString& s);
