#pragma once

#include <QString>

// Small pieces of hand-written JSON: the exports stream millions of records,
// which a document object per record would slow down several times.

// Appends text as a quoted JSON string (control characters, quote and
// backslash escaped; lone surrogates become U+FFFD so the output stays UTF-8).
void g_appendJsonString(QString& out, const QString& text);

// Appends a whole number.
void g_appendJsonInteger(QString& out, qint64 value);

// Appends a number; NaN and infinities, which JSON cannot carry, become null.
void g_appendJsonNumber(QString& out, double value);

// "yyyy-MM-ddThh:mm:ss[.zzz]+hh:mm" for a Unix time in milliseconds shown at
// the given offset from UTC (seconds).
void g_appendIsoDate(QString& out, qint64 unixMsec, int offsetSecs);
