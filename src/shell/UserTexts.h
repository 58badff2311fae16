#pragma once

#include <QString>

// The English text of an IDS_ key from the embedded translation table; the key
// itself when the table has no entry for it.
QString ids(const char* key);
// A count's text: the table's number form for n (its numerus entry), with %n
// replaced by n.
QString ids(const char* key, qint64 n);
// An attached phone as questions and results name it: the iPhone "name".
QString g_iPhoneTitle(const QString& name);

// Installs the embedded translation table into the running application, for
// texts that widgets look up themselves.
bool g_installTranslation();
