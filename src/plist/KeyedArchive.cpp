#include "plist/KeyedArchive.h"

#include <QDateTime>
#include <QHash>
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
            char* s = nullptr;
            plist_get_string_val(node, &s);
            std::unique_ptr<char, decltype(&std::free)> guard(s, &std::free);
            const qint64 len = s ? qint64(std::strlen(s)) : 0;
            count(0, len);
            return QString::fromUtf8(s, qsizetype(len));
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
        char* s = nullptr;
        plist_get_string_val(node, &s);
        const bool marker = s && std::string_view(s) == "$null";
        std::free(s);
        return marker;
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
    if (bytes.startsWith("bplist00"))
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
