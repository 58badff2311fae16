#pragma once

#include "CliCommand.h"
#include "SourceLoader.h"
#include "model/ViberData.h"

// Loads the source chosen on the command line into data; on failure writes
// the reason on the error stream and returns false.
bool g_loadSourceOrFail(CliContext& ctx, SourceLoader& loader, ViberData& data);

// The value of a required option; writes a usage error when it is missing.
bool g_requireOption(CliContext& ctx, const QString& name, QString& value, int& exitCode);
