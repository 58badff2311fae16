#pragma once

#include <QByteArray>
#include <QString>

// Whole-file reads, writes and fingerprints for tests and fixtures.

// The whole content of a file; empty when it cannot be read.
QByteArray g_readFile(const QString& path);
// Replaces the content of a file, making its folder first; false when it
// cannot be written completely.
bool g_writeFile(const QString& path, const QByteArray& bytes);
// SHA-256 of a file's content; empty when it cannot be read.
QByteArray g_fileDigest(const QString& path);
// SHA-256 over every file below dir (hidden ones included), by path: any
// file added, removed, renamed or changed gives another value.
QByteArray g_treeDigest(const QString& dir);
