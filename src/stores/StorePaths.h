#pragma once

#include <QByteArrayView>
#include <QDir>
#include <QString>

// Path and text helpers shared by the store readers.

// Whether a file name taken from a store may be joined to a folder: not empty,
// not "." and without "/", "\\", ".." or NUL. Stores are untrusted, and a name
// like "../../x" would otherwise reach outside the container.
bool g_isPlainFileName(const QString& name);

// Whether s is one or more ASCII digits.
bool g_isAsciiDigits(const QString& s);

// Case-insensitive comparison of a UTF-8 column value with an ASCII word,
// without making a QString for the common ASCII case.
bool g_utf8EqualsNoCase(QByteArrayView utf8, const char* word);
bool g_utf8ContainsNoCase(QByteArrayView utf8, const char* word);
// The call type a store's call-type word names (CALL_INCOMING, CALL_OUTGOING,
// CALL_MISSED), or 0 for a word of no known kind.
int g_callTypeOfText(QByteArrayView utf8);

// The word a store of the iPhone app keeps for a call's kind ("missed",
// "outgoing_viber", "incoming", with "_with_video" for video calls), and for
// the attachment kind of a message type ("picture", "audio", ...; empty for
// types without an attachment kind).
QString g_iosCallTypeText(int callType, bool video);
QString g_iosAttachmentTypeText(int msgType);

// Where the app keeps attachment files, relative to its container:
// "Documents/Attachments/<name>".
QString g_attachmentPath(const QString& name);

// Whole seconds of a record time; times no store can hold count as 0.
qint64 g_wholeSeconds(double t);

struct __ViberData;
struct _ViberCall;
struct _ViberChat;
struct _ViberPerson;
// A chat of its own for the calls of a person who has none, under a key no
// chat uses yet: the count of chats, negated, unless a store with odd keys
// has taken it already.
_ViberChat* g_addCallChat(__ViberData* d, _ViberPerson* person);

// Adds the message that stands for a call in its chat, keyed by the negated
// call key, and moves the chat's last activity forward to the call.
void g_addCallMessage(__ViberData* d, _ViberCall* call, _ViberChat* chat);

// "Documents/stickers/<n/100*100>/100/<id padded to 8>.png" for a sticker id
// (n is the id read as a decimal integer, 0 when it is not one).
QString g_iosStickerPreviewPath(const QString& mediaId);

// The preview file name of a custom location: the latitude in the general
// format with at most 8 significant digits, zero-padded to 6 decimals, "_",
// the longitude truncated to an integer, ".jpg" (48.8588, 2.2943 gives
// "48.858800_2.jpg").
QString g_iosCustomLocationImageName(double latitude, double longitude);

// Makes a preview of the image at src: scaled (fast) to 400 pixels on its
// longer side and saved at dst in the format of dst's suffix. Nothing is
// written unless dst's folder lies inside base once links are resolved.
// Failures are silent: a missing preview is not an error of the load.
void g_makeImagePreview(const QString& src, const QString& dst, const QDir& base);
