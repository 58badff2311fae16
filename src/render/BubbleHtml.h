#pragma once

#include "model/ViberRecords.h"

#include <QDate>
#include <QString>

#include <functional>

// How the bubble markup refers to pictures and files. The bubble view links
// the files where they are and the pictures beside the application; the HTML
// export copies both next to the page first.
struct BubbleHtmlOptions
{
    QString assetPrefix = QStringLiteral("vbbb/");      // voice.png, empty_photo.jpg
    QString emojiPrefix = QStringLiteral("emoji/");     // <code>.png
    QString vbEmojiPrefix = QStringLiteral("vb_emoji/"); // (token).png
    QString separator;                                  // written after every piece
    QString linkTarget;                                 // "_blank" opens links in a new window
    int imageMax = 128;                                 // picture size of image messages
    int otherMax = 128;                                 // locations, stickers, videos
    bool substituteMissing = true;                      // empty_photo.jpg for missing pictures
    // The messages come from several chats: every bubble names its chat (and
    // a group message its sender too), as one page of mixed chats would not
    // say whose a message is otherwise.
    bool nameChats = false;
    // Times as the system locale writes them (the message list's clock);
    // otherwise "hh:mm ap", as exported pages always had them.
    bool systemClock = false;
    // The reference the page uses for a local attachment path; by default the
    // file's own URL.
    std::function<QString(const QString& localPath)> localRef;
    // Called for every emoji picture a page is about to show, with its path
    // below the bubble folder ("emoji/1F600.png"); false keeps the text
    // instead. Unset: every picture is taken to be there.
    std::function<bool(const QString& relative)> usePicture;

    static BubbleHtmlOptions forView();
    static BubbleHtmlOptions forExport(std::function<QString(const QString&)> copyIntoFiles);
};

// Text made safe for HTML: & < > escaped, line feeds as <br/>, Unicode emoji
// and known Viber emoticons as pictures.
QString g_htmlEncode(const QString& text);
QString g_htmlEncode(const QString& text, const BubbleHtmlOptions& options);

// Viber emoticon tokens replaced by pictures where the picture exists.
QString vbemoji_replace(const QString& text, const QString& prefix = QStringLiteral("vb_emoji/"));

// A value made safe inside a double-quoted attribute.
QString g_htmlAttr(const QString& value);

// The URL text of a local file, percent-encoded.
QString g_fileUrlText(const QString& localPath);

// A location message's place in words: its address, else its coordinates
// ("52.500000, 13.400000"), else nothing.
QString g_locationText(const _ViberMsg& m);

QString showCenterInfo(const QString& text, const BubbleHtmlOptions& options);
// A picture linked to link; without a link, the picture alone.
QString imgClickableHtml(const QString& link, const QString& src, int maxSize, const QString& extra,
                         const BubbleHtmlOptions& options);
// One chat bubble (received or own) with its content.
QString showMessage(const _ViberMsg& m, const BubbleHtmlOptions& options);

// The markup of one message as it follows the previous one: a date box when
// the day changed (lastDate is updated), then a bubble, a call box or a system
// box by kind. Kinds without markup give an empty text.
QString messageSequenceHtml(const _ViberMsg& m, QDate& lastDate, const BubbleHtmlOptions& options);
