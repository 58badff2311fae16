#pragma once

#include <QString>

// The folder beside the executable that holds "vbbb/", "emoji/" and
// "vb_emoji/" (the bubble style sheet and pictures). FERROWICK_BUBBLE_DIR
// overrides it, so tests and tools can point at a build's copy.
QString g_bubbleSrcDir();
