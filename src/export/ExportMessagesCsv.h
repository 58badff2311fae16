#pragma once

#include "export/AbsFormatExport.h"
#include "export/TextFileWriter.h"
#include "model/ViberRecords.h"
#include "model/ViberTime.h"

// CSV with the columns date, send, person, number, content.
class ExportMessagesCsv : public AbsFormatExport<_ViberMsg>
{
public:
    explicit ExportMessagesCsv(const QString& path);
    // Writes to the caller's device; name stands for it in error texts.
    ExportMessagesCsv(QIODevice& device, const QString& name);
    void init() override;
    void write(_ViberMsg& msg) override;
    void uninit() override;
    // Message texts as the sender wrote them (emoji and emoticon tokens kept)
    // instead of with "[EMOJI]" for each emoji.
    void setKeepEmoji(bool keep) { m_textStyle = keep ? _ViberMsg::SUMMARY_AS_WRITTEN : _ViberMsg::SUMMARY_PLAIN; }

private:
    void line(double date, bool send, const QString& person, const QString& number, const QString& content);

    TextFileWriter m_file;
    _ViberMsg::SummaryText m_textStyle = _ViberMsg::SUMMARY_PLAIN;
    LocalTimeConverter m_time;
};
