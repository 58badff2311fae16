#pragma once

#include <QByteArray>
#include <QHash>
#include <QIODevice>
#include <QString>
#include <QVariant>

// The "tinykv" property-bag format kept in the _other column of the local
// databases: the 6 magic bytes, then key/value entries to the end of the data,
// every integer little-endian. This is a stored file format: keep it byte-exact.
class TinyKVSerializer
{
public:
    static QByteArray ser(const QHash<QString, QVariant>& values);
    static bool ser(QIODevice& dev, const QHash<QString, QVariant>& values);
    static QHash<QString, QVariant> unser(const QByteArray& data);
    static bool unser(QIODevice& dev, QHash<QString, QVariant>& values);

    static bool readByte(QIODevice& dev, quint8& v);
    static bool readInt32(QIODevice& dev, qint32& v);
    static bool readInt64(QIODevice& dev, qint64& v);
    static bool readDouble(QIODevice& dev, double& v);
    static bool readBinary(QIODevice& dev, QByteArray& v);
    static bool readString(QIODevice& dev, QString& v);
    static bool readValue(QIODevice& dev, QVariant& v);

    static bool writeByte(QIODevice& dev, quint8 v);
    static bool writeInt32(QIODevice& dev, qint32 v);
    static bool writeInt64(QIODevice& dev, qint64 v);
    static bool writeDouble(QIODevice& dev, double v);
    static bool writeBinay(QIODevice& dev, const QByteArray& v);
    static bool writeString(QIODevice& dev, const QString& v);
    static bool writeValue(QIODevice& dev, const QVariant& v);
};

// Writes a bag straight into bytes, entry by entry in the caller's order, in
// the format above: for loaders, which would otherwise build a hash of
// variants for every row. Keys are UTF-8.
class TinyKVWriter
{
public:
    TinyKVWriter();

    void addInt(QByteArrayView key, qint32 v);
    void addInt64(QByteArrayView key, qint64 v);
    void addString(QByteArrayView key, QByteArrayView utf8);
    void addBinary(QByteArrayView key, QByteArrayView bytes);
    QByteArray take() { return std::move(m_out); }

private:
    void addCounted(QByteArrayView bytes);

    QByteArray m_out;
};
