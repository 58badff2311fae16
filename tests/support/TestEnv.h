#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Fails the test run at once when the environment could reach the real home
// folder (tests must run through CTest, which gives each its own HOME).
void g_requireTestEnvironment();

// The source tree, for tests that read checked-in files.
QString g_testSourceDir();

// The whole content of a file; empty when it cannot be read.
QByteArray g_readFile(const QString& path);
// Replaces the content of a file; false when it cannot be written.
bool g_writeFile(const QString& path, const QByteArray& bytes);
// A text file's content as UTF-8 (empty when it cannot be read), and its
// non-empty lines.
QString g_readText(const QString& path);
QStringList g_readLines(const QString& path);
