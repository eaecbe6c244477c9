#include "core/clock.h"

#include <mutex>

namespace kx::clock {

namespace {
// Set by tests on the user-interface thread, read by the runs' threads too.
std::mutex g_mutex;
QDateTime g_fixed;
} // namespace

QDateTime now()
{
    {
        std::lock_guard lock(g_mutex);
        if (g_fixed.isValid())
            return g_fixed;
    }
    return QDateTime::currentDateTime();
}

void setNow(const QDateTime &fixed)
{
    std::lock_guard lock(g_mutex);
    g_fixed = fixed;
}

} // namespace kx::clock
