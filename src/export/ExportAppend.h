#pragma once

#include <QString>

// Adding the output of a later export run to the file an earlier run wrote.
// Both raise std::runtime_error, leaving the target as it was, when the target
// cannot be read or written or is not in the expected shape.

// Text and CSV: appends every line of addition but its header line.
void g_appendTableExport(const QString& target, const QString& addition);

// JSON: merges addition into target (a new file replaces it at the end): the
// new chats join the chat list, the new messages follow the old ones.
void g_appendJsonExport(const QString& target, const QString& addition);
