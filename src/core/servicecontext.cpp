#include "core/servicecontext.h"
#include "core/clock.h"

namespace kx {

void ServiceContext::tick()
{
    m_moment.serviceDate = clock::today();
    takeTickTime();
}

void ServiceContext::takeTickTime()
{
    // In the first five seconds of a day the time stays at 00:00 of that day: a time of yesterday
    // paired with today's date would name a run folder that sorts as the newest of the day and a
    // last run that lies in the future.
    const QDateTime now = clock::now();
    const QTime t = now.time();
    m_moment.tickDate = now.date();
    m_moment.tickTime = t.msecsSinceStartOfDay() < 5000 ? QTime(0, 0) : t.addSecs(-5);
}

} // namespace kx
