#include "export/ExportAppend.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QSaveFile>
#include <QSet>

#include <stdexcept>

namespace {
[[noreturn]] void fail(const QString& path, const QString& why)
{
    throw std::runtime_error(QStringLiteral("%1: %2").arg(path, why).toStdString());
}

void openRead(QFile& f)
{
    if (!f.open(QIODevice::ReadOnly))
        fail(f.fileName(), f.errorString());
}

// The parts of a JSON export as the JSON writer lays it out, one record a line.
struct JsonParts
{
    QList<QByteArray> head;     // up to and including the line opening the chats
    QList<QByteArray> chats;    // one chat object a line, without separators
    QByteArray messagesOpen;    // the lines between the chats and the messages
    qint64 messagesAt = 0;      // file offset of the first message line
};

QByteArray itemOf(QByteArray line)
{
    line = line.trimmed();
    if (line.endsWith(','))
        line.chop(1);
    return line;
}

// Reads everything before the messages; the file is left at the first message.
JsonParts readUpToMessages(QFile& f)
{
    JsonParts parts;
    enum { Head, Chats, Between } at = Head;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine(1 << 26).trimmed();
        switch (at) {
        case Head:
            parts.head << line;
            if (line == "\"chats\":[")
                at = Chats;
            else if (parts.head.size() > 8)
                fail(f.fileName(), QStringLiteral("not a message export of this program"));
            break;
        case Chats:
            if (line == "],")
                at = Between;
            else
                parts.chats << itemOf(line);
            break;
        case Between:
            if (line != "\"messages\":[")
                fail(f.fileName(), QStringLiteral("not a message export of this program"));
            parts.messagesOpen = line;
            parts.messagesAt = f.pos();
            return parts;
        }
    }
    fail(f.fileName(), QStringLiteral("not a message export of this program"));
}

qint64 chatKey(const QByteArray& item)
{
    return QJsonDocument::fromJson(item).object().value(QStringLiteral("key")).toInteger(-1);
}

// Copies the message lines from f into out, separated by ",\n"; true when the
// document's closing line was reached.
bool copyMessages(QFile& f, QSaveFile& out, bool& first)
{
    while (!f.atEnd()) {
        const QByteArray line = f.readLine(1 << 26).trimmed();
        if (line == "]}")
            return true;
        if (line.isEmpty())
            continue;
        out.write(first ? "\n" : ",\n");
        first = false;
        out.write(itemOf(line));
    }
    return false;
}
} // namespace

void g_appendTableExport(const QString& target, const QString& addition)
{
    QFile in(addition);
    openRead(in);
    in.readLine(1 << 20); // the header line
    // Never through a link put in the output's place.
    if (QFileInfo(target).isSymLink())
        fail(target, QStringLiteral("a link, not the file an earlier export wrote"));
    QFile out(target);
    if (!out.exists() || !out.open(QIODevice::WriteOnly | QIODevice::Append))
        fail(target, out.exists() ? out.errorString() : QStringLiteral("missing"));
    const qint64 before = out.size();
    // Half the rows appended would be written again by the next run: undo them.
    auto undo = [&] {
        const QString why = out.errorString();
        out.resize(before);
        fail(target, why);
    };
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (out.write(chunk) != chunk.size())
            undo();
    }
    if (!out.flush())
        undo();
}

void g_appendJsonExport(const QString& target, const QString& addition)
{
    if (QFileInfo(target).isSymLink())
        fail(target, QStringLiteral("a link, not the file an earlier export wrote"));
    QFile old(target), add(addition);
    openRead(old);
    openRead(add);
    const JsonParts a = readUpToMessages(old);
    const JsonParts b = readUpToMessages(add);

    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        fail(target, out.errorString());
    for (const QByteArray& line : a.head)
        out.write(line + '\n');
    QSet<qint64> known;
    bool firstChat = true;
    auto writeChat = [&](const QByteArray& item) {
        out.write(firstChat ? "" : ",\n");
        firstChat = false;
        out.write(item);
    };
    for (const QByteArray& item : a.chats) {
        known.insert(chatKey(item));
        writeChat(item);
    }
    for (const QByteArray& item : b.chats) {
        if (!known.contains(chatKey(item)))
            writeChat(item);
    }
    out.write(firstChat ? "],\n" : "\n],\n");
    out.write(a.messagesOpen);
    bool firstMessage = true;
    if (!copyMessages(old, out, firstMessage) || !copyMessages(add, out, firstMessage))
        fail(target, QStringLiteral("the export ends early"));
    out.write("\n]}\n");
    if (!out.commit())
        fail(target, out.errorString());
}
