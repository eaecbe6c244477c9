#include "platform/termination.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kx {

namespace {

int g_pipe[2] = {-1, -1};
std::atomic<bool> g_installed{false};
std::atomic<bool> g_requested{false};
// Set by the handler, cleared once the event loop has taken the request.
volatile sig_atomic_t g_pending = 0;

extern "C" void onTerminationSignal(int sig)
{
    if (g_pending) {
        // The first request is still unanswered: the event loop does not run, so asking it
        // again would not help. Fall back to what the signal would have done by default.
        ::signal(sig, SIG_DFL);
        ::raise(sig);
        return;
    }
    g_pending = 1;
    // Only a write to the pipe is safe here; the event loop does the rest.
    const int saved = errno;
    const char byte = char(sig);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

void setHandlers()
{
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

bool ours(int sig)
{
    struct sigaction current = {};
    ::sigaction(sig, nullptr, &current);
    return !(current.sa_flags & SA_SIGINFO) && current.sa_handler == onTerminationSignal;
}

} // namespace

void installTerminationHandler()
{
    if (!g_installed.load()) {
        QCoreApplication *app = QCoreApplication::instance();
        if (!app || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, app);
        QObject::connect(notifier, &QSocketNotifier::activated, app, [] {
            char buffer[16];
            while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
            }
            g_pending = 0;
            g_requested = true;
            // exit() rather than quit(): quit() asks every window first, and a runner window
            // refuses to close while its run works.
            QCoreApplication::exit(0);
        });
        g_installed.store(true);
    }
    setHandlers();
}

void reclaimTerminationSignals()
{
    if (g_installed.load() && !(ours(SIGTERM) && ours(SIGINT)))
        setHandlers();
}

bool terminationHandlerActive()
{
    return g_installed.load() && ours(SIGTERM) && ours(SIGINT);
}

bool terminationRequested()
{
    return g_requested.load();
}

void setTerminationRequested(bool requested)
{
    g_requested = requested;
}

} // namespace kx
