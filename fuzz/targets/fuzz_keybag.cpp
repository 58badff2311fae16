// The keybag of an encrypted backup (Manifest.plist's BackupKeyBag): tag,
// length, value entries; its class keys unwrapped with a fixed key.
#include "FuzzSupport.h"
#include "itunes/Keybag.h"

#include <exception>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        _KeybagInfo keybag = parseKeybag(fuzz::bytes(data, size));
        (void)keybag.attrs.getInt32(QStringLiteral("ITER"));
        if (unlockWithKey(QByteArray(32, 'k'), keybag)) {
            (void)unwrapKeyForClass(keybag, 3, QByteArray(40, 'w'));
            (void)unwrapManifestKey(keybag, QByteArray(4, '\0') + QByteArray(40, 'm'));
        }
    } catch (const std::exception&) {
    }
    return 0;
}
