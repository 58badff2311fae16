#pragma once

#include <QString>

// The folder that holds "vbbb/", "emoji/" and "vb_emoji/" (the bubble style
// sheet and pictures): beside the executable in a build tree, share/ferrowick
// in an installed prefix (g_runtimeFolder). FERROWICK_BUBBLE_DIR overrides it,
// so tests and tools can point at a build's copy.
QString g_bubbleSrcDir();
