#include "itunes/MBDBItem.h"

#include "itunes/MBDBParser.h"

#include <stdexcept>

void _MBDBBinary::setVal(const QByteArray& bytes)
{
    if (bytes.size() > kMaxLength)
        throw std::runtime_error("A Manifest.mbdb text is longer than 65534 bytes.");
    length = quint16(bytes.size());
    value = bytes;
}

QString _MBDBItem::backupFileName() const
{
    return MBDBParser::getFileHashName(domain.toString(), path.toString());
}
