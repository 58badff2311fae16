// The "file" column of Manifest.db: an MBFile object archived by
// NSKeyedArchiver (a binary or XML property list of UID-linked objects).
#include "FuzzSupport.h"
#include "itunes/MBFileArchive.h"
#include "plist/KeyedArchive.h"

#include <exception>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    try {
        _MBDBItem item;
        g_readMBFileArchive(input, item);
        // What is read is written back as the application writes it.
        item.path.setVal("p");
        (void)g_writeMBFileArchive(item);
    } catch (const std::exception&) {
    }
    try {
        (void)g_decodeKeyedArchive(input, "root");
    } catch (const std::exception&) {
    }
    return 0;
}
