#pragma once

#include "export/AbsFormatExport.h"
#include "export/TextFileWriter.h"
#include "model/ViberRecords.h"
#include "model/ViberTime.h"

#include <QHash>

// The plain-text table (also written under a ".doc" name): date, flag, name
// and message in padded columns, one line per message.
class ExportMessagesTxt : public AbsFormatExport<_ViberMsg>
{
public:
    explicit ExportMessagesTxt(const QString& path);
    // Writes to the caller's device; name stands for it in error texts.
    ExportMessagesTxt(QIODevice& device, const QString& name);
    void init() override;
    void write(_ViberMsg& msg) override;
    void uninit() override;
    // Message texts as the sender wrote them (emoji and emoticon tokens kept)
    // instead of with "[EMOJI]" for each emoji.
    void setKeepEmoji(bool keep) { m_textStyle = keep ? _ViberMsg::SUMMARY_AS_WRITTEN : _ViberMsg::SUMMARY_PLAIN; }

private:
    void line(const QString& date, const QString& flag, const QString& name, const QString& text);

    TextFileWriter m_file;
    _ViberMsg::SummaryText m_textStyle = _ViberMsg::SUMMARY_PLAIN;
    LocalTimeConverter m_time;
    QHash<const _ViberChat*, QString> m_chatNames;
};
