#include "export/BubbleResources.h"

#include <QCoreApplication>
#include <QDir>

QString g_bubbleSrcDir()
{
    const QString env = qEnvironmentVariable("FERROWICK_BUBBLE_DIR");
    if (!env.isEmpty())
        return QDir(env).absolutePath();
    return QCoreApplication::applicationDirPath();
}
