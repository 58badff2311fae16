#include "model/ViberTime.h"

#include <cmath>
#include <limits>

qint64 unixepochMsecFromDt21(double t)
{
    const double ms = (t + double(kCoreDataEpochUnix)) * 1000.0;
    if (std::isnan(ms))
        return 0;
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double limit = 9223372036854775808.0;
    if (ms >= limit)
        return std::numeric_limits<qint64>::max();
    if (ms <= -limit)
        return std::numeric_limits<qint64>::min();
    return qint64(ms); // truncates toward zero
}

double dt21FromUnixepochSecs(int s)
{
    return double(qint64(s) - kCoreDataEpochUnix);
}

namespace {
qint64 clampedUnixSeconds(double t)
{
    constexpr double maxUnix = 4294967295.0;
    double unix = 0;
    if (std::isfinite(t))
        unix = std::trunc(t) + double(kCoreDataEpochUnix);
    if (!(unix > 0))
        unix = 0;
    else if (unix > maxUnix)
        unix = maxUnix;
    return qint64(unix);
}
} // namespace

QDateTime dtFromTimestamp(double t)
{
    return QDateTime::fromSecsSinceEpoch(clampedUnixSeconds(t)).toLocalTime();
}

QDateTime LocalTimeConverter::toLocal(double t)
{
    const qint64 unix = clampedUnixSeconds(t);
    const qint64 bucket = unix / 900;
    if (bucket != m_bucket) {
        m_bucket = bucket;
        m_offset = QDateTime::fromSecsSinceEpoch(bucket * 900).toLocalTime().offsetFromUtc();
    }
    return QDateTime::fromSecsSinceEpoch(unix, Qt::OffsetFromUTC, m_offset);
}
