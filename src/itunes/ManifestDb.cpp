#include "itunes/ManifestDb.h"
#include "shell/Failure.h"

#include "itunes/AesCbcDecryptor.h"
#include "itunes/AesCrypto.h"
#include "itunes/MBDBParser.h"
#include "itunes/MBFileArchive.h"
#include "sqlite/Sqlite3DB.h"
#include "shell/FileRoutines.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <new>
#include <stdexcept>

namespace {
constexpr qint64 kChunk = 1024 * 1024; // a multiple of 16
constexpr int kOpenReadOnly = 1;
constexpr int kFlagFile = 1;
constexpr int kFlagFolder = 2;
constexpr int kFlagLink = 4;
const QFile::Permissions kOwnerOnlyDir = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
const QFile::Permissions kOwnerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;

bool isLowerHex(const QString& s)
{
    for (QChar c : s) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    }
    return true;
}

// One row into a record; raises on a damaged one.
_MBDBItem recordOf(const QString& fileID, const QString& domain, const QString& path, int flags,
                   const QByteArray& file, bool fileIsNull, const QDir& root)
{
    const QString id = fileID.toLower();
    if (id.size() != 40 || !isLowerHex(id) || id != MBDBParser::getFileHashName(domain, path))
        g_raise(QStringLiteral("its fileID does not name its domain and path"));
    _MBDBItem item;
    item.domain.setVal(domain.toUtf8());
    item.path.setVal(path.toUtf8());
    if (!fileIsNull)
        g_readMBFileArchive(file, item);
    if (flags == kFlagFolder) {
        // A folder never has content, whatever its record says.
        item.size = 0;
        item.linkTarget = _MBDBBinary();
        if (fileIsNull)
            item.mode = 0x41ED;
    } else if (flags == kFlagLink) {
        // A link without a target would pass for a folder.
        if (!item.linkTarget.isValid())
            item.linkTarget.setVal(QByteArrayLiteral("?"));
        if (fileIsNull)
            item.mode = 0xA1ED;
    } else if (flags == kFlagFile) {
        if (fileIsNull) {
            item.size = quint64(std::max<qint64>(QFileInfo(g_manifestDbContentPath(root, id)).size(), 0));
            item.mode = 0x81A4;
        }
    } else {
        g_raise(QStringLiteral("its kind (flags %1) is unknown").arg(flags));
    }
    return item;
}

void openOwnerOnly(QFile& f, QIODevice::OpenMode mode)
{
    if (!f.open(mode, kOwnerOnlyFile))
        g_raise(QStringLiteral("%1: %2").arg(f.fileName(), f.errorString()));
    // open() only sets permissions on a file it creates.
    f.setPermissions(kOwnerOnlyFile);
}

qint64 readFull(QFile& f, char* buf, qint64 n)
{
    qint64 got = 0;
    while (got < n) {
        const qint64 r = f.read(buf + got, n - got);
        if (r < 0)
            g_raise(QStringLiteral("%1: %2").arg(f.fileName(), f.errorString()));
        if (r == 0)
            break;
        got += r;
    }
    return got;
}
} // namespace

QString g_manifestDbContentPath(const QDir& root, const QString& fileID)
{
    return root.absoluteFilePath(fileID.left(2) + u'/' + fileID);
}

QList<_MBDBItem> g_readManifestDbThrow(const QString& dbFile, const QDir& root)
{
    Sqlite3DB db;
    db.openThrow(dbFile, kOpenReadOnly);
    Sqlite3Cursor c = db.queryThrow(Sqlite3Sql("SELECT fileID, domain, relativePath, flags, file FROM Files"));
    QList<_MBDBItem> items;
    while (c.moveNext()) {
        const QString fileID = c.getText(0);
        try {
            items << recordOf(fileID, c.getText(1), c.getText(2), c.getInt(3), c.getBlob(4), c.isNull(4), root);
        } catch (const std::bad_alloc&) {
            // Not a damaged row: skipping it would report a backup without
            // Viber data.
            items.clear();
            g_raise(QStringLiteral("%1: not enough memory to read the record %2.").arg(dbFile, fileID.left(64)));
        } catch (const std::runtime_error& e) {
            qWarning("Manifest.db: row %s skipped: %s", qUtf8Printable(fileID.left(64)), e.what());
        }
    }
    return items;
}

