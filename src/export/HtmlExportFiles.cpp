#include "export/HtmlExportFiles.h"

#include "render/BubbleResources.h"
#include "export/ExportOutput.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <stdexcept>

namespace {
bool makeFolder(ExportOutput* output, const QString& path)
{
    if (QFileInfo(path).isDir())
        return true;
    return output ? output->makeFolder(path) : QDir().mkpath(path);
}

// "name.ext", "name(1).ext", "name(2).ext", ...: the names an export gives a
// file in turn when the one before is taken.
QString numberedName(const QString& fileName, quint64 n)
{
    if (n == 0)
        return fileName;
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const bool hasSuffix = dot > 0 && dot < fileName.size() - 1;
    const QString stem = hasSuffix ? fileName.left(dot) : fileName;
    const QString suffix = hasSuffix ? fileName.mid(dot) : QString();
    return stem + u'(' + QString::number(n) + u')' + suffix;
}
} // namespace

bool g_sameFileContent(const QString& a, const QString& b)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    constexpr qint64 kChunk = 1 << 16;
    while (!fa.atEnd()) {
        const QByteArray x = fa.read(kChunk);
        if (x.isEmpty() || x != fb.read(kChunk))
            return false;
    }
    return true;
}

HtmlExportFiles::HtmlExportFiles(const QString& folder, ExportOutput* output)
    : m_files(QDir(folder).filePath(QStringLiteral("files"))), m_output(output)
{
    if (!makeFolder(m_output, m_files.path()))
        throw std::runtime_error(QStringLiteral("Cannot create the folder %1.").arg(m_files.path()).toStdString());
}

QString HtmlExportFiles::copyOnce(const QString& src, const QDir& into)
{
    const auto known = m_copies.constFind(src);
    if (known != m_copies.cend())
        return known.value();
    // Only the file's own name is used: a path taken from data never decides
    // where the copy goes.
    const QString name = QFileInfo(src).fileName();
    if (name.isEmpty() || name == QLatin1String("..") || name == QLatin1String("."))
        return QString();
    QString target;
    for (quint64 n = 0;; ++n) {
        const QString candidate = into.filePath(numberedName(name, n));
        const QFileInfo c(candidate);
        if (!c.exists() && !c.isSymLink()) {
            if (!g_exportCopy(m_output, src, candidate))
                return QString(); // unreadable source: counted, not linked
            target = candidate;
            break;
        }
        if (c.isFile() && !c.isSymLink() && g_sameFileContent(src, candidate)) {
            target = candidate;
            break;
        }
    }
    m_copies.insert(src, target);
    return target;
}

void HtmlExportFiles::copyStyle()
{
    const QDir src(g_bubbleSrcDir() + QStringLiteral("/vbbb"));
    for (const QString& name : src.entryList(QDir::Files)) {
        const QString target = m_files.filePath(name);
        const QFileInfo t(target);
        if (t.exists() || t.isSymLink())
            continue; // an earlier export's copy serves as well
        g_exportCopy(m_output, src.filePath(name), target);
    }
}

bool HtmlExportFiles::usePicture(const QString& relative)
{
    const auto known = m_pictures.constFind(relative);
    if (known != m_pictures.cend())
        return known.value();
    bool available = false;
    const QString sub = relative.section(u'/', 0, 0);
    const QString name = relative.section(u'/', 1);
    // Names come from message text: only "<folder>/<file>" of the two
    // picture folders, never a path of their own.
    if ((sub == QLatin1String("emoji") || sub == QLatin1String("vb_emoji")) && !name.isEmpty() &&
        !name.contains(u'/') && !name.contains(u'\\') && !name.startsWith(u'.')) {
        const QString src = g_bubbleSrcDir() + u'/' + relative;
        const QString target = m_files.filePath(relative);
        const QFileInfo t(target);
        if (QFileInfo(src).isFile() && makeFolder(m_output, m_files.filePath(sub)))
            available = t.exists() || t.isSymLink() || g_exportCopy(m_output, src, target);
    }
    m_pictures.insert(relative, available);
    return available;
}

QString HtmlExportFiles::attachment(const QString& path)
{
    // A page links only to files that were written.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return QString();
    const QString target = copyOnce(path, m_files);
    if (target.isEmpty())
        return QString();
    return QStringLiteral("files/") + QString::fromLatin1(QUrl::toPercentEncoding(QFileInfo(target).fileName()));
}
