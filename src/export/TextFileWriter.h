#pragma once

#include <QFile>
#include <QString>
#include <QStringEncoder>

// A UTF-8 text file written through a large buffer: open() truncates and
// raises the file system's error text on failure; close() flushes and raises
// when the data could not be written (a full disk must not pass as success).
class TextFileWriter
{
public:
    explicit TextFileWriter(QString path);
    ~TextFileWriter();

    const QString& path() const { return m_path; }
    void open();
    void write(const QString& text);
    void close();

private:
    void flushBuffer();

    QString m_path;
    QFile m_file;
    QStringEncoder m_encoder{QStringEncoder::Utf8};
    QByteArray m_buffer;
};
