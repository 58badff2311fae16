#pragma once

#include <QFileDevice>
#include <QString>
#include <QStringEncoder>

#include <memory>

// A UTF-8 text file written through a large buffer. A regular file is written
// under a temporary name beside it and takes its name only in close(): a
// failed or cancelled write leaves whatever was there before untouched (and
// nothing when there was nothing). The file is not forced to disk. A device or pipe given as the path
// (/dev/stdout) is written directly. open(), write() and close() raise the
// file system's error text; a full disk must not pass as success.
class TextFileWriter
{
public:
    explicit TextFileWriter(QString path);
    // Writes to a device the caller owns (opened here when it is not open
    // yet); name stands for it in error texts.
    TextFileWriter(QIODevice& device, QString name);
    ~TextFileWriter();

    const QString& path() const { return m_path; }
    void open();
    void write(const QString& text);
    void close();

private:
    void flushBuffer();
    [[noreturn]] void fail(const QString& why) const;

    QString m_path;
    std::unique_ptr<QFileDevice> m_file;
    QIODevice* m_out = nullptr; // m_file, or the caller's device
    QString m_temporary;        // m_file's name until it takes m_path
    QStringEncoder m_encoder{QStringEncoder::Utf8};
    QByteArray m_buffer;
};
