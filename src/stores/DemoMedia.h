#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

// Small real media files for the built-in sample history: pictures drawn in
// code, a spoken-tone WAV file and a Motion-JPEG AVI video.

// A landscape-like picture: sky, hills and a sun in the given colours.
QImage g_demoPicture(int width, int height, const QColor& sky, const QColor& land, int seed);
// A round avatar: a figure on a coloured disc.
QImage g_demoAvatar(const QColor& color);
// A sticker: a coloured face on a transparent background.
QImage g_demoSticker(int seed);
// 16-bit mono PCM WAV of a few tones, seconds long.
QByteArray g_demoWav(double seconds, int seed);
// A Motion-JPEG AVI of frames drawn from the picture generator.
QByteArray g_demoAvi(int width, int height, int frames, int fps, int seed);
