#pragma once

#include "export/AbsFormatExport.h"
#include "export/ExportOptions.h"
#include "export/TextFileWriter.h"
#include "model/ViberRecords.h"
#include "model/ViberTime.h"

#include <QDir>
#include <QList>
#include <QString>

#include <limits>

class ExportOutput;

// One JSON document for a whole export, written as it goes: the source, the
// chats with their members, then one message per line. The field list is in
// README.md and docs/export-json.schema.json.
class ExportMessagesJson : public AbsFormatExport<_ViberMsg>
{
public:
    // chats: every chat whose messages follow, in the order listed.
    // attachmentDir: when not empty, attachment files are copied there and the
    // document refers to them relative to the JSON file's folder.
    ExportMessagesJson(const QString& path, const QList<const _ViberChat*>& chats, const JsonExportSource& source,
                       const QString& attachmentDir = QString(), ExportOutput* output = nullptr);
    // Writes to the caller's device; name stands for it in error texts (and
    // attachment paths are relative to its folder). Nothing is registered
    // with an output: the device is the caller's.
    ExportMessagesJson(QIODevice& device, const QString& name, const QList<const _ViberChat*>& chats,
                       const JsonExportSource& source, const QString& attachmentDir = QString(),
                       ExportOutput* output = nullptr);
    void init() override;
    void write(_ViberMsg& msg) override;
    void uninit() override;

    // The kind word of a message type ("text", "image", ... "unknown").
    static QString kindName(qint32 type);

    // Writes the opening of a document up to and including the opening of the
    // message list.
    static QString head(const QList<const _ViberChat*>& chats, const JsonExportSource& source);
    // The closing of the message list and of the document.
    static QString tail();
    // One message as a JSON object (no line end); attachmentPath is the
    // copied file's relative path or empty.
    QString messageObject(const _ViberMsg& m, const QString& attachmentPath);
    void appendMessage(QString& out, const _ViberMsg& m, const QString& attachmentPath);

private:
    QString copyAttachment(const _ViberAtta& a);

    TextFileWriter m_file;
    QList<const _ViberChat*> m_chats;
    JsonExportSource m_source;
    QString m_attachmentDir;
    ExportOutput* m_output;
    bool m_ownFile = true; // the file is ours to register with m_output
    // The local offset of the current quarter hour (time-zone changes fall on
    // quarter hours), so most messages need no time-zone lookup at all.
    int localOffset(qint64 unixSecs);
    qint64 m_offsetBucket = std::numeric_limits<qint64>::min();
    int m_offset = 0;
    QString m_line;
    bool m_first = true;
};
