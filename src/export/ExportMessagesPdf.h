#pragma once

#include "export/AbsFormatExport.h"
#include "render/ViberMsgPrinterPrivacy.h"

#include <QFile>
#include <QPdfWriter>
#include <QString>

struct _ViberMsg;

// One chat as a PDF of chat bubbles: A4, 96 dpi, 20 pt margins. The document
// is opened when the writer is built, so an unwritable path raises
// std::runtime_error there; init() has nothing left to do.
class ExportMessagesPdf : public AbsFormatExport<_ViberMsg>
{
public:
    // title, when given, heads the first page and names the document.
    explicit ExportMessagesPdf(const QString& filePath, const QString& title = QString());
    ~ExportMessagesPdf() override;

    void init() override;
    void write(_ViberMsg& msg) override;
    void uninit() override;

    // The page state, for callers that want the placed layout.
    ViberMsgPrinterPrivacy& printer() { return m_printer; }

private:
    QString m_path;
    // The writer writes here, unbuffered, so that a failed write (a full
    // disk) is seen with the system's reason: the PDF engine reports none.
    QFile m_file;
    QPdfWriter m_writer;
    ViberMsgPrinterPrivacy m_printer;
};
