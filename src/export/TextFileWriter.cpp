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

TextFileWriter::TextFileWriter(QIODevice& device, QString name) : m_path(std::move(name)), m_out(&device) {}

// A QSaveFile that was not committed removes its temporary file here.
TextFileWriter::~TextFileWriter() = default;

void TextFileWriter::fail(const QString& why) const
{
    throw std::runtime_error(QStringLiteral("%1: %2").arg(m_path, why).toStdString());
}

void TextFileWriter::open()
{
    m_buffer.reserve(kFlushAt + 4096);
    if (m_out && !m_file) {
        if (!m_out->isOpen() && !m_out->open(QIODevice::WriteOnly))
            fail(m_out->errorString());
        if (!m_out->isWritable())
            fail(QStringLiteral("not open for writing"));
        return;
    }
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
    m_out = m_file.get();
}

void TextFileWriter::write(const QString& text)
{
    // Encoded straight into the buffer, without a byte array per call.
    const qsizetype at = m_buffer.size();
    m_buffer.resize(at + m_encoder.requiredSpace(text.size()));
    char* end = m_encoder.appendToBuffer(m_buffer.data() + at, text);
    m_buffer.truncate(end - m_buffer.constData());
    if (m_buffer.size() >= kFlushAt)
        flushBuffer();
}

void TextFileWriter::flushBuffer()
{
    if (m_buffer.isEmpty())
        return;
    QString error;
    if (!g_writeAll(*m_out, m_buffer, error, m_path))
        throw std::runtime_error(error.toStdString());
    m_buffer.resize(0); // keeps the buffer's memory for the next round
}

void TextFileWriter::close()
{
    if (!m_out || !m_out->isOpen())
        return;
    flushBuffer();
    if (!m_file) {
        // The caller's device stays open; a file behind it gets its data.
        if (auto* file = qobject_cast<QFileDevice*>(m_out); file && !file->flush())
            fail(file->errorString());
        return;
    }
    if (auto* save = dynamic_cast<QSaveFile*>(m_file.get())) {
        if (!save->commit())
            fail(save->errorString());
    } else {
        if (!m_file->flush())
            fail(m_file->errorString());
        m_file->close();
    }
}
