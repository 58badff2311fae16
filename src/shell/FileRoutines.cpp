#include "shell/FileRoutines.h"

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

QString g_md5(const QString& s)
{
    return QString::fromLatin1(QCryptographicHash::hash(s.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString g_formatFileName(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (QChar c : name) {
        switch (c.unicode()) {
        case u'\\': case u'/': case u':': case u'*': case u'?': case u'"':
        case u'<': case u'>': case u'|': case u'\n': case u'\r': case u'\t':
            continue;
        default:
            out.append(c);
        }
    }
    return out.trimmed();
}

QString g_getValidFilePath(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return path;
    // The counter goes before the last suffix and keeps every other part of the
    // name, so "Mr. Smith.html" becomes "Mr. Smith(1).html".
    const QString fileName = info.fileName();
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const bool hasSuffix = dot > 0 && dot < fileName.size() - 1;
    const QString stem = hasSuffix ? fileName.left(dot) : fileName;
    const QString suffix = hasSuffix ? fileName.mid(dot) : QString();
    const QDir dir = info.dir();
    for (quint64 n = 1;; ++n) {
        const QString candidate = dir.filePath(QStringLiteral("%1(%2)%3").arg(stem).arg(n).arg(suffix));
        const QFileInfo c(candidate);
        if (!c.exists() && !c.isSymLink())
            return candidate;
    }
}

void g_delDirCascade(const QString& path)
{
    const QFileInfo top(path);
    if (top.isSymLink() || !top.isDir())
        return;
    QDir dir(path);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Dirs | QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& e : entries) {
        if (e.isSymLink() || !e.isDir())
            QFile::remove(e.absoluteFilePath());
        else
            g_delDirCascade(e.absoluteFilePath());
    }
    QDir().rmdir(path);
}

void g_openLink(const QString& url)
{
    QDesktopServices::openUrl(QUrl(url));
}

void g_openFileOrFolder(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
