#include "model/ViberTime.h"

#include <QTimeZone>

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

namespace {
// The local time zone, resolved once per process. Converting through the C
// library instead makes it check the zone file again for every date.
struct LocalZone
{
    QTimeZone zone;
    bool usable = false;

    LocalZone()
    {
        zone = QTimeZone::systemTimeZone();
        if (!zone.isValid())
            return;
        // A zone Qt cannot read the way the C library does is not used.
        const QDateTime now = QDateTime::currentDateTimeUtc();
        usable = zone.offsetFromUtc(now) == now.toLocalTime().offsetFromUtc();
    }
};

const LocalZone& localZone()
{
    static const LocalZone z;
    return z;
}

// The span of Unix seconds [from, to) in which the local offset stays the
// same, kept per thread: consecutive dates nearly always fall in one span.
struct OffsetSpan
{
    qint64 from = 0;
    qint64 to = 0; // empty until the first look-up
    int offset = 0;
};

int localOffsetAt(const QTimeZone& zone, qint64 unix)
{
    thread_local OffsetSpan span;
    if (unix >= span.from && unix < span.to)
        return span.offset;
    const QDateTime at = QDateTime::fromSecsSinceEpoch(unix, Qt::UTC);
    const int offset = zone.offsetFromUtc(at);
    qint64 from = std::numeric_limits<qint64>::min(), to = std::numeric_limits<qint64>::max();
    const QTimeZone::OffsetData next = zone.nextTransition(at);
    if (next.atUtc.isValid())
        to = next.atUtc.toSecsSinceEpoch();
    const QTimeZone::OffsetData prev = zone.previousTransition(at.addSecs(1));
    if (prev.atUtc.isValid())
        from = prev.atUtc.toSecsSinceEpoch();
    if (from <= unix && unix < to)
        span = {from, to, offset};
    return offset;
}
} // namespace

QDateTime dtFromTimestamp(double t)
{
    const qint64 unix = clampedUnixSeconds(t);
    const LocalZone& local = localZone();
    if (!local.usable)
        return QDateTime::fromSecsSinceEpoch(unix).toLocalTime();
    return QDateTime::fromSecsSinceEpoch(unix, Qt::OffsetFromUTC, localOffsetAt(local.zone, unix));
}

QDateTime LocalTimeConverter::toLocal(double t)
{
    // The zone read once serves here too: the C library's conversion below
    // checks the zone file again for every quarter hour it meets.
    if (localZone().usable)
        return dtFromTimestamp(t);
    const qint64 unix = clampedUnixSeconds(t);
    const qint64 bucket = unix / 900;
    if (bucket != m_bucket) {
        m_bucket = bucket;
        m_offset = QDateTime::fromSecsSinceEpoch(bucket * 900).toLocalTime().offsetFromUtc();
    }
    return QDateTime::fromSecsSinceEpoch(unix, Qt::OffsetFromUTC, m_offset);
}
