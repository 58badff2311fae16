#include "export/ExportMessagesJson.h"

#include "export/ExportOutput.h"
#include "export/JsonText.h"
#include "shell/FileRoutines.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace {
void appendPerson(QString& out, const _ViberPerson* p)
{
    if (!p) {
        out += QLatin1String("null");
        return;
    }
    out += QLatin1String("{\"key\":");
    g_appendJsonInteger(out, p->id);
    out += QLatin1String(",\"name\":");
    g_appendJsonString(out, p->name);
    out += QLatin1String(",\"number\":");
    g_appendJsonString(out, p->number);
    out += u'}';
}

QString callKind(qint32 type)
{
    switch (type) {
    case CALL_INCOMING: return QStringLiteral("incoming");
    case CALL_OUTGOING: return QStringLiteral("outgoing");
    case CALL_MISSED: return QStringLiteral("missed");
    }
    return QStringLiteral("unknown");
}
} // namespace

ExportMessagesJson::ExportMessagesJson(const QString& path, const QList<const _ViberChat*>& chats,
                                       const JsonExportSource& source, const QString& attachmentDir,
                                       ExportOutput* output)
    : m_file(path), m_chats(chats), m_source(source), m_attachmentDir(attachmentDir), m_output(output)
{
}

ExportMessagesJson::ExportMessagesJson(QIODevice& device, const QString& name, const QList<const _ViberChat*>& chats,
                                       const JsonExportSource& source, const QString& attachmentDir,
                                       ExportOutput* output)
    : m_file(device, name), m_chats(chats), m_source(source), m_attachmentDir(attachmentDir), m_output(output),
      m_ownFile(false)
{
}

QString ExportMessagesJson::kindName(qint32 type)
{
    switch (type) {
    case MSG_TYPE_CALL: return QStringLiteral("call");
    case MSG_TYPE_IMAGE: return QStringLiteral("image");
    case MSG_TYPE_LOCATION: return QStringLiteral("location");
    case MSG_TYPE_SYSTEM: return QStringLiteral("system");
    case MSG_TYPE_AUDIO: return QStringLiteral("audio");
    case MSG_TYPE_STICKER: return QStringLiteral("sticker");
    case MSG_TYPE_TEXT: return QStringLiteral("text");
    case MSG_TYPE_VIDEO: return QStringLiteral("video");
    }
    return QStringLiteral("unknown");
}

QString ExportMessagesJson::head(const QList<const _ViberChat*>& chats, const JsonExportSource& source)
{
    QString out = QStringLiteral("{\"format\":\"ferrowick-messages\",\"version\":1,\n\"source\":{\"kind\":");
    g_appendJsonString(out, source.kind);
    out += QLatin1String(",\"name\":");
    g_appendJsonString(out, source.name);
    out += QLatin1String(",\"exported\":\"");
    g_appendIsoDate(out, QDateTime::currentSecsSinceEpoch() * 1000, 0);
    out += QLatin1String("\",\"timeZone\":");
    g_appendJsonString(out, QString::fromUtf8(QTimeZone::systemTimeZoneId()));
    out += QLatin1String("},\n\"chats\":[");
    bool first = true;
    for (const _ViberChat* c : chats) {
        out += first ? QLatin1String("\n") : QLatin1String(",\n");
        first = false;
        out += QLatin1String("{\"key\":");
        out += QString::number(c->id);
        out += QLatin1String(",\"name\":");
        g_appendJsonString(out, c->name);
        out += QLatin1String(",\"groupId\":");
        g_appendJsonString(out, c->groupId);
        out += QLatin1String(",\"display\":");
        g_appendJsonString(out, c->fullDisplay());
        out += QLatin1String(",\"members\":[");
        QList<const _ViberPerson*> members(c->members.cbegin(), c->members.cend());
        std::sort(members.begin(), members.end(),
                  [](const _ViberPerson* a, const _ViberPerson* b) { return a->id < b->id; });
        for (qsizetype i = 0; i < members.size(); ++i) {
            if (i)
                out += u',';
            appendPerson(out, members[i]);
        }
        out += QLatin1String("]}");
    }
    out += QLatin1String("\n],\n\"messages\":[");
    return out;
}

QString ExportMessagesJson::tail()
{
    return QStringLiteral("\n]}\n");
}

void ExportMessagesJson::init()
{
    m_file.open();
    if (m_output && m_ownFile)
        m_output->addFile(m_file.path());
    m_file.write(head(m_chats, m_source));
}

int ExportMessagesJson::localOffset(qint64 unixSecs)
{
    const qint64 bucket = unixSecs / 900;
    if (bucket != m_offsetBucket) {
        m_offsetBucket = bucket;
        m_offset = QDateTime::fromSecsSinceEpoch(bucket * 900).toLocalTime().offsetFromUtc();
    }
    return m_offset;
}

QString ExportMessagesJson::messageObject(const _ViberMsg& m, const QString& attachmentPath)
{
    QString out;
    appendMessage(out, m, attachmentPath);
    return out;
}

