#pragma once

#include <QImage>
#include <QList>
#include <QString>

// Colour emoji for painters that cannot draw colour fonts: a PDF writer or a
// printer draws Noto Color Emoji glyphs as nothing (or as a plain symbol of
// another font), so printouts paint each emoji as a picture instead.

// One emoji in a text: a whole grapheme cluster (flags, skin tones and
// joined sequences included).
struct EmojiSpan
{
    qsizetype start;
    qsizetype length;
};

// The emoji clusters of text that can be drawn as pictures, in order. Empty
// when the colour emoji font is not installed.
QList<EmojiSpan> g_findEmoji(const QString& text);

// Whether a grapheme cluster is an emoji (by its code points alone).
bool g_isEmojiCluster(QStringView cluster);

// The cluster drawn in colour on a transparent square `side` layout pixels
// wide (at `scale` device pixels each); null when it cannot be drawn.
// Pictures are kept for reuse; safe from any thread.
QImage g_emojiPicture(const QString& cluster, int side, qreal scale = 2.0);
