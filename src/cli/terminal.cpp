#include "cli/terminal.h"
#include "core/service.h"
#include "platform/pathname.h"

#include <csignal>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace kx::cli {

namespace {

// The terminal as it was before the prompt, put back when a signal ends the program there: a
// shell left without echo is worse than the interrupted restore.
int g_ttyFd = -1;
termios g_saved;

extern "C" void restoreTerminalAndDie(int sig)
{
    ::tcsetattr(g_ttyFd, TCSANOW, &g_saved);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

} // namespace

void printLine(std::FILE *stream, const QString &text)
{
    // Paths may hold bytes that are no UTF-8: they go out as they are on disk.
    const QByteArray bytes = encodePath(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))) + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

std::optional<QString> readSecret(const QString &prompt)
{
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    termios saved;
    if (::tcgetattr(fd, &saved) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    g_ttyFd = fd;
    g_saved = saved;
    struct sigaction action = {}, previous[std::size(kSignals)];
    action.sa_handler = restoreTerminalAndDie;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &action, &previous[i]);

    const QByteArray text = prompt.toUtf8();
    [[maybe_unused]] const ssize_t shown = ::write(fd, text.constData(), size_t(text.size()));
    termios quiet = saved;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    quiet.c_lflag |= ECHONL; // the line end still shows, the password does not
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
    QByteArray line;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line.append(c);
    ::tcsetattr(fd, TCSAFLUSH, &saved);

    for (size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &previous[i], nullptr);
    g_ttyFd = -1;
    ::close(fd);
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

ProgressLine::ProgressLine(const QString &label) : m_label(label), m_terminal(::isatty(STDOUT_FILENO) == 1)
{
    m_elapsed.start();
}

void ProgressLine::bar(int position, int maximum)
{
    const int percent = maximum > 0 ? std::clamp(int(qint64(position) * 100 / maximum), 0, 100) : 0;
    // Off a terminal only every tenth: a log of the run, not a hundred lines.
    const int step = m_terminal ? percent : percent / 10 * 10;
    if (step <= m_shown)
        return;
    m_shown = step;
    show(m_label + QStringLiteral(" %") + QString::number(step));
}

void ProgressLine::tick()
{
    if (m_terminal)
        show(m_label + u' ' + trMsg(QStringLiteral("Sure :")) + u' ' + QString::number(m_elapsed.elapsed() / 1000) + u's');
}

void ProgressLine::show(const QString &text)
{
    if (!m_terminal) {
        printLine(stdout, text);
        return;
    }
    // Cleared to the end of the line: a shorter text leaves nothing of the longer one before it.
    const QByteArray bytes = '\r' + encodePath(text) + "\x1b[K";
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
    m_open = true;
}

void ProgressLine::finish()
{
    if (m_open)
        std::fputc('\n', stdout);
    std::fflush(stdout);
    m_open = false;
}

} // namespace kx::cli