void ExportMessagesJson::appendMessage(QString& out, const _ViberMsg& m, const QString& attachmentPath)
{
    out += QLatin1String("{\"key\":");
    g_appendJsonInteger(out, m.id);
    out += QLatin1String(",\"chat\":");
    if (m.chat)
        g_appendJsonInteger(out, m.chat->id);
    else
        out += QLatin1String("null");
    out += QLatin1String(",\"kind\":\"");
    out += kindName(m.type);
    out += QLatin1String("\",\"direction\":");
    out += m.isFromMe() ? QLatin1String("\"outgoing\"") : QLatin1String("\"incoming\"");
    // The sender of an incoming one-to-one message is the chat's one member
    // when the store did not name it; an outgoing one is the owner (null).
    const _ViberPerson* sender = m.person;
    if (!sender && !m.isFromMe() && m.chat && m.chat->members.size() == 1)
        sender = m.chat->members.cbegin().value();
    out += QLatin1String(",\"sender\":");
    appendPerson(out, m.isFromMe() && !m.person ? nullptr : sender);

    // Held within 1970 .. 2106 as every other export shows record times.
    double unix = std::isfinite(m.date) ? std::trunc(m.date) + double(kCoreDataEpochUnix) : 0;
    unix = unix > 0 ? std::min(unix, 4294967295.0) : 0;
    qint64 msec = qint64(unix) * 1000;
    if (unix > 0 && unix < 4294967295.0)
        msec += qint64((m.date - std::trunc(m.date)) * 1000);
    out += QLatin1String(",\"date\":\"");
    g_appendIsoDate(out, msec, 0);
    out += QLatin1String("\",\"localDate\":\"");
    g_appendIsoDate(out, msec, localOffset(qint64(unix)));
    out += QLatin1String("\",\"text\":");
    g_appendJsonString(out, m.type == MSG_TYPE_SYSTEM ? m.systemMsgDisplay() : m.text);

    out += QLatin1String(",\"attachment\":");
    if (m.atta) {
        const _ViberAtta& a = *m.atta;
        const QString fileName = QFileInfo(a.filePath).fileName();
        out += QLatin1String("{\"fileName\":");
        g_appendJsonString(out, fileName.isEmpty() ? a.name : fileName);
        out += QLatin1String(",\"kind\":\"");
        out += kindName(m.type);
        out += QLatin1String("\",\"size\":");
        out += QString::number(a.fileSize);
        out += QLatin1String(",\"duration\":");
        g_appendJsonNumber(out, a.duration);
        out += QLatin1String(",\"path\":");
        if (attachmentPath.isEmpty())
            out += QLatin1String("null");
        else
            g_appendJsonString(out, attachmentPath);
        out += u'}';
    } else {
        out += QLatin1String("null");
    }

    out += QLatin1String(",\"location\":");
    if (m.type == MSG_TYPE_LOCATION) {
        out += QLatin1String("{\"latitude\":");
        g_appendJsonNumber(out, m.latitude());
        out += QLatin1String(",\"longitude\":");
        g_appendJsonNumber(out, m.longitude());
        out += QLatin1String(",\"address\":");
        g_appendJsonString(out, m.address());
        out += u'}';
    } else {
        out += QLatin1String("null");
    }

    out += QLatin1String(",\"call\":");
    if (m.call) {
        const _ViberCall& c = *m.call;
        out += QLatin1String("{\"kind\":\"");
        out += callKind(c.type);
        out += QLatin1String("\",\"video\":");
        out += c.video ? QLatin1String("true") : QLatin1String("false");
        out += QLatin1String(",\"duration\":");
        out += QString::number(c.duration);
        out += QLatin1String(",\"person\":");
        appendPerson(out, c.person);
        out += u'}';
    } else {
        out += QLatin1String("null");
    }
    out += u'}';
}

void ExportMessagesJson::write(_ViberMsg& m)
{
    const QString path = (m.atta && !m_attachmentDir.isEmpty()) ? copyAttachment(*m.atta) : QString();
    m_line = m_first ? QStringLiteral("\n") : QStringLiteral(",\n");
    m_first = false;
    appendMessage(m_line, m, path);
    m_file.write(m_line);
}

void ExportMessagesJson::uninit()
{
    m_file.write(tail());
    m_file.close();
}

QString ExportMessagesJson::copyAttachment(const _ViberAtta& a)
{
    // Only the file's own name is used: a path taken from data never decides
    // where the copy goes.
    const QString name = QFileInfo(a.filePath).fileName();
    if (name.isEmpty() || name == QLatin1String("..") || name == QLatin1String(".") || !QFileInfo(a.filePath).isFile())
        return QString();
    const QDir dir(m_attachmentDir);
    if (!dir.exists() && !(m_output ? m_output->makeFolder(dir.path()) : QDir().mkpath(dir.path())))
        return QString();
    const QString target = g_getValidFilePath(dir.filePath(name));
    if (!g_exportCopy(m_output, a.filePath, target))
        return QString();
    return QFileInfo(m_file.path()).dir().relativeFilePath(target);
}
