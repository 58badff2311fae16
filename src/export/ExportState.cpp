#include "export/ExportState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <stdexcept>

namespace {
constexpr qint64 kMaxStateBytes = 64 << 20; // a state file is a few bytes per chat

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

bool ExportState::load(const QString& path, int formatType)
{
    m_marks.clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxStateBytes)
        return false;
    const QJsonObject root = QJsonDocument::fromJson(f.readAll()).object();
    if (root.value(QStringLiteral("version")).toInt() != 1 || root.value(QStringLiteral("format")).toInt(-1) != formatType)
        return false;
    const QJsonObject chats = root.value(QStringLiteral("chats")).toObject();
    for (auto it = chats.begin(); it != chats.end(); ++it) {
        bool ok = false;
        const qint64 chat = it.key().toLongLong(&ok);
        const QJsonObject o = it.value().toObject();
        const double date = o.value(QStringLiteral("date")).toDouble(qQNaN());
        if (!ok || !std::isfinite(date) || !o.value(QStringLiteral("key")).isDouble())
            return false; // a damaged file must not silently skip messages
        m_marks.insert(chat, {date, o.value(QStringLiteral("key")).toInteger()});
    }
    return true;
}

void ExportState::save(const QString& path, int formatType) const
{
    QJsonObject chats;
    for (auto it = m_marks.cbegin(); it != m_marks.cend(); ++it)
        chats.insert(QString::number(it.key()),
                     QJsonObject{{QStringLiteral("date"), it.value().date}, {QStringLiteral("key"), it.value().key}});
    const QJsonObject root{{QStringLiteral("version"), 1}, {QStringLiteral("format"), formatType},
                           {QStringLiteral("chats"), chats}};
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
