#pragma once

#include <QString>

// MD5 of the UTF-8 bytes of s, 32 lower-case hexadecimal characters.
QString g_md5(const QString& s);

// name without the characters \ / : * ? " < > | and line feed, carriage return
// and tab, trimmed: a file name made from a chat name.
QString g_formatFileName(const QString& name);

// path when nothing of that name exists; otherwise the first free
// "<name>(n).<suffix>" in the same folder, n = 1, 2, ...
QString g_getValidFilePath(const QString& path);

// Removes the folder with everything visible in it. Hidden entries stay (and
// so does the folder that holds them). Symbolic links are removed as links:
// their targets are never entered.
void g_delDirCascade(const QString& path);

// Shows a URL, a file or a folder with the desktop's default application.
void g_openLink(const QString& url);
void g_openFileOrFolder(const QString& path);
