#include "export/ExportMessagesHtml.h"

#include "export/ExportOutput.h"
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
    m_file.write(QStringLiteral(
        "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
        "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\">\n"
        "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\n"
        "<title>Ferrowick</title>\n"
        "<link href=\"files/style.css\" type=\"text/css\" rel=\"stylesheet\"/></head><body>\n"));
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
