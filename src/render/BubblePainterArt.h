#pragma once

#include <QImage>
#include <QList>
#include <QSize>

// Pictures of the bubble look drawn in code. The build writes them into the
// vbbb/ folder beside the executables; the printer falls back to them when
// that folder is missing or damaged.

// The nine pieces of a bubble style (BubbleType) in row order, each as large
// as the style's border; an unknown type gives an empty list.
QList<QImage> g_drawBubbleNine(int type);

// Stand-in for a picture that cannot be shown.
QImage g_drawEmptyPhoto(const QSize& size);

// Icon of a voice message.
QImage g_drawVoiceIcon(int size);
