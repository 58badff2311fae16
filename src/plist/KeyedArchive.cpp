#include "plist/KeyedArchive.h"

#include <QDateTime>
#include <QVariantList>
#include <QVariantMap>

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string_view>

namespace {
// An MBFile holds about twenty values; nothing a backup index keeps comes
// near these.
constexpr int kMaxDepth = 32;
constexpr int kMaxValues = 100000;
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
            plist_t target = plist_array_get_item(m_objects, uint32_t(uid));
            if (isNullMarker(target))
                return QVariant();
            return value(target, depth + 1);
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
            const QString text = QString::fromUtf8(s);
            std::free(s);
            return text;
        }
        case PLIST_DATA: {
            char* d = nullptr;
            uint64_t len = 0;
            plist_get_data_val(node, &d, &len);
            const QByteArray bytes(d, qsizetype(len));
            std::free(d);
            return bytes;
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
