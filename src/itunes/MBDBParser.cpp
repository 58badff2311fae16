#include "itunes/MBDBParser.h"
#include "shell/Failure.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <stdexcept>

namespace {
const char kHeader[] = {'m', 'b', 'd', 'b', 0x05, 0x00};
constexpr qint64 kHeaderSize = 6;

// Bounds-checked big-endian reader over the bytes of one index.
class Reader
{
public:
    Reader(const uchar* data, qint64 size, const QString& source) : m_p(data), m_size(size), m_source(source) {}

    bool atEnd() const { return m_pos >= m_size; }

    quint64 readNumber(int width)
    {
        need(width);
        quint64 v = 0;
        for (int i = 0; i < width; ++i)
            v = (v << 8) | m_p[m_pos + i];
        m_pos += width;
        return v;
    }

    // same: a text to share when the bytes are equal (records come grouped by
    // domain, so sharing the previous domain saves one allocation per record).
    _MBDBBinary readBinary(const QByteArray* same = nullptr)
    {
        _MBDBBinary b;
        b.length = quint16(readNumber(2));
        if (b.isValid()) {
            need(b.length);
            const QByteArrayView bytes(reinterpret_cast<const char*>(m_p + m_pos), b.length);
            b.value = same && *same == bytes ? *same : bytes.toByteArray();
            m_pos += b.length;
        }
        return b;
    }

private:
    void need(qint64 n) const
    {
        if (m_size - m_pos < n)
            g_raise(QStringLiteral("%1 is damaged: a record is cut short at byte %2.").arg(m_source).arg(m_pos));
    }

