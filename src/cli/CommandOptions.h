#pragma once

#include "CliCommand.h"

// The value of a required option; writes a usage error when it is missing.
bool g_requireOption(CliContext& ctx, const QString& name, QString& value, int& exitCode);

// Empty when path is what option expects (a folder or a file); else the
// one shape every path error has: "--option PATH: no such file or folder",
// "--option PATH: is a folder, expected a file", "... is a file, expected a
// folder".
QString g_pathKindError(const QString& option, const QString& path, bool wantFolder);

struct ExportDateRange;

// --since DATE and --until DATE of the commands that write messages out.
QList<QCommandLineOption> g_dateRangeOptions();

// Reads --since and --until (local time); writes a usage error when either is
// not a date or the range is empty.
bool g_readDateRange(CliContext& ctx, ExportDateRange& range, int& exitCode);
