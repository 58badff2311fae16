#include "itunes/MBFileArchive.h"

#include "plist/KeyedArchive.h"

#include <QVariantMap>

#include <plist/plist.h>

#include <limits>
#include <stdexcept>

namespace {
[[noreturn]] void raise(const char* text)
{
    throw std::runtime_error(text);
}

// An integer member within [0, max], or def when absent or not an integer.
quint64 number(const QVariantMap& m, const char* key, quint64 max, quint64 def = 0)
{
    const QVariant v = m.value(QLatin1String(key));
    if (v.typeId() != QMetaType::LongLong)
        return def;
    const qint64 n = v.toLongLong();
    return n < 0 ? def : std::min<quint64>(quint64(n), max);
}

// NSData arrives as a dictionary with NS.data, or (older archivers) as data.
QByteArray dataOf(const QVariant& v)
{
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    if (v.typeId() == QMetaType::QVariantMap) {
        const QVariant d = v.toMap().value(QStringLiteral("NS.data"));
        if (d.typeId() == QMetaType::QByteArray)
            return d.toByteArray();
    }
    return QByteArray();
}

// NSString arrives as a string, or as a dictionary with NS.string.
QString textOf(const QVariant& v)
{
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    if (v.typeId() == QMetaType::QVariantMap)
        return v.toMap().value(QStringLiteral("NS.string")).toString();
    return QString();
}
} // namespace

void g_readMBFileArchive(const QByteArray& archive, _MBDBItem& item)
{
    const QVariant root = g_decodeKeyedArchive(archive);
    if (root.typeId() != QMetaType::QVariantMap)
        raise("The file record is not an MBFile.");
    const QVariantMap m = root.toMap();
    const QVariant size = m.value(QStringLiteral("Size"));
    if (size.typeId() != QMetaType::LongLong || size.toLongLong() < 0)
        raise("The file record has no valid size.");
    item.size = quint64(size.toLongLong());
    item.protectionClass = quint8(number(m, "ProtectionClass", 255));
    item.mode = quint16(number(m, "Mode", 0xFFFF));
    item.userId = quint32(number(m, "UserID", 0xFFFFFFFF));
    item.groupId = quint32(number(m, "GroupID", 0xFFFFFFFF));
    const quint64 inode = number(m, "InodeNumber", std::numeric_limits<quint64>::max());
    item.inodeHigh = quint32(inode >> 32);
    item.inodeLow = quint32(inode & 0xFFFFFFFF);
    item.lastModified = quint32(number(m, "LastModified", 0xFFFFFFFF));
    item.lastAccessed = quint32(number(m, "LastStatusChange", 0xFFFFFFFF, item.lastModified));
    item.created = quint32(number(m, "Birth", 0xFFFFFFFF));

    const QByteArray key = dataOf(m.value(QStringLiteral("EncryptionKey")));
    if (!key.isEmpty() && key.size() <= _MBDBBinary::kMaxLength)
        item.encryptionKey.setVal(key);
    const QString target = textOf(m.value(QStringLiteral("Target")));
    if (!target.isEmpty() && target.toUtf8().size() <= _MBDBBinary::kMaxLength)
        item.linkTarget.setVal(target.toUtf8());
}

namespace {
plist_t classEntry(const char* name)
{
    plist_t cls = plist_new_dict();
    plist_t chain = plist_new_array();
    plist_array_append_item(chain, plist_new_string(name));
    plist_array_append_item(chain, plist_new_string("NSObject"));
    plist_dict_set_item(cls, "$classes", chain);
    plist_dict_set_item(cls, "$classname", plist_new_string(name));
    return cls;
}
} // namespace

QByteArray g_writeMBFileArchive(const _MBDBItem& item)
{
    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    plist_t file = plist_new_dict();
    plist_array_append_item(objects, file);
    auto add = [&](plist_t node) {
        plist_array_append_item(objects, node);
        return plist_new_uid(plist_array_get_size(objects) - 1);
    };

    plist_dict_set_item(file, "RelativePath", add(plist_new_string(item.path.value.constData())));
    if (item.linkTarget.isValid())
        plist_dict_set_item(file, "Target", add(plist_new_string(item.linkTarget.value.constData())));
    const bool hasKey = item.encryptionKey.isValid();
    if (hasKey) {
        plist_t key = plist_new_dict();
        plist_dict_set_item(key, "NS.data",
                            plist_new_data(item.encryptionKey.value.constData(), uint64_t(item.encryptionKey.value.size())));
        const plist_t keyUid = add(key);
        plist_dict_set_item(key, "$class", add(classEntry("NSMutableData")));
        plist_dict_set_item(file, "EncryptionKey", keyUid);
    }
    plist_dict_set_item(file, "$class", add(classEntry("MBFile")));
    plist_dict_set_item(file, "Size", plist_new_uint(item.size));
    plist_dict_set_item(file, "ProtectionClass", plist_new_uint(item.protectionClass));
    plist_dict_set_item(file, "Mode", plist_new_uint(item.mode));
    plist_dict_set_item(file, "UserID", plist_new_uint(item.userId));
    plist_dict_set_item(file, "GroupID", plist_new_uint(item.groupId));
    plist_dict_set_item(file, "InodeNumber", plist_new_uint((quint64(item.inodeHigh) << 32) | item.inodeLow));
    plist_dict_set_item(file, "LastModified", plist_new_uint(item.lastModified));
    plist_dict_set_item(file, "LastStatusChange", plist_new_uint(item.lastAccessed));
    plist_dict_set_item(file, "Birth", plist_new_uint(item.created));
    plist_dict_set_item(file, "Flags", plist_new_uint(0));

    plist_t archive = plist_new_dict();
    plist_dict_set_item(archive, "$version", plist_new_uint(100000));
    plist_dict_set_item(archive, "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(1));
    plist_dict_set_item(archive, "$top", top);
    plist_dict_set_item(archive, "$objects", objects);

    char* out = nullptr;
    uint32_t len = 0;
    plist_to_bin(archive, &out, &len);
    QByteArray result(out, qsizetype(len));
    plist_to_bin_free(out);
    plist_free(archive);
    if (result.isEmpty())
        raise("The file record could not be written.");
    return result;
}
