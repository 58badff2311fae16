#include "shell/FileRoutines.h"

#include "shell/Failure.h"

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDir>
#include <QFileDevice>
#include <QFileInfo>
#include <QUrl>

#include <atomic>
#include <cerrno>

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

namespace {
std::atomic_int g_writeFault{0};

bool injectedFault()
{
    int n = g_writeFault.load();
    while (n > 0) {
        if (g_writeFault.compare_exchange_weak(n, n - 1))
            return n == 1;
    }
    return false;
}
} // namespace

void g_failNthWriteForTest(int n)
{
    g_writeFault.store(n);
}

bool g_writeAll(QIODevice& f, QByteArrayView data, QString& error, const QString& name)
{
    const auto* file = qobject_cast<QFileDevice*>(&f);
    const QString shown = file ? file->fileName() : name;
    if (injectedFault()) {
        error = QStringLiteral("%1: %2").arg(shown, qt_error_string(ENOSPC));
        return false;
    }
    qsizetype done = 0;
    while (done < data.size()) {
        // A short write sets no error; the next attempt fails with errno.
        const qint64 n = f.write(data.data() + done, data.size() - done);
        if (n <= 0) {
            error = QStringLiteral("%1: %2").arg(shown, f.errorString());
            return false;
        }
        done += qsizetype(n);
    }
    return true;
}

namespace {
const char* const kSqliteFileSuffixes[] = {"", "-wal", "-shm", "-journal"};
}

void g_removeSqliteFiles(const QString& path)
{
    for (const char* suffix : kSqliteFileSuffixes)
        QFile::remove(path + QLatin1String(suffix));
}

void g_copySqliteFilesThrow(const QString& path, const QString& target)
{
    for (const char* suffix : kSqliteFileSuffixes) {
        const QString from = path + QLatin1String(suffix);
        const QString to = target + QLatin1String(suffix);
        if (!QFileInfo::exists(from))
            continue;
        QFile src(from);
        if (!src.copy(to))
            g_raise(QStringLiteral("%1: cannot copy: %2").arg(QDir::toNativeSeparators(from), src.errorString()));
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
    }
}

CopyFailure g_copyFile(const QString& src, const QString& dst, QString& error)
{
    QFile in(src);
    if (!in.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(src, in.errorString());
        return CopyFailure::Source;
    }
    QFile out(dst);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        error = QStringLiteral("%1: %2").arg(dst, out.errorString());
        return CopyFailure::Target;
    }
    auto failed = [&](CopyFailure why) {
        out.close();
        QFile::remove(dst);
        return why;
    };
    QByteArray buffer(qsizetype(1) << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0) {
            error = QStringLiteral("%1: %2").arg(src, in.errorString());
            return failed(CopyFailure::Source);
        }
        if (n == 0)
            break;
        if (!g_writeAll(out, QByteArrayView(buffer.constData(), qsizetype(n)), error))
            return failed(CopyFailure::Target);
    }
    if (!out.flush()) {
        error = QStringLiteral("%1: %2").arg(dst, out.errorString());
        return failed(CopyFailure::Target);
    }
    out.close();
    return CopyFailure::None;
}

bool g_makeFoldersNoLinks(const QString& base, const QString& rel)
{
    QString path = base;
    for (const QString& part : rel.split(u'/', Qt::SkipEmptyParts)) {
        if (part == QLatin1String("..") || part == QLatin1String("."))
            return false;
        path += u'/' + part;
        const QFileInfo info(path);
        if (info.isSymLink())
            return false;
        if (info.exists()) {
            if (!info.isDir())
                return false;
        } else if (!QDir().mkdir(path)) {
            // Another process may have made it in the meantime.
            const QFileInfo again(path);
            if (again.isSymLink() || !again.isDir())
                return false;
        }
    }
    return true;
}

void g_delDirCascade(const QString& path)
{
    const QFileInfo top(path);
    if (top.isSymLink() || !top.isDir())
        return;
    QDir dir(path);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Dirs | QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Unsorted);
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
