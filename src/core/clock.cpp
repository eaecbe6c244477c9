#include "core/clock.h"

namespace kx::clock {

namespace {
QDateTime g_fixed;
}

QDateTime now()
{
    return g_fixed.isValid() ? g_fixed : QDateTime::currentDateTime();
}

void setNow(const QDateTime &fixed)
{
    g_fixed = fixed;
}

} // namespace kx::clock
