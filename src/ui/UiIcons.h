#pragma once

#include <QImage>
#include <QString>

// Width the tree and list icons are shown at.
constexpr int kTreeIconWidth = 18;

// The resource picture ":/res/<name>.png" scaled to kTreeIconWidth, loaded once
// per name; an empty image when there is no such picture.
QImage g_uiIcon(const QString& name);
