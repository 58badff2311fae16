#include "export/ExportMessagesHtml.h"

#include "export/ExportOutput.h"
#include "export/HtmlChatPages.h"
#include "export/HtmlExportFiles.h"
#include "shell/FileRoutines.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <stdexcept>

ExportMessagesHtml::ExportMessagesHtml(const QString& folder, const QString& fileName, ExportOutput* output,
                                       HtmlExportFiles* files)
    : m_files(files), m_file(QDir(folder).filePath(fileName)), m_output(output)
{
    if (!m_files) {
        m_ownFiles = std::make_unique<HtmlExportFiles>(folder, output);
        m_files = m_ownFiles.get();
    }
    m_options = BubbleHtmlOptions::forExport([this](const QString& path) { return saveAttaFile(path); });
    m_options.usePicture = [this](const QString& relative) { return m_files->usePicture(relative); };
}

ExportMessagesHtml::~ExportMessagesHtml() = default;

void ExportMessagesHtml::init()
{
    // A page of an earlier export is replaced only when this one is
    // complete, and is not this export's to remove.
    if (m_output && !QFileInfo::exists(m_file.path()))
        m_output->addFile(m_file.path());
    m_file.open();
    m_file.write(HtmlChatPages::pageHead(m_title));
    m_file.write(m_navigation);
    m_file.write(m_carried);
    m_carried.clear();
}

void ExportMessagesHtml::write(_ViberMsg& m)
{
    m_file.write(messageSequenceHtml(m, m_lastDate, m_options));
}

void ExportMessagesHtml::uninit()
{
    m_file.write(m_navigation);
    m_file.write(QStringLiteral("</body></html>\n"));
    m_file.close();
}

QString ExportMessagesHtml::saveAttaFile(const QString& path)
{
    return m_files->attachment(path);
}
