#include "itunes/AesCbcDecryptor.h"
#include "shell/Failure.h"
#include "itunes/BackupManifest.h"

#include <QFile>

#include <algorithm>
#include <stdexcept>

namespace {
// Large reads keep the decryption near the speed of the cipher; one buffer is
// reused, so any file size copies in constant memory. A multiple of 16.
constexpr qint64 kChunk = 1024 * 1024;

// Reads up to n bytes, retrying short reads; raises on a read error.
qint64 readFull(QFile& f, char* buf, qint64 n)
{
    qint64 got = 0;
    while (got < n) {
        const qint64 r = f.read(buf + got, n - got);
        if (r < 0)
            g_raise(f.errorString());
        if (r == 0)
            break;
        got += r;
    }
    return got;
}

void writeAll(QFile& f, const char* buf, qint64 n)
{
    if (n > 0 && f.write(buf, n) != n)
        g_raise(f.errorString());
}
} // namespace

void BackupManifest::copyFile(const _FileNode* node, const QString& dest, void* userData, ProgressFn progress) const
{
    const _MBDBItem& item = node->item;
    const QString storedName = item.backupFileName();
    QFile src(storedFilePath(item));
    if (!src.open(QIODevice::ReadOnly))
        g_raise(src.errorString());
    const qint64 total = src.size();
    const qint64 size = qint64(std::min<quint64>(item.size, quint64(INT64_MAX)));

    QByteArray key;
    if (m_info.isEncrypted && item.encryptionKey.isValid() && item.encryptionKey.value.size() > 4) {
        key = unwrapKeyForClass(m_keybag, item.protectionClass, item.encryptionKey.value.mid(4));
        // Copying ciphertext out as if it were the file would hand the caller
        // garbage reported as success.
        if (key.isEmpty())
            g_raise(QStringLiteral("%1: the file key cannot be unwrapped (wrong or missing password, or a damaged "
                                 "record).")
                      .arg(storedName));
        // The content is the file plus 1 to 16 bytes of padding; anything
        // else would come out cut short or with bytes the record disowns.
        if (total % 16 != 0 || total <= size || total - size > 16)
            g_raise(QStringLiteral("%1: the encrypted content (%2 bytes) does not match the recorded size (%3 bytes).")
                      .arg(storedName)
                      .arg(total)
                      .arg(size));
    } else if (m_info.isEncrypted && generation() == BackupGeneration::ManifestDb) {
        // The index decides that the contents are encrypted; without a key
        // the bytes cannot be read.
        g_raise(QStringLiteral("%1: the record of an encrypted backup has no file key.").arg(storedName));
    } else if (total < size) {
        g_raise(QStringLiteral("%1: the file ends early (%2 of %3 bytes).").arg(storedName).arg(total).arg(size));
    }

    // Opened only once the key is known, so a locked backup leaves dest alone.
    QFile out(dest);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        g_raise(out.errorString());
    QByteArray buffer(kChunk, Qt::Uninitialized);
    qint64 done = 0;
    if (key.isEmpty()) {
        for (;;) {
            const qint64 n = readFull(src, buffer.data(), kChunk);
            if (n == 0)
                break;
            writeAll(out, buffer.constData(), n);
            done += n;
            if (progress)
                progress(total, done, userData);
        }
    } else {
        AesCbcDecryptor aes;
        if (!aes.setKey(key))
            g_raise(QStringLiteral("%1: the file key is too short.").arg(storedName));
        char iv[16] = {};
        qint64 written = 0;
        for (;;) {
            const qint64 n = readFull(src, buffer.data(), kChunk);
            if (n == 0)
                break;
            if (!aes.decryptInPlace(buffer.data(), size_t(n), iv))
                g_raise(QStringLiteral("%1: the encrypted length is not a multiple of 16 bytes "
                                     "(MBEDTLS_ERR_AES_INVALID_INPUT_LENGTH).")
                          .arg(storedName));
            done += n;
            // Everything past the recorded size is padding.
            const qint64 keep = std::min(n, size - written);
            writeAll(out, buffer.constData(), keep);
            written += keep;
            if (progress)
                progress(total, done, userData);
        }
        if (written < size)
            g_raise(QStringLiteral("%1: the encrypted file ends early (%2 of %3 bytes).")
                      .arg(storedName)
                      .arg(written)
                      .arg(size));
    }

    if (!out.flush())
        g_raise(out.errorString());
    const QDateTime mtime = QDateTime::fromSecsSinceEpoch(item.lastModified);
    out.setFileTime(mtime, QFileDevice::FileAccessTime);
    out.setFileTime(mtime, QFileDevice::FileModificationTime);
    out.close();
}
