#pragma once

#include <QByteArray>
#include <QHash>
#include <QRegularExpression>
#include <QString>

// Replaces every match of rx by handler(ctx, match); the rest of the text is
// copied unchanged. A pattern that matches the empty string advances by one
// unit so the walk always ends.
QString rx_replace(const QString& text, const QRegularExpression& rx,
                   QString (*handler)(void* ctx, const QRegularExpressionMatch& m), void* ctx);

// Whether text holds any unit at or above U+203C, where emoji begin: most
// texts do not, and can skip every emoji pass.
bool g_mayHoldEmoji(const QString& text);

// Replaces each Unicode emoji of text by handler(ctx, code), where code is the
// emoji's code point in upper-case hexadecimal. Two passes over UTF-16 units:
// first the single-unit symbols (a list of BMP symbols; a unit of the old
// Japanese emoji encoding, private-use E000-E537, becomes its standard emoji
// where that is known and otherwise stays as it is), then surrogate pairs
// whose high unit is D83C or D83D.
QString emoji_replace(const QString& text, QString (*handler)(void* ctx, const QString& code), void* ctx);

// Handler that writes "[EMOJI]" for every emoji (list summaries, printing).
QString viber_emoji_plain_replace_handler(void* ctx, const QString& code);

// Viber emoticon tokens such as "(smiley)" mapped to their Viber codes.
const QHash<QString, int>& viber_emojicode_set();

// The emoticon ranges the iPhone store keeps beside a text: for each known
// "(token)" three little-endian 32-bit integers (position in UTF-16 units,
// length, code).
QByteArray viber_emoji_ranges(const QString& text);

// Finds the next "(...)" run without nested parentheses at or after from.
// Returns false when there is none; otherwise sets start and length.
bool viber_find_paren_token(const QString& text, qsizetype from, qsizetype& start, qsizetype& length);

// The standard emoji that matches a Viber emoticon token ("(heart)" gives
// U+2764 U+FE0F); empty for a token that is not Viber's.
QString viber_emoticon_emoji(const QString& token);

// A text as a person reads it where emoji can be drawn (the message list,
// printouts): emoji stay emoji, emoji of the old private-use encoding become
// their standard ones, and Viber's emoticon tokens become matching emoji.
// Other parenthesised words are left alone.
QString viber_readable_text(const QString& text);
