#include "model/TinyKVSerializer.h"

#include <QBuffer>
#include <QtEndian>

#include <cstring>

namespace {
const char kMagic[] = "tinykv";
constexpr int kMagicLen = 6;

enum Tag : quint8 {
    TAG_INT = 'i',
    TAG_LONG = 'l',
    TAG_DOUBLE = 'd',
    TAG_STRING = 's',
    TAG_BINARY = 'v',
    TAG_NULL = 'n',
};

bool readExact(QIODevice& dev, char* out, qint64 n)
{
    return dev.read(out, n) == n;
}

bool writeExact(QIODevice& dev, const char* data, qint64 n)
{
    return dev.write(data, n) == n;
}

// Reads a count-prefixed byte run. The count comes from the data, so it is
// checked against what the device can still deliver before anything is
// allocated, and a sequential device is read in bounded chunks.
bool readCounted(QIODevice& dev, QByteArray& out)
{
    qint32 n = 0;
    if (!TinyKVSerializer::readInt32(dev, n) || n < 0)
        return false;
    if (!dev.isSequential() && n > dev.size() - dev.pos())
        return false;
    out.clear();
    constexpr qint32 chunk = 1 << 20;
    while (out.size() < n) {
        const qint32 want = qMin(chunk, n - qint32(out.size()));
        const QByteArray part = dev.read(want);
        if (part.size() != want)
            return false;
        out.append(part);
    }
    return true;
}
} // namespace

bool TinyKVSerializer::readByte(QIODevice& dev, quint8& v)
{
    char c = 0;
    if (!readExact(dev, &c, 1))
        return false;
    v = quint8(c);
    return true;
}

bool TinyKVSerializer::readInt32(QIODevice& dev, qint32& v)
{
    uchar b[4];
    if (!readExact(dev, reinterpret_cast<char*>(b), 4))
        return false;
    v = qFromLittleEndian<qint32>(b);
    return true;
}

bool TinyKVSerializer::readInt64(QIODevice& dev, qint64& v)
{
    uchar b[8];
    if (!readExact(dev, reinterpret_cast<char*>(b), 8))
        return false;
    v = qFromLittleEndian<qint64>(b);
    return true;
}

bool TinyKVSerializer::readDouble(QIODevice& dev, double& v)
{
    qint64 bits = 0;
    if (!readInt64(dev, bits))
        return false;
    std::memcpy(&v, &bits, sizeof v);
    return true;
}

bool TinyKVSerializer::readBinary(QIODevice& dev, QByteArray& v)
{
    return readCounted(dev, v);
}

bool TinyKVSerializer::readString(QIODevice& dev, QString& v)
{
    QByteArray bytes;
    if (!readCounted(dev, bytes))
        return false;
    v = QString::fromUtf8(bytes);
    return true;
}

bool TinyKVSerializer::readValue(QIODevice& dev, QVariant& v)
{
    v = QVariant();
    quint8 tag = 0;
    if (!readByte(dev, tag))
        return false;
    switch (tag) {
    case TAG_INT: {
        qint32 i = 0;
        if (!readInt32(dev, i))
            return false;
        v = QVariant(int(i));
        return true;
    }
    case TAG_LONG: {
        qint64 l = 0;
        if (!readInt64(dev, l))
            return false;
        v = QVariant(qlonglong(l));
        return true;
    }
    case TAG_DOUBLE: {
        double d = 0;
        if (!readDouble(dev, d))
            return false;
        v = QVariant(d);
        return true;
    }
    case TAG_STRING: {
        QString s;
        if (!readString(dev, s))
            return false;
        v = QVariant(s);
        return true;
    }
    case TAG_BINARY: {
        QByteArray b;
        if (!readBinary(dev, b))
            return false;
        v = QVariant(b);
        return true;
    }
    case TAG_NULL:
        return true;
    default:
        return false;
    }
}

bool TinyKVSerializer::writeByte(QIODevice& dev, quint8 v)
{
    const char c = char(v);
    return writeExact(dev, &c, 1);
}

bool TinyKVSerializer::writeInt32(QIODevice& dev, qint32 v)
{
    uchar b[4];
    qToLittleEndian<qint32>(v, b);
    return writeExact(dev, reinterpret_cast<const char*>(b), 4);
}

bool TinyKVSerializer::writeInt64(QIODevice& dev, qint64 v)
{
    uchar b[8];
    qToLittleEndian<qint64>(v, b);
    return writeExact(dev, reinterpret_cast<const char*>(b), 8);
}

bool TinyKVSerializer::writeDouble(QIODevice& dev, double v)
{
    qint64 bits = 0;
    std::memcpy(&bits, &v, sizeof v);
    return writeInt64(dev, bits);
}

