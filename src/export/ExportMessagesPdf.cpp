#include "export/ExportMessagesPdf.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>

#include <stdexcept>

namespace {
constexpr int kScreenDpi = 96;
constexpr qreal kMarginPoints = 20;

std::runtime_error pdfError(const QString& path, const char* what)
{
    return std::runtime_error(QStringLiteral("Cannot write the PDF file \"%1\": %2")
                                  .arg(QDir::toNativeSeparators(path), QString::fromUtf8(what))
                                  .toStdString());
}
} // namespace

namespace {
QFile& openedThrow(QFile& file)
{
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        throw pdfError(file.fileName(), file.errorString().toUtf8().constData());
    return file;
}
} // namespace

ExportMessagesPdf::ExportMessagesPdf(const QString& filePath, const QString& title)
    : m_path(filePath), m_file(filePath), m_writer(&openedThrow(m_file))
{
    m_writer.setResolution(kScreenDpi);
    m_writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                       QMarginsF(kMarginPoints, kMarginPoints, kMarginPoints, kMarginPoints),
                                       QPageLayout::Point));
    m_writer.setCreator(QStringLiteral("Ferrowick"));
    m_writer.setTitle(title);
    try {
        m_printer.reset(&m_writer);
        m_printer.printTitle(title);
    } catch (const std::exception& e) {
        throw pdfError(m_path, e.what());
    }
}

ExportMessagesPdf::~ExportMessagesPdf() = default;

void ExportMessagesPdf::init() {}

void ExportMessagesPdf::write(_ViberMsg& msg)
{
    m_printer.print(msg);
}

void ExportMessagesPdf::uninit()
{
    try {
        m_printer.end();
    } catch (const std::exception& e) {
        throw pdfError(m_path, e.what());
    }
    // The PDF engine does not report a failed write: the file does.
    if (m_file.error() != QFileDevice::NoError)
        throw pdfError(m_path, m_file.errorString().toUtf8().constData());
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        throw pdfError(m_path, m_file.errorString().toUtf8().constData());
    if (QFileInfo(m_path).size() <= 0)
        throw pdfError(m_path, "the file is empty after writing.");
}
