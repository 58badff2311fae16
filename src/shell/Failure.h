#pragma once

#include <QString>

// Ends the current operation with a user-readable text. Jobs and readers
// throw this way; the job protocol and the CLI show e.what() as it stands.
[[noreturn]] void g_raise(const QString& text);
