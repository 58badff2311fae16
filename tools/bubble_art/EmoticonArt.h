#pragma once

#include <QImage>
#include <QString>

// A picture for one Viber emoticon token such as "(smiley)", drawn as simple
// vector art on a transparent square of `size` pixels. Tokens without a
// drawing of their own get a round badge with the token's initial.
QImage drawEmoticon(const QString& token, int size);
