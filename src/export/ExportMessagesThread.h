#pragma once

#include "export/AbsFormatExport.h"
#include "export/ExportDateRange.h"
#include "export/ExportMessagesJson.h"
#include "export/ExportOutput.h"
#include "model/ViberRecords.h"
#include "shell/JobProgress.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QThread>

// Two messages of different chats order by chat key; otherwise by time.
bool compareMessageChatDateAsc(const _ViberMsg* a, const _ViberMsg* b);

// Writes messages as text, CSV, PDF (one file per chat) or HTML (one page per
// chat with copied attachments). A cancelled or failed export removes what it
// wrote.
class ExportMessagesThread : public QThread
{
public:
    enum FormatType { FORMAT_TXT = 0, FORMAT_CSV = 1, FORMAT_PDF = 2, FORMAT_HTML = 3, FORMAT_JSON = 4 };

    ExportMessagesThread(const QList<_ViberMsg*>& msgs, QString path, FormatType type, JobProgress& progress,
                         QObject* parent = nullptr);
    void run() override;

    // Only messages inside the range are written (and counted).
    void setDateRange(const ExportDateRange& range) { m_range = range; }
    // What the JSON document names as its source.
    void setJsonSource(const JsonExportSource& source) { m_jsonSource = source; }
    // JSON: copy attachment files into "<name>-files" beside the document.
    void setCopyAttachments(bool copy) { m_copyAttachments = copy; }
    // The folder a JSON export copies attachments into.
    static QString jsonAttachmentDir(const QString& jsonPath);

    // The file name of a chat's page or document: its members' full display,
    // cleaned for the file system, with suffix.
    static QString chatFileName(const _ViberChat* chat, const QString& suffix);

private:
    QString exportAll();
    FormatExportPtr<_ViberMsg> openWriter(const _ViberChat* chat);
    void copyHtmlResources();
    QString uniqueChatFileName(const _ViberChat* chat, const QString& suffix);

    QList<_ViberMsg*> m_msgs;
    QString m_path;
    FormatType m_type;
    JobProgress& m_progress;
    ExportOutput m_output;
    QSet<QString> m_usedNames;
    ExportDateRange m_range;
    JsonExportSource m_jsonSource;
    bool m_copyAttachments = false;
};
