#include "core/service.h"
#include "core/clock.h"

namespace kx {

namespace {
ServiceState g_state;
MessageTranslator g_msg;
WindowTranslator g_window;
} // namespace

ServiceState &service()
{
    return g_state;
}

void resetService()
{
    g_state = ServiceState();
}

void setTickTimeFromClock()
{
    const QDateTime now = clock::now();
    const QTime t = now.time();
    g_state.tickDate = now.date();
    g_state.tickTime = t.msecsSinceStartOfDay() < 5000 ? QTime(0, 0) : t.addSecs(-5);
}

void setTranslators(MessageTranslator msg, WindowTranslator window)
{
    g_msg = std::move(msg);
    g_window = std::move(window);
}

QString trMsg(const QString &text)
{
    return g_msg ? g_msg(text) : text;
}

void trWindow(QObject *window)
{
    if (g_window)
        g_window(window);
}

} // namespace kx