QDir g_privateIndexDirThrow(const QDir& indexBase, const QString& backupPath)
{
    const QDir& base = indexBase;
    const QDir dir(base.filePath(g_md5(QDir(backupPath).absolutePath())));
    if (!QDir().mkpath(dir.absolutePath()))
        g_raise(QStringLiteral("Cannot create the folder %1.").arg(dir.absolutePath()));
    if (!QFile::setPermissions(base.absolutePath(), kOwnerOnlyDir) ||
        !QFile::setPermissions(dir.absolutePath(), kOwnerOnlyDir))
        g_raise(QStringLiteral("Cannot restrict the access to %1 to its owner.").arg(dir.absolutePath()));
    return dir;
}

void g_decryptManifestDbThrow(const QString& src, const QString& dest, const QByteArray& key)
{
    QFile in(src);
    if (!in.open(QIODevice::ReadOnly))
        g_raise(QStringLiteral("%1: %2").arg(src, in.errorString()));
    if (in.size() < 16 || in.size() % 16 != 0)
        g_raise(QStringLiteral("%1 is damaged: its length is not a whole number of cipher blocks.").arg(src));
    AesCbcDecryptor aes;
    if (!aes.setKey(key))
        g_raise(QStringLiteral("%1: the index key is too short.").arg(src));

    QFile::remove(dest);
    QFile out(dest);
    openOwnerOnly(out, QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
    try {
        char iv[16] = {};
        QByteArray buffer(kChunk, Qt::Uninitialized);
        QByteArray held; // the last block seen, written once it is known not to be the end
        for (;;) {
            const qint64 n = readFull(in, buffer.data(), kChunk);
            if (n == 0)
                break;
            if (n % 16 != 0 || !aes.decryptInPlace(buffer.data(), size_t(n), iv))
                g_raise(QStringLiteral("%1 is damaged: its length is not a whole number of cipher blocks.").arg(src));
            QByteArray chunk = held + QByteArray(buffer.constData(), n);
            held = chunk.right(16);
            chunk.chop(16);
            QString error;
            if (!g_writeAll(out, chunk, error, dest))
                g_raise(error);
        }
        // Indexes decrypted by other tools sometimes lost their padding;
        // an SQLite file is whole pages, so keep a block that carries none.
        g_removePkcs7Padding(held);
        QString error;
        if (!g_writeAll(out, held, error, dest))
            g_raise(error);
        out.close();
        QFile check(dest);
        if (!check.open(QIODevice::ReadOnly) || check.read(16) != QByteArray("SQLite format 3\0", 16))
            g_raise(QStringLiteral("%1 does not decrypt to a database (a damaged index or ManifestKey).").arg(src));
    } catch (...) {
        out.close();
        QFile::remove(dest);
        throw;
    }
}

void g_encryptBackupFileThrow(const QString& src, const QString& dest, const QByteArray& key)
{
    QFile in(src);
    if (!in.open(QIODevice::ReadOnly))
        g_raise(QStringLiteral("%1: %2").arg(src, in.errorString()));
    if (key.size() < 32)
        g_raise(QStringLiteral("The encryption key is too short."));
    mbedtls_aes_context aes;
    mbedtls_aes_init(&aes);
    struct AesGuard { mbedtls_aes_context* c; ~AesGuard() { mbedtls_aes_free(c); } } guard{&aes};
    mbedtls_aes_setkey_enc(&aes, reinterpret_cast<const unsigned char*>(key.constData()), 256);

    QSaveFile out(dest);
    // Unbuffered: a write that fails says why (a buffered one failed later,
    // as "Unknown error").
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        g_raise(QStringLiteral("%1: %2").arg(dest, out.errorString()));
    unsigned char iv[16] = {};
    QByteArray buffer(kChunk + 16, Qt::Uninitialized);
    for (;;) {
        qint64 n = readFull(in, buffer.data(), kChunk);
        const bool last = n < kChunk;
        if (last) {
            const int pad = 16 - int(n % 16);
            std::memset(buffer.data() + n, pad, size_t(pad));
            n += pad;
        }
        auto* p = reinterpret_cast<unsigned char*>(buffer.data());
        mbedtls_aes_crypt_cbc(&aes, MBEDTLS_AES_ENCRYPT, size_t(n), iv, p, p);
        QString error;
        if (!g_writeAll(out, QByteArrayView(buffer.constData(), n), error, dest))
            g_raise(error);
        if (last)
            break;
    }
    errno = 0;
    if (!out.commit())
        g_raise(QStringLiteral("%1: %2").arg(dest, g_fileDeviceError(out, errno)));
}
