// The Viber for iPhone store (Contacts.data), both layouts: the older one
// (and the local databases') and today's app-group store, read as the
// loaders read a copy.
#include "FuzzSupport.h"
#include "stores/IOSViberDb.h"

#include <exception>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::inputFile(QStringLiteral("Contacts.data"), data, size);
    try {
        IOSViberDb db(fuzz::scratch(), path, false);
        db.setMakePreviews(false);
        const ViberData loaded = db.loadDataThrow();
        for (_ViberMsg* m : loaded.messages())
            (void)m->summary();
    } catch (const std::exception&) {
    }
    return 0;
}
