#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>

class QTimeZone;

// The reference behind a CFType: a libplist node and whether this handle frees
// it. Borrowed handles (values read out of a dictionary) never free anything.
struct CFTypePrivacy
{
    void* ref = nullptr;
    bool owned = false;

    CFTypePrivacy(void* r, bool o) : ref(r), owned(o) {}
    ~CFTypePrivacy();
    CFTypePrivacy(const CFTypePrivacy&) = delete;
    CFTypePrivacy& operator=(const CFTypePrivacy&) = delete;
};

// One property-list value (dictionary, array, string, number, boolean, data,
// date). Copies share the same node; the node is freed when the last wrapper of
// an owned value goes. Values taken with get() are borrowed from their
// dictionary and stay valid only while that dictionary lives.
class CFType
{
public:
    enum Format { FormatXml = 100, FormatBinary = 200 };

    CFType() = default;
    CFType(const void* ref, bool owned);
    virtual ~CFType() = default;

    const void* ref() const { return m_d ? m_d->ref : nullptr; }
    bool isNull() const { return ref() == nullptr; }

    bool isCFDictionary() const;
    bool isCFArray() const;
    bool isCFString() const;
    bool isCFNumber() const;
    bool isCFBoolean() const;
    bool isCFData() const;
    bool isCFDate() const;

    // Dictionary value (borrowed); a null wrapper when absent or when this is
    // not a dictionary. The key must be a string.
    CFType get(const CFType& key) const;
    CFType get(const QString& key) const;
    // Array element (borrowed); a null wrapper when out of range or not an array.
    CFType at(int index) const;
    // Entries of a dictionary or array; 0 for anything else.
    int count() const;

    // Stores a copy of value under key in a dictionary and returns the
    // dictionary. A libplist node belongs to one parent only, so the dictionary
    // takes its own copy: the caller's wrapper stays valid and independent.
    // Ignored on anything but a dictionary or with a non-string key.
    CFType& put(const CFType& key, const CFType& value);
    CFType& put(const QString& key, const CFType& value);

    qint64 CFNumberInt64(qint64 def) const;
    bool CFNumberBool(bool def) const;
    QString CFStringQString() const;
    QByteArray CFDataBytes() const;
    // Wall-clock fields of the date in tz (UTC when null), as a local-time
    // QDateTime; invalid when this is not a date.
    QDateTime CFDateToDateTime(const QTimeZone* tz) const;
    // 100 = XML, 200 = binary; empty for a null wrapper or another format.
    QByteArray CFPropertyListToBytes(long format) const;
    QString toString() const;

    static CFType createCFString(const QString& s);
    static CFType createCFDictionary();
    static CFType createCFNumber(qint64 v);
    static CFType createCFBoolean(bool v);
    static CFType createCFData(const QByteArray& bytes);
    // Parses an XML or binary property list; a null wrapper on anything else.
    static CFType createCFPropertyList(const QByteArray& bytes);

private:
    std::shared_ptr<CFTypePrivacy> m_d;
};
