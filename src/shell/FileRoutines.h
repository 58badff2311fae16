#pragma once

#include <QByteArrayView>
#include <QIODevice>
#include <QString>

class QFileDevice;

// MD5 of the UTF-8 bytes of s, 32 lower-case hexadecimal characters.
QString g_md5(const QString& s);

// name without the characters \ / : * ? " < > | and line feed, carriage return
// and tab, trimmed: a file name made from a chat name.
QString g_formatFileName(const QString& name);

// path when nothing of that name exists; otherwise the first free
// "<name>(n).<suffix>" in the same folder, n = 1, 2, ...
QString g_getValidFilePath(const QString& path);

// Writes all of data to f, again after a short write: a disk that fills up
// mid-write then reports the system's reason ("No space left on device")
// instead of an "Unknown error". False with a text naming f in error (its
// file name, else name).
bool g_writeAll(QIODevice& f, QByteArrayView data, QString& error, const QString& name = QString());

// Why a copy failed. A source that cannot be read spoils that one file; a
// target that cannot be written (full disk, unwritable folder) spoils every
// file after it, so callers count the first and stop on the second.
enum class CopyFailure { None, Source, Target };

// Copies src to dst, which must not exist yet; a partial dst is removed.
// The text of a failure, naming the file, goes to error.
CopyFailure g_copyFile(const QString& src, const QString& dst, QString& error);
// g_copyFile as the jobs that copy many files use it: a source that cannot
// be read is logged and counted in failedCopies (false), a target that
// cannot be written raises.
bool g_copyFileOrCountThrow(const QString& src, const QString& dst, int& failedCopies);

// A SQLite database travels with its journal files ("-wal", "-shm",
// "-journal"): a stale log beside a new copy would be replayed into it.
void g_removeSqliteFiles(const QString& path);
// Copies the database and those of its journal files that exist to target,
// owner-only read-write (the copy is ours to change). Raises on failure.
void g_copySqliteFilesThrow(const QString& path, const QString& target);

// Makes the folders of rel (slash-separated, relative) below base where they
// are missing. False when a part is a symbolic link or no folder, or cannot
// be made: what is written below base then never lands elsewhere.
bool g_makeFoldersNoLinks(const QString& base, const QString& rel);

// Test seam: the n-th write through g_writeAll from now on fails as on a
// full disk; 0 turns it off.
void g_failNthWriteForTest(int n);

// The error of f as the system gave it: Qt's text, or when Qt has none
// ("Unknown error", as after a failed flush) the text of savedErrno.
QString g_fileDeviceError(const QFileDevice& f, int savedErrno);

// Removes the folder with everything in it, hidden entries included.
// Symbolic links are removed as links: their targets are never entered.
// Callers that must know check afterwards whether the folder is gone.
void g_delDirCascade(const QString& path);

// Shows a URL, a file or a folder with the desktop's default application.
void g_openLink(const QString& url);
void g_openFileOrFolder(const QString& path);
