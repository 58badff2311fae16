#include "shell/Failure.h"

#include <stdexcept>

void g_raise(const QString& text)
{
    throw std::runtime_error(text.toStdString());
}
