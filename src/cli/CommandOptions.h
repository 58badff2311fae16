#pragma once

#include "CliCommand.h"

// The value of a required option; writes a usage error when it is missing.
bool g_requireOption(CliContext& ctx, const QString& name, QString& value, int& exitCode);

struct ExportDateRange;

// --since DATE and --until DATE of the commands that write messages out.
QList<QCommandLineOption> g_dateRangeOptions();

// Reads --since and --until (local time); writes a usage error when either is
// not a date or the range is empty.
bool g_readDateRange(CliContext& ctx, ExportDateRange& range, int& exitCode);
