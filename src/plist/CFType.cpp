#include "plist/CFType.h"

#include <QTimeZone>

#include <plist/plist.h>

#include <cmath>
#include <limits>

namespace {
// libplist dates count seconds from 2001-01-01 00:00:00 UTC, like CoreFoundation.
constexpr qint64 kAppleEpochUnix = 978307200;

plist_t node(const CFType& v)
{
    return const_cast<void*>(v.ref());
}

plist_type typeOf(const CFType& v)
{
    return v.isNull() ? PLIST_NONE : plist_get_node_type(node(v));
}

QByteArray stringBytes(plist_t n)
{
    uint64_t len = 0;
    const char* p = plist_get_string_ptr(n, &len);
    if (!p || len > uint64_t(std::numeric_limits<int>::max()))
        return QByteArray();
    return QByteArray(p, qsizetype(len));
}
} // namespace

CFTypePrivacy::~CFTypePrivacy()
{
    if (ref && owned)
        plist_free(static_cast<plist_t>(ref));
}

CFType::CFType(const void* ref, bool owned)
    : m_d(std::make_shared<CFTypePrivacy>(const_cast<void*>(ref), owned))
{
}

bool CFType::isCFDictionary() const { return typeOf(*this) == PLIST_DICT; }
bool CFType::isCFArray() const { return typeOf(*this) == PLIST_ARRAY; }
bool CFType::isCFString() const { return typeOf(*this) == PLIST_STRING; }
bool CFType::isCFNumber() const { return typeOf(*this) == PLIST_UINT || typeOf(*this) == PLIST_REAL; }
bool CFType::isCFBoolean() const { return typeOf(*this) == PLIST_BOOLEAN; }
bool CFType::isCFData() const { return typeOf(*this) == PLIST_DATA; }
bool CFType::isCFDate() const { return typeOf(*this) == PLIST_DATE; }

CFType CFType::get(const CFType& key) const
{
    if (!key.isCFString())
        return CFType();
    return get(key.CFStringQString());
}

CFType CFType::get(const QString& key) const
{
    if (!isCFDictionary())
        return CFType();
    plist_t v = plist_dict_get_item(node(*this), key.toUtf8().constData());
    return v ? CFType(v, false) : CFType();
}

CFType CFType::at(int index) const
{
    if (!isCFArray() || index < 0 || uint32_t(index) >= plist_array_get_size(node(*this)))
        return CFType();
    return CFType(plist_array_get_item(node(*this), uint32_t(index)), false);
}

int CFType::count() const
{
    if (isCFDictionary())
        return int(plist_dict_get_size(node(*this)));
    if (isCFArray())
        return int(plist_array_get_size(node(*this)));
    return 0;
}

CFType& CFType::put(const CFType& key, const CFType& value)
{
    if (key.isCFString())
        put(key.CFStringQString(), value);
    return *this;
}

CFType& CFType::put(const QString& key, const CFType& value)
{
    if (!isCFDictionary() || value.isNull())
        return *this;
    plist_dict_set_item(node(*this), key.toUtf8().constData(), plist_copy(node(value)));
    return *this;
}

qint64 CFType::CFNumberInt64(qint64 def) const
{
    const plist_type t = typeOf(*this);
    if (t == PLIST_UINT) {
        uint64_t v = 0;
        plist_get_uint_val(node(*this), &v);
        // Binary lists store negative integers in two's complement.
        return qint64(v);
    }
    if (t == PLIST_REAL) {
        double d = 0;
        plist_get_real_val(node(*this), &d);
        if (std::isfinite(d) && d == std::trunc(d) && d >= -9.2e18 && d <= 9.2e18)
            return qint64(d);
    }
    return def;
}

bool CFType::CFNumberBool(bool def) const
{
    if (!isCFBoolean())
        return def;
    uint8_t v = 0;
    plist_get_bool_val(node(*this), &v);
    return v != 0;
}

QString CFType::CFStringQString() const
{
    if (!isCFString())
        return QString();
    return QString::fromUtf8(stringBytes(node(*this)));
}

QByteArray CFType::CFDataBytes() const
{
    if (!isCFData())
        return QByteArray();
    uint64_t len = 0;
    const char* p = plist_get_data_ptr(node(*this), &len);
    if (!p || len > uint64_t(std::numeric_limits<int>::max()))
        return QByteArray();
    return QByteArray(p, qsizetype(len));
}

QDateTime CFType::CFDateToDateTime(const QTimeZone* tz) const
{
    if (!isCFDate())
        return QDateTime();
    int32_t sec = 0, usec = 0;
    plist_get_date_val(node(*this), &sec, &usec);
    const QDateTime utc = QDateTime::fromSecsSinceEpoch(kAppleEpochUnix + sec, Qt::UTC);
    const QDateTime zoned = tz ? utc.toTimeZone(*tz) : utc;
    // The wall-clock fields are kept as they are and labelled local time.
    return QDateTime(zoned.date(), zoned.time(), Qt::LocalTime);
}

QByteArray CFType::CFPropertyListToBytes(long format) const
{
    if (isNull())
        return QByteArray();
    char* out = nullptr;
    uint32_t len = 0;
    QByteArray result;
    if (format == FormatXml) {
        plist_to_xml(node(*this), &out, &len);
        if (out)
            result = QByteArray(out, qsizetype(len));
        plist_to_xml_free(out);
    } else if (format == FormatBinary) {
        plist_to_bin(node(*this), &out, &len);
        if (out)
            result = QByteArray(out, qsizetype(len));
        plist_to_bin_free(out);
    }
    return result;
}

QString CFType::toString() const
{
    switch (typeOf(*this)) {
    case PLIST_STRING:
        return CFStringQString();
    case PLIST_UINT:
        return QString::number(CFNumberInt64(0));
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node(*this), &d);
        return QString::number(d, 'g', 6);
    }
    case PLIST_BOOLEAN:
        return CFNumberBool(false) ? QStringLiteral("1") : QStringLiteral("0");
    case PLIST_DATE:
        return CFDateToDateTime(nullptr).toString(Qt::TextDate);
    case PLIST_DATA:
        return QString::fromUtf8(CFDataBytes());
    default:
        return QString();
    }
}

CFType CFType::createCFString(const QString& s)
{
    return CFType(plist_new_string(s.toUtf8().constData()), true);
}

CFType CFType::createCFDictionary()
{
    return CFType(plist_new_dict(), true);
}

CFType CFType::createCFNumber(qint64 v)
{
    return CFType(plist_new_uint(uint64_t(v)), true);
}

CFType CFType::createCFBoolean(bool v)
{
    return CFType(plist_new_bool(v ? 1 : 0), true);
}

CFType CFType::createCFData(const QByteArray& bytes)
{
    return CFType(plist_new_data(bytes.constData(), uint64_t(bytes.size())), true);
}

CFType CFType::createCFPropertyList(const QByteArray& bytes)
{
    if (bytes.isEmpty() || quint64(bytes.size()) > std::numeric_limits<uint32_t>::max())
        return CFType();
    plist_t p = nullptr;
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &p);
    return p ? CFType(p, true) : CFType();
}