bool TinyKVSerializer::writeBinay(QIODevice& dev, const QByteArray& v)
{
    return writeInt32(dev, qint32(v.size())) && writeExact(dev, v.constData(), v.size());
}

bool TinyKVSerializer::writeString(QIODevice& dev, const QString& v)
{
    return writeBinay(dev, v.toUtf8());
}

bool TinyKVSerializer::writeValue(QIODevice& dev, const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        return writeByte(dev, TAG_INT) && writeInt32(dev, v.toBool() ? 1 : 0);
    case QMetaType::Int:
        return writeByte(dev, TAG_INT) && writeInt32(dev, v.toInt());
    case QMetaType::UInt:
        return writeByte(dev, TAG_INT) && writeInt32(dev, qint32(v.toUInt()));
    case QMetaType::QChar:
        return writeByte(dev, TAG_INT) && writeInt32(dev, qint32(v.toChar().unicode()));
    case QMetaType::Char:
        return writeByte(dev, TAG_INT) && writeInt32(dev, qint32(v.value<char>()));
    case QMetaType::LongLong:
        return writeByte(dev, TAG_LONG) && writeInt64(dev, v.toLongLong());
    case QMetaType::ULongLong:
        return writeByte(dev, TAG_LONG) && writeInt64(dev, qint64(v.toULongLong()));
    case QMetaType::Double:
        return writeByte(dev, TAG_DOUBLE) && writeDouble(dev, v.toDouble());
    case QMetaType::QString:
        return writeByte(dev, TAG_STRING) && writeString(dev, v.toString());
    case QMetaType::QByteArray:
        return writeByte(dev, TAG_BINARY) && writeBinay(dev, v.toByteArray());
    default:
        return writeByte(dev, TAG_NULL);
    }
}

bool TinyKVSerializer::ser(QIODevice& dev, const QHash<QString, QVariant>& values)
{
    if (!writeExact(dev, kMagic, kMagicLen))
        return false;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (!writeString(dev, it.key()) || !writeValue(dev, it.value()))
            return false;
    }
    return true;
}

QByteArray TinyKVSerializer::ser(const QHash<QString, QVariant>& values)
{
    QByteArray out;
    QBuffer buf(&out);
    if (!buf.open(QIODevice::WriteOnly))
        return QByteArray();
    if (!ser(buf, values))
        return QByteArray();
    buf.close();
    return out;
}

bool TinyKVSerializer::unser(QIODevice& dev, QHash<QString, QVariant>& values)
{
    char magic[kMagicLen];
    if (!readExact(dev, magic, kMagicLen) || std::memcmp(magic, kMagic, kMagicLen) != 0)
        return false;
    values.clear();
    for (;;) {
        QString key;
        // A key cut short marks the end of the data: what was read so far stays.
        if (!readString(dev, key))
            return true;
        QVariant value;
        if (!readValue(dev, value)) {
            values.clear();
            return false;
        }
        values.insert(key, value);
    }
}

QHash<QString, QVariant> TinyKVSerializer::unser(const QByteArray& data)
{
    QHash<QString, QVariant> values;
    QBuffer buf;
    buf.setData(data);
    if (!buf.open(QIODevice::ReadOnly))
        return values;
    if (!unser(buf, values))
        return QHash<QString, QVariant>();
    return values;
}

TinyKVWriter::TinyKVWriter()
{
    m_out.reserve(64);
    m_out.append(kMagic, kMagicLen);
}

void TinyKVWriter::addCounted(QByteArrayView bytes)
{
    uchar n[4];
    qToLittleEndian<qint32>(qint32(bytes.size()), n);
    m_out.append(reinterpret_cast<const char*>(n), 4);
    m_out.append(bytes);
}

void TinyKVWriter::addInt(QByteArrayView key, qint32 v)
{
    addCounted(key);
    uchar b[5] = {TAG_INT};
    qToLittleEndian<qint32>(v, b + 1);
    m_out.append(reinterpret_cast<const char*>(b), 5);
}

void TinyKVWriter::addInt64(QByteArrayView key, qint64 v)
{
    addCounted(key);
    uchar b[9] = {TAG_LONG};
    qToLittleEndian<qint64>(v, b + 1);
    m_out.append(reinterpret_cast<const char*>(b), 9);
}

void TinyKVWriter::addString(QByteArrayView key, QByteArrayView utf8)
{
    addCounted(key);
    m_out.append(char(TAG_STRING));
    addCounted(utf8);
}

void TinyKVWriter::addBinary(QByteArrayView key, QByteArrayView bytes)
{
    addCounted(key);
    m_out.append(char(TAG_BINARY));
    addCounted(bytes);
}
