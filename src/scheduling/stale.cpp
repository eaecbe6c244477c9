#include "scheduling/stale.h"

#include <limits>

namespace kx {

qint64 staleAfterSeconds(const JobFile &job)
{
    qint64 unit = 0;
    switch (scheduleUnit(job)) {
    case ScheduleUnit::Hour:
        unit = 3600;
        break;
    case ScheduleUnit::Day:
        unit = 86400;
        break;
    case ScheduleUnit::Week:
        unit = 7 * 86400;
        break;
    case ScheduleUnit::Month:
        unit = 31 * 86400;
        break;
    case ScheduleUnit::None:
        return 0;
    }
    // A period of thousands of millions of units waits for ever rather than overflowing.
    const qint64 period = schedulePeriod(job);
    const qint64 most = std::numeric_limits<qint64>::max() / 2 / unit;
    return period > most ? std::numeric_limits<qint64>::max() : 2 * period * unit;
}

bool isStale(bool active, qint64 staleAfter, const QDateTime &lastSuccess, const QDateTime &since,
             const QDateTime &now)
{
    if (!active || staleAfter <= 0)
        return false;
    const QDateTime from = lastSuccess.isValid() ? lastSuccess : since;
    if (!from.isValid())
        return false;
    return from.secsTo(now) > staleAfter;
}

} // namespace kx
