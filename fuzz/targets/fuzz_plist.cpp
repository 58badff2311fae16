// Binary and XML property lists (Manifest.plist, Info.plist, Status.plist,
// device messages), read through the program's own wrapper.
#include "FuzzSupport.h"
#include "plist/CFType.h"

#include <exception>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        const CFType plist = CFType::createCFPropertyList(fuzz::bytes(data, size));
        if (!plist.isNull()) {
            (void)plist.toString();
            (void)plist.CFPropertyListToBytes(CFType::FormatBinary);
            (void)plist.CFPropertyListToBytes(CFType::FormatXml);
            (void)plist.CFStringQString();
            (void)plist.CFNumberInt64(0);
            (void)plist.CFDataBytes();
            (void)plist.CFDateToDateTime(nullptr);
        }
    } catch (const std::exception&) {
    }
    return 0;
}
