#pragma once

#include <QDateTime>

#include <limits>

// Record times are seconds since 2001-01-01 00:00:00 UTC; this is that instant
// as Unix time.
constexpr qint64 kCoreDataEpochUnix = 978307200;

// Milliseconds since 1970 for a record time. Non-finite times give the epoch
// and values beyond the 64-bit range are held at its ends.
qint64 unixepochMsecFromDt21(double t);

// Record time for a Unix time in seconds.
double dt21FromUnixepochSecs(int s);

// Local date and time of a record time. The result is the Unix time
// 978307200 + trunc(t), held within 1970-01-01 00:00:00 UTC and
// 2106-02-07 06:28:15 UTC (the range of an unsigned 32-bit Unix time) so that a
// time outside it shows as one of those two ends instead of wrapping round into
// an unrelated date; a non-finite time shows as the 1970 end.
QDateTime dtFromTimestamp(double t);

// Converts many record times to local time without asking the time-zone
// database for each: the offset from UTC is looked up once per quarter hour
// (every time-zone change falls on a quarter-hour boundary), which keeps long
// exports fast. Gives the same instant and local fields as dtFromTimestamp.
class LocalTimeConverter
{
public:
    QDateTime toLocal(double t);

private:
    qint64 m_bucket = std::numeric_limits<qint64>::min();
    int m_offset = 0;
};
