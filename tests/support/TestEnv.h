#pragma once

#include "shell/DataFolders.h"
#include "support/FileBytes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Fails the test run at once when the environment could reach the real home
// folder (tests must run through CTest, which gives each its own HOME).
void g_requireTestEnvironment();

// The data folder CTest gave this test (FERROWICK_DATA_DIR).
DataFolders g_testDataFolders();

// The source tree, for tests that read checked-in files.
QString g_testSourceDir();

// A text file's content as UTF-8 (empty when it cannot be read), and its
// non-empty lines.
QString g_readText(const QString& path);
QStringList g_readLines(const QString& path);
