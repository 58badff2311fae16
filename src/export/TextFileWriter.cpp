#include "export/TextFileWriter.h"

#include <stdexcept>

namespace {
constexpr qsizetype kFlushAt = 1 << 20;
}

TextFileWriter::TextFileWriter(QString path) : m_path(std::move(path)), m_file(m_path) {}

TextFileWriter::~TextFileWriter()
{
    m_file.close();
}

void TextFileWriter::open()
{
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error(QStringLiteral("%1: %2").arg(m_path, m_file.errorString()).toStdString());
    m_buffer.reserve(kFlushAt + 4096);
}

void TextFileWriter::write(const QString& text)
{
    m_buffer.append(m_encoder.encode(text));
    if (m_buffer.size() >= kFlushAt)
        flushBuffer();
}

void TextFileWriter::flushBuffer()
{
    if (m_buffer.isEmpty())
        return;
    if (m_file.write(m_buffer) != m_buffer.size())
        throw std::runtime_error(QStringLiteral("%1: %2").arg(m_path, m_file.errorString()).toStdString());
    m_buffer.clear();
}

void TextFileWriter::close()
{
    if (!m_file.isOpen())
        return;
    flushBuffer();
    if (!m_file.flush())
        throw std::runtime_error(QStringLiteral("%1: %2").arg(m_path, m_file.errorString()).toStdString());
    m_file.close();
}
