#include "export/TextFileWriter.h"

#include "shell/FileRoutines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {
constexpr qsizetype kFlushAt = 1 << 20;
}

TextFileWriter::TextFileWriter(QString path) : m_path(std::move(path)) {}

TextFileWriter::TextFileWriter(QIODevice& device, QString name) : m_path(std::move(name)), m_out(&device) {}

// A file that never took its name is removed here.
TextFileWriter::~TextFileWriter()
{
    if (m_temporary.isEmpty())
        return;
    m_file.reset();
    QFile::remove(m_temporary);
}

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
    // Unbuffered: the buffer is ours, and a write's error comes back at once.
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (info.exists() && !info.isFile() && !info.isDir()) {
        m_file = std::make_unique<QFile>(m_path);
        if (!m_file->open(mode))
            fail(m_file->errorString());
        m_out = m_file.get();
        return;
    }
    // A hidden name beside the target, made new (never an existing file or
    // link). It is not forced to disk: an export of many pages would wait
    // for the disk once per page, and a lost export is made again.
    const QString folder = info.absolutePath();
    for (int attempt = 0; attempt < 16 && !m_file; ++attempt) {
        const QString name = QDir(folder).filePath(
            QStringLiteral(".%1.%2.part").arg(info.fileName()).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        auto file = std::make_unique<QFile>(name);
        if (file->open(mode | QIODevice::NewOnly)) {
            m_file = std::move(file);
            m_temporary = name;
        } else if (QFileInfo(name).exists() || QFileInfo(name).isSymLink()) {
            continue;
        } else {
            fail(file->errorString());
        }
    }
    if (!m_file)
        fail(QStringLiteral("cannot make a temporary file in %1").arg(folder));
    // A file written again keeps the rights it had.
    if (info.isFile())
        QFile::setPermissions(m_temporary, info.permissions());
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
    if (!m_file->flush())
        fail(m_file->errorString());
    m_file->close();
    if (m_file->error() != QFileDevice::NoError)
        fail(m_file->errorString());
    if (m_temporary.isEmpty())
        return;
    // rename(2) replaces the target in one step: readers see the old file
    // or the new one, never a part.
    if (std::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_path).constData()) != 0)
        fail(QString::fromLocal8Bit(std::strerror(errno)));
    m_temporary.clear();
}
