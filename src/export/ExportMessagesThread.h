#pragma once

#include "export/AbsFormatExport.h"
#include "export/ExportDateRange.h"
#include "export/ExportMessagesJson.h"
#include "export/HtmlChatPages.h"
#include "export/HtmlExportFiles.h"
#include "export/ExportOptions.h"
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

// Writes messages as text, CSV, JSON (one document), PDF (one file per chat)
// or HTML (pages per chat with copied attachments). A cancelled or failed
// export removes what it wrote.
class ExportMessagesThread : public QThread
{
public:
    ExportMessagesThread(const QList<_ViberMsg*>& msgs, QString path, ExportFormat format, JobProgress& progress,
                         const ExportOptions& options = ExportOptions(), QObject* parent = nullptr);
    void run() override;

    ExportOptions& options() { return m_options; }

    // The folder a JSON export copies attachments into.
    static QString jsonAttachmentDir(const QString& jsonPath);

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
    ExportFormat m_type;
    JobProgress& m_progress;
    ExportOutput m_output;
    QSet<QString> m_usedNames;
    ExportOptions m_options;
    QString m_appendTo; // since-last: the earlier output the new messages join
    ExportState m_state;
    bool m_continueHtml = false; // since-last into an HTML folder written before

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
