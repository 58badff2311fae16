#pragma once

#include "CliCommand.h"

// The value of a required option; writes a usage error when it is missing.
bool g_requireOption(CliContext& ctx, const QString& name, QString& value, int& exitCode);
