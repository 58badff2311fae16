#pragma once

#include <QString>

struct _ViberMsg;

// Field formats shared by the listing commands (chats, messages).

// A field of a tab-separated line: tabs and line breaks written as \t, \n
// and \r, so that every record stays on one line, and every other control
// character (ESC, NUL, DEL, C1) as \xHH: names come from the store and must
// not reach a terminal as commands.
QString g_listingField(const QString& text);
// Text for the terminal that may span lines: control characters other than
// the line break written as in g_listingField.
QString g_terminalText(const QString& text);
// A record time as local "yyyy-MM-dd hh:mm:ss".
QString g_listingDate(double t);
// The "Flag" column of the message list: To (from the owner), From, or
// empty for calls and system messages.
QString g_messageFlag(const _ViberMsg& m);
// The "Contact" column of the message list.
QString g_messageContact(const _ViberMsg& m);