    const uchar* m_p;
    qint64 m_size;
    qint64 m_pos = kHeaderSize;
    QString m_source;
};

bool isAscii(const QByteArray& b)
{
    for (char c : b) {
        if (uchar(c) >= 0x80)
            return false;
    }
    return true;
}

// backupFileName() without the round trip through UTF-16, which is the same
// for ASCII texts (nearly every record) and costs most of the parsing time.
QString storedName(const _MBDBItem& item)
{
    const QByteArray& d = item.domain.isValid() ? item.domain.value : QByteArray();
    const QByteArray& p = item.path.isValid() ? item.path.value : QByteArray();
    if (!isAscii(d) || !isAscii(p))
        return item.backupFileName();
    QCryptographicHash h(QCryptographicHash::Sha1);
    h.addData(d);
    h.addData(QByteArrayView("-", 1));
    h.addData(p);
    return QString::fromLatin1(h.resultView().toByteArray().toHex());
}

QHash<QString, _MBDBItem> parseData(const uchar* data, qint64 size, const QString& source)
{
    QHash<QString, _MBDBItem> result;
    if (size < kHeaderSize)
        return result;
    if (memcmp(data, kHeader, 4) != 0)
        g_raise(QStringLiteral("%1 is not a Manifest.mbdb index.").arg(source));
    Reader r(data, size, source);
    // Records take about 100 bytes or more; the estimate only saves rehashing.
    result.reserve(qsizetype(std::min<qint64>(size / 100, 4 * 1024 * 1024)));
    QByteArray lastDomain;
    while (!r.atEnd()) {
        _MBDBItem item;
        item.domain = r.readBinary(&lastDomain);
        lastDomain = item.domain.value;
        item.path = r.readBinary();
        item.linkTarget = r.readBinary();
        item.dataHash = r.readBinary();
        item.encryptionKey = r.readBinary();
        item.mode = quint16(r.readNumber(2));
        item.inodeHigh = quint32(r.readNumber(4));
        item.inodeLow = quint32(r.readNumber(4));
        item.userId = quint32(r.readNumber(4));
        item.groupId = quint32(r.readNumber(4));
        item.lastModified = quint32(r.readNumber(4));
        item.lastAccessed = quint32(r.readNumber(4));
        item.created = quint32(r.readNumber(4));
        item.size = r.readNumber(8);
        item.protectionClass = quint8(r.readNumber(1));
        // Unsigned: a signed count would skip properties and misread what follows.
        const int count = int(r.readNumber(1));
        item.properties.reserve(count);
        for (int i = 0; i < count; ++i) {
            _MBDBProperty prop;
            prop.name = r.readBinary();
            prop.value = r.readBinary();
            item.properties.append(prop);
        }
        result.insert(storedName(item), std::move(item));
    }
    return result;
}

void putNumber(QByteArray& out, quint64 v, int width)
{
    for (int i = width - 1; i >= 0; --i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

void putBinary(QByteArray& out, const _MBDBBinary& b)
{
    if (b.isValid() && b.value.size() != b.length)
        throw std::runtime_error("A Manifest.mbdb text does not match its stored length.");
    putNumber(out, b.length, 2);
    if (b.isValid())
        out.append(b.value);
}

quint32 unixTime(const QDateTime& t)
{
    return t.isValid() ? quint32(t.toSecsSinceEpoch()) : 0;
}
} // namespace

QHash<QString, _MBDBItem> MBDBParser::parse(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        g_raise(f.errorString());
    const qint64 size = f.size();
    if (size == 0)
        return {};
    if (const uchar* mapped = f.map(0, size))
        return parseData(mapped, size, file);
    const QByteArray all = f.readAll();
    if (f.error() != QFileDevice::NoError)
        g_raise(f.errorString());
    return parseBytes(all, file);
}

QHash<QString, _MBDBItem> MBDBParser::parseBytes(const QByteArray& data, const QString& source)
{
    return parseData(reinterpret_cast<const uchar*>(data.constData()), data.size(), source);
}

void MBDBParser::save2File(const QList<_MBDBItem>& items, const QString& file)
{
    QList<_MBDBItem> sorted = items;
    std::stable_sort(sorted.begin(), sorted.end(), compareMBDBItemLess);

    QByteArray out(kHeader, kHeaderSize);
    for (const _MBDBItem& it : sorted) {
        if (it.properties.size() > 255)
            throw std::runtime_error("A Manifest.mbdb record has more than 255 properties.");
        putBinary(out, it.domain);
        putBinary(out, it.path);
        putBinary(out, it.linkTarget);
        putBinary(out, it.dataHash);
        putBinary(out, it.encryptionKey);
        putNumber(out, it.mode, 2);
        putNumber(out, it.inodeHigh, 4);
        putNumber(out, it.inodeLow, 4);
        putNumber(out, it.userId, 4);
        putNumber(out, it.groupId, 4);
        putNumber(out, it.lastModified, 4);
        putNumber(out, it.lastAccessed, 4);
        putNumber(out, it.created, 4);
        putNumber(out, it.size, 8);
        putNumber(out, it.protectionClass, 1);
        putNumber(out, quint64(it.properties.size()), 1);
        for (const _MBDBProperty& p : it.properties) {
            putBinary(out, p.name);
            putBinary(out, p.value);
        }
    }

    // A failed write must not leave a half-written index in place of the old one.
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        g_raise(f.errorString());
    if (f.write(out) != out.size() || !f.commit())
        g_raise(f.errorString());
}

void MBDBParser::appendFile(QHash<QString, _MBDBItem>& items, const QString& localFile, const QString& domain,
                            const QString& path)
{
    qint32 counter = 0;
    for (const _MBDBItem& it : std::as_const(items))
        counter = std::max(counter, qint32(it.inodeLow));

    const QFileInfo fi(localFile);
    const quint32 modified = unixTime(fi.lastModified());
    const QDateTime birth = fi.birthTime();
    const quint32 created = birth.isValid() ? unixTime(birth) : modified;
    const QByteArray domainBytes = domain.toUtf8();

    for (const QString& folderPath : MBDBParser::parentFolders(path)) {
        const QString key = getFileHashName(domain, folderPath);
        if (items.contains(key))
            break;
        _MBDBItem folder;
        folder.domain.setVal(domainBytes);
        if (!folderPath.isEmpty())
            folder.path.setVal(folderPath.toUtf8());
        folder.mode = 0x41C0;
        folder.inodeLow = quint32(++counter);
        folder.userId = folder.groupId = 501;
        folder.lastModified = folder.lastAccessed = modified;
        folder.created = created;
        folder.protectionClass = 4;
        items.insert(key, folder);
    }

    const QString key = getFileHashName(domain, path);
    auto it = items.find(key);
    if (it == items.end()) {
        _MBDBItem file;
        file.domain.setVal(domainBytes);
        file.path.setVal(path.toUtf8());
        file.mode = 0x81A4;
        file.inodeLow = quint32(counter + 1);
        file.userId = file.groupId = 501;
        file.protectionClass = 4;
        it = items.insert(key, file);
    }
    it->size = quint64(std::max<qint64>(fi.size(), 0));
    it->dataHash.setVal(readFileHash(localFile));
    it->lastModified = it->lastAccessed = modified;
    it->created = created;
}

QStringList MBDBParser::parentFolders(const QString& path)
{
    QStringList parents;
    QString parent = path;
    for (qsizetype slash = parent.lastIndexOf(u'/'); slash >= 1; slash = parent.lastIndexOf(u'/')) {
        parent = parent.left(slash);
        parents << parent;
    }
    parents << QString();
    return parents;
}

QString MBDBParser::getFileHashName(const QString& domain, const QString& path)
{
    const QByteArray text = (domain + u'-' + path).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex());
}

QByteArray MBDBParser::readFileHash(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash h(QCryptographicHash::Sha1);
    if (!h.addData(&f))
        return QByteArray();
    return h.result();
}

bool MBDBParser::compareMBDBItemLess(const _MBDBItem& a, const _MBDBItem& b)
{
    const int d = QString::compare(a.domain.toString(), b.domain.toString(), Qt::CaseSensitive);
    if (d != 0)
        return d < 0;
    return QString::compare(a.path.toString(), b.path.toString(), Qt::CaseSensitive) < 0;
}
