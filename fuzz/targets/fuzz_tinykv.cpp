// The key/value blob of the local databases' "_other" columns.
#include "FuzzSupport.h"
#include "model/TinyKVSerializer.h"

#include <QBuffer>

#include <exception>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        const QByteArray input = fuzz::bytes(data, size);
        const QHash<QString, QVariant> values = TinyKVSerializer::unser(input);
        // What is read is written again as a later backup would.
        (void)TinyKVSerializer::ser(values);
        QBuffer device;
        device.setData(input);
        device.open(QIODevice::ReadOnly);
        QHash<QString, QVariant> streamed;
        (void)TinyKVSerializer::unser(device, streamed);
    } catch (const std::exception&) {
    }
    return 0;
}
