#pragma once

#include <QString>

// The style sheet every window and dialog applies (the resource
// ":/res/style.css", read once); empty when the resource cannot be read.
QString getStyleSheet();
