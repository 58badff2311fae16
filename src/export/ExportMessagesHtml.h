#pragma once

#include "export/AbsFormatExport.h"
#include "render/BubbleHtml.h"
#include "export/TextFileWriter.h"
#include "model/ViberRecords.h"

#include <QDate>
#include <QDir>

#include <memory>

class ExportOutput;
class HtmlExportFiles;

// One chat as an XHTML page of bubbles; attachments are copied into the
// folder "files" beside the page, which also holds the page's style sheet
// and pictures.
class ExportMessagesHtml : public AbsFormatExport<_ViberMsg>
{
public:
    // output records every file written, so a failed export can remove them.
    // files, when given, is shared by every page of one export (each file is
    // copied once); else the page keeps its own.
    ExportMessagesHtml(const QString& folder, const QString& fileName, ExportOutput* output = nullptr,
                       HtmlExportFiles* files = nullptr);
    ~ExportMessagesHtml() override;
    void init() override;
    void write(_ViberMsg& msg) override;
    void uninit() override;

    // The chat the page shows: its title and its heading.
    void setTitle(const QString& title) { m_title = title; }
    // Links written at the top and the bottom of the page (pages of a long chat).
    void setNavigation(const QString& html) { m_navigation = html; }
    // Continues an earlier page: its messages' markup comes first, and the
    // next message repeats the day box only when its day differs from lastDay.
    void setCarried(const QString& body, const QDate& lastDay)
    {
        m_carried = body;
        m_lastDate = lastDay;
    }

    // Copies an attachment into "files" (once, under a free name, or reusing
    // an identical file there); returns the page's reference to it
    // ("files/<name>", percent-encoded).
    QString saveAttaFile(const QString& path);

private:
    std::unique_ptr<HtmlExportFiles> m_ownFiles;
    HtmlExportFiles* m_files;
    TextFileWriter m_file;
    ExportOutput* m_output;
    BubbleHtmlOptions m_options;
    QDate m_lastDate;
    QString m_navigation;
    QString m_carried;
    QString m_title;
};
