#pragma once

#include "export/AbsFormatExport.h"
#include "export/ExportDateRange.h"
#include "export/ExportMessagesJson.h"
#include "export/HtmlChatPages.h"
#include "export/HtmlExportFiles.h"
#include "export/ExportOutput.h"
#include "export/ExportState.h"
#include "model/ViberRecords.h"
#include "shell/JobProgress.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QThread>

#include <memory>

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
    // HTML: at most this many messages on one page of a chat (0: no limit).
    void setPageSize(int messages) { m_pageSize = messages; }
    // Remember in a state file beside the output (inside an HTML folder) the
    // newest message of each chat, and on a later run add only newer
    // messages: text, CSV and JSON at the end of the file, HTML on the chat's
    // last page and new pages (the first run, or one whose output is gone,
    // writes everything).
    void setSinceLast(bool sinceLast) { m_sinceLast = sinceLast; }
    // Text and CSV: message texts as the sender wrote them, emoji included.
    void setKeepEmoji(bool keep) { m_keepEmoji = keep; }
    static bool keepEmojiSupported(FormatType type) { return type == FORMAT_TXT || type == FORMAT_CSV; }
    // Whether since-last mode works for a format.
    static bool sinceLastSupported(FormatType type) { return type != FORMAT_PDF; }

    // The file name of a chat's page or document: its members' full display,
    // cleaned for the file system, with suffix.
    static QString chatFileName(const _ViberChat* chat, const QString& suffix);

private:
    QString exportAll();
    FormatExportPtr<_ViberMsg> openWriter(const _ViberChat* chat);
    QString uniqueChatFileName(const _ViberChat* chat, const QString& suffix);
    QString reserveName(const QString& wanted, const QString& suffix);
    void writeHtml(_ViberMsg& m);
    void startHtmlChat(const _ViberMsg& m);
    void closeHtmlChat();
    void finishHtml();

    QList<_ViberMsg*> m_msgs;
    QString m_path;
    FormatType m_type;
    JobProgress& m_progress;
    ExportOutput m_output;
    QSet<QString> m_usedNames;
    ExportDateRange m_range;
    JsonExportSource m_jsonSource;
    bool m_copyAttachments = false;
    bool m_sinceLast = false;
    bool m_keepEmoji = false;
    QString m_appendTo; // since-last: the earlier output the new messages join
    ExportState m_state;
    bool m_continueHtml = false; // since-last into an HTML folder written before
    int m_pageSize = HtmlChatPages::kDefaultPageSize;

    // HTML paging: the chat being written, its pages and where it stands.
    FormatExportPtr<_ViberMsg> m_htmlWriter;
    std::unique_ptr<HtmlExportFiles> m_htmlFiles;
    const _ViberChat* m_htmlChat = nullptr;
    QHash<const _ViberChat*, qint64> m_chatCounts;
    QStringList m_pageNames;
    qint64 m_page = 0;
    qint64 m_onPage = 0;
    QMap<qint64, HtmlChatPages::IndexEntry> m_index; // by chat key
    // Continuing a chat of an earlier run: its page being filled up, the
    // markup already on it, the day of its last message, and its page count then.
    qint64 m_carryPage = -1;
    QString m_carryBody;
    QDate m_carryDay;
    qint64 m_oldPageCount = 0;
    struct Relink
    {
        QStringList pages;
        qint64 oldCount;
        qint64 carried;
    };
    QList<Relink> m_relinks;
    QList<QPair<QString, QString>> m_replacements; // temporary page, page it replaces
};
