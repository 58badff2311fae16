// Manifest.db, the file index of backups made by iOS 10 and later: a SQLite
// file whose rows hold MBFile keyed archives.
#include "FuzzSupport.h"
#include "itunes/ManifestDb.h"

#include <exception>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::inputFile(QStringLiteral("Manifest.db"), data, size);
    try {
        (void)g_readManifestDbThrow(path, fuzz::scratch());
    } catch (const std::exception&) {
    }
    return 0;
}
