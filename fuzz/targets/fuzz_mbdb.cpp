// Manifest.mbdb, the file index of backups made by iOS 9 and earlier.
#include "FuzzSupport.h"
#include "itunes/MBDBParser.h"

#include <exception>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        const auto items = MBDBParser::parseBytes(fuzz::bytes(data, size), QStringLiteral("Manifest.mbdb"));
        for (const _MBDBItem& item : items)
            (void)item.backupFileName();
    } catch (const std::exception&) {
    }
    return 0;
}
