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
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

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

QString g_fileDeviceError(const QFileDevice& f, int savedErrno)
{
    const QString text = f.errorString();
    if (savedErrno != 0 && (text.isEmpty() || text == QLatin1String("Unknown error")))
        return qt_error_string(savedErrno);
    return text;
}

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
        // Not QFile::copy: on a full disk it says "Failure to write block:
        // Unknown error", naming neither the file written nor the reason.
        QFile::remove(to);
        QString error;
        if (g_copyFile(from, to, error) != CopyFailure::None)
            g_raise(QStringLiteral("cannot copy %1: %2").arg(QDir::toNativeSeparators(from), error));
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
    }
}

namespace {
// Lets the kernel move the bytes: no trip through user space, and a shared
// extent where the file system can. Returns whether it reached the end of
// the source; it stops at the first refusal (another file system, no
// support, an error), and the caller copies whatever is left.
bool kernelCopy(int in, int out)
{
#ifdef Q_OS_LINUX
    if (g_writeFault.load() > 0)
        return false; // an injected fault belongs to the write loop
    // A size of zero is also what pseudo-files report: the read loop finds
    // out what they hold.
    struct stat st;
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0)
        return false;
    off_t done = 0;
    while (done < st.st_size) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t(st.st_size - done), 0);
        if (n > 0)
            done += n;
        else if (n == 0 || errno != EINTR)
            return false; // shrunk meanwhile, or refused: the loop finds out which
    }
    return true;
#else
    Q_UNUSED(in);
    Q_UNUSED(out);
    return false;
#endif
}

constexpr size_t kCopyBufferSize = size_t(1) << 20;

// One buffer per thread for the plain copy, not one per file.
char* copyBuffer()
{
    thread_local std::unique_ptr<char[]> buffer(new char[kCopyBufferSize]);
    return buffer.get();
}
} // namespace

bool g_copyFileOrCountThrow(const QString& src, const QString& dst, int& failedCopies)
{
    QString error;
    switch (g_copyFile(src, dst, error)) {
    case CopyFailure::None:
        return true;
    case CopyFailure::Source:
        qWarning("Not copied: %s", qUtf8Printable(error));
        ++failedCopies;
        return false;
    case CopyFailure::Target:
        break;
    }
    throw std::runtime_error(error.toStdString());
}

CopyFailure g_copyFile(const QString& src, const QString& dst, QString& error)
{
    QFile in(src);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        error = QStringLiteral("%1: %2").arg(src, in.errorString());
        return CopyFailure::Source;
    }
    QFile out(dst);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        error = QStringLiteral("%1: %2").arg(dst, out.errorString());
        return CopyFailure::Target;
    }
    auto failed = [&](const QString& name, int code, CopyFailure why) {
        error = QStringLiteral("%1: %2").arg(name, qt_error_string(code));
        out.close();
        QFile::remove(dst);
        return why;
    };
    const int inFd = in.handle();
    const int outFd = out.handle();
    // Both descriptors have moved on by what the kernel copied; the rest
    // goes through the buffer, which also tells a source that cannot be read
    // from a target that cannot be written.
    if (!kernelCopy(inFd, outFd)) {
        char* const buffer = copyBuffer();
        for (;;) {
            const ssize_t n = ::read(inFd, buffer, kCopyBufferSize);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return failed(src, errno, CopyFailure::Source);
            }
            if (n == 0)
                break;
            if (injectedFault())
                return failed(dst, ENOSPC, CopyFailure::Target);
            for (ssize_t done = 0; done < n;) {
                const ssize_t w = ::write(outFd, buffer + done, size_t(n - done));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0)
                    return failed(dst, w < 0 ? errno : ENOSPC, CopyFailure::Target);
                done += w;
            }
        }
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
