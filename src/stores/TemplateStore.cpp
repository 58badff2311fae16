#include "stores/TemplateStore.h"

#include "shell/Failure.h"
#include "shell/FileRoutines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void g_copyTemplateStoreThrow(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    g_removeSqliteFiles(path);
    QFile tmpl(QStringLiteral(":res/Contacts.data"));
    if (!tmpl.copy(path))
        g_raise(QStringLiteral("can not write %1. %2").arg(path, tmpl.errorString()));
    // Resource copies are read-only.
    if (!QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner))
        g_raise(QStringLiteral("can not write %1.").arg(path));
}
