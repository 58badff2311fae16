#pragma once

#include <QString>

// Copies the embedded empty iPhone store to path (replacing what is there,
// companions included) and makes the copy writable for its owner. Raises
// std::runtime_error when it cannot.
void g_copyTemplateStoreThrow(const QString& path);
