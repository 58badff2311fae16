#include "plist/KeyedArchive.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <QVariantList>
#include <QVariantMap>

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string_view>

namespace {
// An MBFile holds about twenty values; nothing a backup index keeps comes
// near these.
constexpr int kMaxDepth = 32;
constexpr int kMaxValues = 100000;
// Strings and data counted at every place they appear in the plain tree (an
// object reached through several UIDs counts each time, although its bytes
// are shared): an MBFile holds well under a kilobyte.
constexpr qint64 kMaxBytes = 16 * 1024 * 1024;
// Seconds between the Unix epoch and 2001-01-01, the epoch of plist dates.
constexpr qint64 kPlistEpoch = 978307200;

[[noreturn]] void raise(const char* text)
{
    throw std::runtime_error(text);
}

quint64 bigEndian(const uchar* p, int n)
{
    quint64 v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

// Whether a binary property list holds a string object (ASCII or UTF-16)
// with a NUL character in it. libplist takes such a string as a dictionary
// key, then aborts on an assertion when the key is read (found by fuzzing).
// Only what can be checked is looked at; libplist judges the rest.
bool binaryHasNulString(const QByteArray& b)
{
    const quint64 size = quint64(b.size());
    if (size < 8 + 32)
        return false;
    const auto* d = reinterpret_cast<const uchar*>(b.constData());
    const uchar* trailer = d + size - 32;
    const int offsetSize = trailer[6];
    const quint64 count = bigEndian(trailer + 8, 8);
    const quint64 table = bigEndian(trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || count > size || table > size || table + count * quint64(offsetSize) > size)
        return false;
    for (quint64 i = 0; i < count; ++i) {
        const quint64 offset = bigEndian(d + table + i * quint64(offsetSize), offsetSize);
        if (offset >= size)
            continue;
        const int kind = d[offset] >> 4;
        if (kind != 5 && kind != 6)
            continue;
        quint64 length = d[offset] & 0xF;
        quint64 at = offset + 1;
        if (length == 0xF) {
            if (at >= size || (d[at] >> 4) != 1)
                continue;
            const int n = 1 << (d[at] & 0xF);
            if (n > 8 || at + 1 + quint64(n) > size)
                continue;
            length = bigEndian(d + at + 1, n);
            at += 1 + quint64(n);
        }
        if (length > size)
            continue;
        const quint64 bytes = kind == 5 ? length : length * 2;
        if (at + bytes > size)
            continue;
        if (kind == 5 && std::memchr(d + at, 0, size_t(bytes)))
            return true;
        for (quint64 j = 0; kind == 6 && j < length; ++j) {
            if (d[at + 2 * j] == 0 && d[at + 2 * j + 1] == 0)
                return true;
        }
    }
    return false;
}

// The same for XML: a NUL byte, or a character reference to NUL.
bool xmlHasNulString(const QByteArray& b)
{
    static const QRegularExpression nulReference(QStringLiteral("&#(0+|[xX]0+);"));
    return b.contains('\0') || nulReference.match(QString::fromLatin1(b)).hasMatch();
}

struct PlistFree
{
    void operator()(plist_t p) const { plist_free(p); }
};

class Decoder
{
public:
    explicit Decoder(plist_t objects) : m_objects(objects), m_count(plist_array_get_size(objects)) {}

    QVariant value(plist_t node, int depth)
    {
        if (depth > kMaxDepth)
            raise("The keyed archive nests too deep.");
        if (++m_values > kMaxValues)
            raise("The keyed archive holds too many values.");
        switch (plist_get_node_type(node)) {
        case PLIST_UID: {
            uint64_t uid = 0;
            plist_get_uid_val(node, &uid);
            if (uid >= m_count)
                raise("The keyed archive refers to an object it does not hold.");
            // An object reached again is the one decoded before, shared (its
            // strings and data are not copied); it still counts, values and
            // bytes, as often as it is reached.
            const auto seen = m_decoded.constFind(uid);
            if (seen != m_decoded.cend()) {
                count(seen->values, seen->bytes);
                return seen->value;
            }
            plist_t target = plist_array_get_item(m_objects, uint32_t(uid));
            if (isNullMarker(target))
                return QVariant();
            const int valuesBefore = m_values;
            const qint64 bytesBefore = m_bytes;
            QVariant decoded = value(target, depth + 1);
            m_decoded.insert(uid, Decoded{decoded, m_values - valuesBefore, m_bytes - bytesBefore});
            return decoded;
        }
        case PLIST_DICT: {
            QVariantMap map;
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            // Freed also when a value below raises.
            std::unique_ptr<void, decltype(&std::free)> itGuard(it, &std::free);
            for (;;) {
                char* key = nullptr;
                plist_t child = nullptr;
                plist_dict_next_item(node, it, &key, &child);
                if (!key)
                    break;
                std::unique_ptr<char, decltype(&std::free)> keyGuard(key, &std::free);
                map.insert(QString::fromUtf8(key), value(child, depth + 1));
            }
            return map;
        }
        case PLIST_ARRAY: {
            QVariantList list;
            const uint32_t n = plist_array_get_size(node);
            for (uint32_t i = 0; i < n; ++i)
                list << value(plist_array_get_item(node, i), depth + 1);
            return list;
        }
        case PLIST_STRING: {
            // By pointer and length: plist_get_string_val asserts on a NUL.
            uint64_t len = 0;
            const char* s = plist_get_string_ptr(node, &len);
            count(0, s && len <= uint64_t(kMaxBytes) ? qint64(len) : kMaxBytes + 1);
            return s ? QString::fromUtf8(s, qsizetype(len)) : QString();
        }
        case PLIST_DATA: {
            char* d = nullptr;
            uint64_t len = 0;
            plist_get_data_val(node, &d, &len);
            std::unique_ptr<char, decltype(&std::free)> guard(d, &std::free);
            count(0, len > uint64_t(kMaxBytes) ? kMaxBytes + 1 : qint64(len));
            return QByteArray(d, qsizetype(len));
        }
        case PLIST_UINT: {
            uint64_t v = 0;
            plist_get_uint_val(node, &v);
            // libplist keeps negative integers as their two's complement.
            return qint64(v);
        }
        case PLIST_REAL: {
            double v = 0;
            plist_get_real_val(node, &v);
            return v;
        }
        case PLIST_BOOLEAN: {
            uint8_t v = 0;
            plist_get_bool_val(node, &v);
            return bool(v);
        }
        case PLIST_DATE: {
            int32_t sec = 0, usec = 0;
            plist_get_date_val(node, &sec, &usec);
            return QDateTime::fromMSecsSinceEpoch((kPlistEpoch + sec) * 1000 + usec / 1000, Qt::UTC);
        }
        default:
            return QVariant();
        }
    }

private:
    struct Decoded
    {
        QVariant value;
        int values;
        qint64 bytes;
    };

    void count(int values, qint64 bytes)
    {
        m_values += values;
        m_bytes += bytes;
        if (m_values > kMaxValues)
            raise("The keyed archive holds too many values.");
        if (m_bytes > kMaxBytes)
            raise("The keyed archive expands to too many bytes.");
    }

    static bool isNullMarker(plist_t node)
    {
        if (plist_get_node_type(node) != PLIST_STRING)
            return false;
        uint64_t len = 0;
        const char* s = plist_get_string_ptr(node, &len);
        return s && std::string_view(s, size_t(len)) == "$null";
    }

    plist_t m_objects;
    uint32_t m_count;
    int m_values = 0;
    qint64 m_bytes = 0;
    QHash<uint64_t, Decoded> m_decoded;
};
} // namespace

QVariant g_decodeKeyedArchive(const QByteArray& bytes, const char* topKey)
{
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<int32_t>::max())
        raise("The keyed archive is empty or too large.");
    plist_t raw = nullptr;
    const bool binary = bytes.startsWith("bplist00");
    if (binary ? binaryHasNulString(bytes) : xmlHasNulString(bytes))
        raise("The keyed archive holds a string with a NUL character.");
    if (binary)
        plist_from_bin(bytes.constData(), uint32_t(bytes.size()), &raw);
    else
        plist_from_xml(bytes.constData(), uint32_t(bytes.size()), &raw);
    std::unique_ptr<void, PlistFree> root(raw);
    if (!raw || plist_get_node_type(raw) != PLIST_DICT)
        raise("The keyed archive is not a readable property list.");
    plist_t objects = plist_dict_get_item(raw, "$objects");
    plist_t top = plist_dict_get_item(raw, "$top");
    if (!objects || plist_get_node_type(objects) != PLIST_ARRAY || !top || plist_get_node_type(top) != PLIST_DICT)
        raise("The property list is not a keyed archive (no $objects or $top).");
    plist_t start = plist_dict_get_item(top, topKey);
    if (!start)
        raise("The keyed archive has no root object.");
    Decoder decoder(objects);
    return decoder.value(start, 0);
}
