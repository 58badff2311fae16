// The Viber Desktop store (viber.db).
#include "FuzzSupport.h"
#include "stores/PCViberDb.h"

#include <exception>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::inputFile(QStringLiteral("viber.db"), data, size);
    try {
        PCViberDb db(path);
        const ViberData loaded = db.loadDataThrow();
        for (_ViberMsg* m : loaded.messages())
            (void)m->summary();
    } catch (const std::exception&) {
    }
    return 0;
}
