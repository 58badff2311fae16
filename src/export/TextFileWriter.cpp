#include "export/TextFileWriter.h"

#include "shell/FileRoutines.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <stdexcept>

namespace {
constexpr qsizetype kFlushAt = 1 << 20;
}

TextFileWriter::TextFileWriter(QString path) : m_path(std::move(path)) {}

// A QSaveFile that was not committed removes its temporary file here.
TextFileWriter::~TextFileWriter() = default;

void TextFileWriter::fail(const QString& why) const
{
    throw std::runtime_error(QStringLiteral("%1: %2").arg(m_path, why).toStdString());
}

void TextFileWriter::open()
{
    const QFileInfo info(m_path);
    const bool special = info.exists() && !info.isFile() && !info.isDir();
    if (special)
        m_file = std::make_unique<QFile>(m_path);
    else
        m_file = std::make_unique<QSaveFile>(m_path);
    // Unbuffered: the buffer is ours, and a write's error comes back at once.
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (!m_file->open(special ? mode : mode | QIODevice::Truncate))
        fail(m_file->errorString());
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
    QString error;
    if (!g_writeAll(*m_file, m_buffer, error))
        throw std::runtime_error(error.toStdString());
    m_buffer.clear();
}

void TextFileWriter::close()
{
    if (!m_file || !m_file->isOpen())
        return;
    flushBuffer();
    if (auto* save = dynamic_cast<QSaveFile*>(m_file.get())) {
        if (!save->commit())
            fail(save->errorString());
    } else {
        if (!m_file->flush())
            fail(m_file->errorString());
        m_file->close();
    }
}
