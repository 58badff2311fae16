#include "render/BubbleResources.h"

#include "shell/RuntimeFolders.h"

QString g_bubbleSrcDir()
{
    return g_runtimeFolder(RuntimeFolder::Artwork);
}
