#pragma once

#include <QString>

// The English text of an IDS_ key from the embedded translation table; the key
// itself when the table has no entry for it.
QString ids(const char* key);

// Installs the embedded translation table into the running application, for
// texts that widgets look up themselves.
bool g_installTranslation();
