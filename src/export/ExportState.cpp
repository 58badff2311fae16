#include "export/ExportState.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {
constexpr qint64 kMaxStateBytes = 64 << 20; // a state file is a few bytes per chat
constexpr qint64 kTailBytes = 64 * 1024;

// Size and digest of the last bytes of a regular file that is not a link.
bool describeFile(const QString& path, qint64& size, QByteArray& tail)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    size = f.size();
    if (!f.seek(std::max<qint64>(0, size - kTailBytes)))
        return false;
    const QByteArray bytes = f.read(kTailBytes);
    if (bytes.size() != std::min(size, kTailBytes))
        return false;
    tail = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    return true;
}

// A page name read back from the state file becomes a path: only a plain
// file name of an HTML page is taken.
bool plainPageName(const QString& name)
{
    return name.endsWith(QLatin1String(".html")) && !name.startsWith(u'.') && !name.contains(u'/') &&
           !name.contains(u'\\') && !name.contains(QChar(0)) && name.size() <= 1024;
}

bool readHtmlChat(const QJsonObject& o, ExportState::HtmlChat& chat)
{
    const QJsonArray pages = o.value(QStringLiteral("pages")).toArray();
    for (const QJsonValue& v : pages) {
        if (!v.isString() || !plainPageName(v.toString()))
            return false;
        chat.pages << v.toString();
    }
    chat.onLastPage = o.value(QStringLiteral("onLastPage")).toInteger(-1);
    chat.messages = o.value(QStringLiteral("messages")).toInteger(-1);
    chat.first = o.value(QStringLiteral("first")).toDouble(qQNaN());
    chat.title = o.value(QStringLiteral("title")).toString();
    return !chat.pages.isEmpty() && chat.onLastPage >= 0 && chat.messages >= chat.onLastPage &&
           std::isfinite(chat.first);
}

bool after(double date, qint64 key, const ExportState::Mark& mark)
{
    // The order the exports write in: time, then key.
    return date > mark.date || (date == mark.date && key > mark.key);
}
} // namespace

QString ExportState::pathFor(const QString& output, bool outputIsFolder)
{
    if (outputIsFolder)
        return QDir(output).filePath(QStringLiteral(".ferrowick-state"));
    const QFileInfo info(output);
    return info.dir().filePath(QLatin1Char('.') + info.fileName() + QStringLiteral(".ferrowick-state"));
}

bool ExportState::load(const QString& path, ExportFormat format)
{
    m_marks.clear();
    m_html.clear();
    m_outputSize = -1;
    m_outputTail.clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxStateBytes)
        return false;
    const QJsonObject root = QJsonDocument::fromJson(f.readAll()).object();
    if (root.value(QStringLiteral("version")).toInt() != 1 || root.value(QStringLiteral("format")).toInt(-1) != int(format))
        return false;
    const QJsonObject output = root.value(QStringLiteral("output")).toObject();
    if (!output.isEmpty()) {
        m_outputSize = output.value(QStringLiteral("size")).toInteger(-1);
        m_outputTail = output.value(QStringLiteral("tail")).toString().toLatin1();
    }
    const QJsonObject chats = root.value(QStringLiteral("chats")).toObject();
    for (auto it = chats.begin(); it != chats.end(); ++it) {
        bool ok = false;
        const qint64 chat = it.key().toLongLong(&ok);
        const QJsonObject o = it.value().toObject();
        const double date = o.value(QStringLiteral("date")).toDouble(qQNaN());
        if (!ok || !std::isfinite(date) || !o.value(QStringLiteral("key")).isDouble())
            return false; // a damaged file must not silently skip messages
        m_marks.insert(chat, {date, o.value(QStringLiteral("key")).toInteger()});
        if (o.contains(QStringLiteral("html"))) {
            HtmlChat html;
            if (!readHtmlChat(o.value(QStringLiteral("html")).toObject(), html))
                return false;
            m_html.insert(chat, html);
        }
    }
    return true;
}

void ExportState::save(const QString& path, ExportFormat format) const
{
    QJsonObject chats;
    for (auto it = m_marks.cbegin(); it != m_marks.cend(); ++it) {
        QJsonObject chat{{QStringLiteral("date"), it.value().date}, {QStringLiteral("key"), it.value().key}};
        const auto html = m_html.constFind(it.key());
        if (html != m_html.cend())
            chat.insert(QStringLiteral("html"),
                        QJsonObject{{QStringLiteral("pages"), QJsonArray::fromStringList(html->pages)},
                                    {QStringLiteral("onLastPage"), html->onLastPage},
                                    {QStringLiteral("messages"), html->messages},
                                    {QStringLiteral("first"), html->first},
                                    {QStringLiteral("title"), html->title}});
        chats.insert(QString::number(it.key()), chat);
    }
    QJsonObject root{{QStringLiteral("version"), 1}, {QStringLiteral("format"), int(format)},
                     {QStringLiteral("chats"), chats}};
    if (m_outputSize >= 0)
        root.insert(QStringLiteral("output"), QJsonObject{{QStringLiteral("size"), m_outputSize},
                                                          {QStringLiteral("tail"), QString::fromLatin1(m_outputTail)}});
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(QJsonDocument(root).toJson(QJsonDocument::Compact)) < 0 ||
        !f.commit())
        throw std::runtime_error(QStringLiteral("%1: %2").arg(path, f.errorString()).toStdString());
}

bool ExportState::isNew(const _ViberMsg& m) const
{
    if (!m.chat)
        return false;
    const auto it = m_marks.constFind(m.chat->id);
    return it == m_marks.cend() || after(m.date, m.id, it.value());
}

void ExportState::note(const _ViberMsg& m)
{
    if (!m.chat || !std::isfinite(m.date))
        return;
    auto it = m_marks.find(m.chat->id);
    if (it == m_marks.end())
        m_marks.insert(m.chat->id, {m.date, m.id});
    else if (after(m.date, m.id, it.value()))
        it.value() = {m.date, m.id};
}

bool ExportState::htmlPagesPresent(const QString& folder) const
{
    const QDir dir(folder);
    for (const HtmlChat& chat : m_html) {
        for (const QString& page : chat.pages) {
            if (!QFileInfo(dir.filePath(page)).isFile())
                return false;
        }
    }
    return true;
}

bool ExportState::noteOutput(const QString& path)
{
    m_outputSize = -1;
    m_outputTail.clear();
    qint64 size = 0;
    QByteArray tail;
    if (!describeFile(path, size, tail))
        return false;
    m_outputSize = size;
    m_outputTail = tail;
    return true;
}

bool ExportState::matchesOutput(const QString& path) const
{
    qint64 size = 0;
    QByteArray tail;
    return m_outputSize >= 0 && describeFile(path, size, tail) && size == m_outputSize && tail == m_outputTail;
}
