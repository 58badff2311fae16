#include "jobs/TemplateStore.h"

#include "shell/Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void g_copyTemplateStoreThrow(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
    QFile tmpl(QStringLiteral(":res/Contacts.data"));
    if (!tmpl.copy(path))
        g_raise(QStringLiteral("can not write %1. %2").arg(path, tmpl.errorString()));
    // Resource copies are read-only.
    if (!QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner))
        g_raise(QStringLiteral("can not write %1.").arg(path));
}
