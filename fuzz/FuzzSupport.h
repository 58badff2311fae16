#pragma once

// Shared by the libFuzzer targets: a private scratch folder, quiet logging,
// and a file holding the input for readers that take a path.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace fuzz {

inline void quietMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

// Called from LLVMFuzzerInitialize: the readers log every skipped record,
// which would cost more than the parsing.
inline void init()
{
    qInstallMessageHandler(quietMessages);
}

inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A folder of this process, removed at its end.
inline const QDir& scratch()
{
    static QTemporaryDir dir(QDir::temp().filePath(QStringLiteral("ferrowick-fuzz-XXXXXX")));
    static const QDir d(dir.path());
    return d;
}

// Writes the input to name in the scratch folder (SQLite's companion files
// of the previous run removed) and returns its path.
inline QString inputFile(const QString& name, const uint8_t* data, size_t size)
{
    const QString path = scratch().filePath(name);
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    return path;
}

} // namespace fuzz
