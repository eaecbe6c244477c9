#include "platform/fbservice.h"

#include "platform/pathname.h"
#include "platform/termination.h"

#include <QByteArray>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace kx {

namespace {

// Attach parameters carry their strings behind a single length byte.
void appendShortString(QByteArray &spb, char tag, const QByteArray &value, const QString &what)
{
    if (value.size() > 255)
        throw Error(QStringLiteral("Firebird %1 cok uzun."), {what});
    spb.append(tag);
    spb.append(char(value.size()));
    spb.append(value);
}

// Action parameters carry their strings behind a two-byte little-endian length. Both are paths:
// the server gets the name's own bytes, the very ones this program later renames or removes.
void appendLongString(QByteArray &spb, char tag, const QString &value)
{
    const QByteArray bytes = encodePath(value);
    if (bytes.size() > 0xFFFF)
        throw Error(QStringLiteral("Firebird dosya yolu cok uzun: %1"), {value});
    spb.append(tag);
    spb.append(char(bytes.size() & 0xFF));
    spb.append(char((bytes.size() >> 8) & 0xFF));
    spb.append(bytes);
}

void appendInt(QByteArray &spb, char tag, quint32 value)
{
    spb.append(tag);
    for (int shift = 0; shift < 32; shift += 8)
        spb.append(char((value >> shift) & 0xFF));
}

bool failed(const ISC_STATUS *status)
{
    // A successful call may still leave warnings behind; only an error code counts as failure.
    return status[0] == isc_arg_gds && status[1] != 0;
}

} // namespace

QString fbStatusText(const ISC_STATUS *status)
{
    QStringList parts;
    const ISC_STATUS *cursor = status;
    char buffer[1024];
    while (fb_interpret(buffer, sizeof buffer, &cursor) > 0)
        parts.append(QString::fromLocal8Bit(buffer));
    if (parts.isEmpty())
        return QStringLiteral("Firebird hatasi %1").arg(status[1]);
    return parts.join(QLatin1Char('\n'));
}

void fbCheck(const ISC_STATUS *status)
{
    if (failed(status))
        throw Error(fbStatusText(status));
}

FbService::~FbService()
{
    detachQuietly();
}

FbService::FbService(FbService &&other) noexcept : m_handle(std::exchange(other.m_handle, 0)) {}

FbService &FbService::operator=(FbService &&other) noexcept
{
    if (this != &other) {
        detachQuietly();
        m_handle = std::exchange(other.m_handle, 0);
    }
    return *this;
}

void FbService::attach(const QString &host, const QString &user, const QString &password, int connectTimeoutSeconds)
{
    detach();

    // The server compares the bytes of the name and password; send them the way other
    // Firebird tools on this machine would.
    QByteArray spb;
    spb.append(char(isc_spb_version));
    spb.append(char(isc_spb_current_version));
    appendShortString(spb, isc_spb_user_name, user.toLocal8Bit(), QStringLiteral("kullanici adi"));
    appendShortString(spb, isc_spb_password, password.toLocal8Bit(), QStringLiteral("parolasi"));
    if (connectTimeoutSeconds > 0) {
        spb.append(char(isc_spb_connect_timeout));
        spb.append(char(4));
        for (int shift = 0; shift < 32; shift += 8)
            spb.append(char((quint32(connectTimeoutSeconds) >> shift) & 0xFF));
    }

    const QByteArray service = (host + QStringLiteral(":service_mgr")).toLocal8Bit();
    ISC_STATUS_ARRAY status = {};
    isc_service_attach(status, static_cast<unsigned short>(service.size()), service.constData(), &m_handle,
                       static_cast<unsigned short>(spb.size()), spb.constData());
    // The client library takes over SIGTERM and SIGINT when it is first used.
    reclaimTerminationSignals();
    if (failed(status)) {
        // The client library may have handed out a handle before the failure.
        detachQuietly();
        throw Error(fbStatusText(status));
    }
}

void FbService::detach()
{
    if (m_handle == 0)
        return;
    ISC_STATUS_ARRAY status = {};
    isc_service_detach(status, &m_handle);
    // After a failed detach the handle is of no further use; forget it rather than retry forever.
    m_handle = 0;
    fbCheck(status);
}

void FbService::detachQuietly() noexcept
{
    if (m_handle == 0)
        return;
    ISC_STATUS_ARRAY status = {};
    isc_service_detach(status, &m_handle);
    m_handle = 0;
}

void FbService::start(const FbRequest &request)
{
    if (m_handle == 0)
        throw Error(QStringLiteral("Firebird servis yoneticisine baglanilmadi."));
    QByteArray spb;
    if (request.action == FbRequest::Action::Backup) {
        spb.append(char(isc_action_svc_backup));
        appendLongString(spb, isc_spb_dbname, request.database);
        appendLongString(spb, isc_spb_bkp_file, request.backupFile);
        // Without the verbose lines a backup still works, but nothing shows that it is alive.
        spb.append(char(isc_spb_verbose));
    } else {
        spb.append(char(isc_action_svc_restore));
        appendLongString(spb, isc_spb_bkp_file, request.backupFile);
        appendLongString(spb, isc_spb_dbname, request.database);
        // Never over an existing file: a name that is taken fails instead.
        appendInt(spb, isc_spb_options, isc_spb_res_create);
        appendInt(spb, isc_spb_res_page_size, 4096);
        // A backup file that ends early ends the restore without an error; only the verbose
        // output's closing line tells a complete one.
        spb.append(char(isc_spb_verbose));
    }
    ISC_STATUS_ARRAY status = {};
    isc_service_start(status, &m_handle, nullptr, static_cast<unsigned short>(spb.size()), spb.constData());
    fbCheck(status);
}

bool isGbakClosingLine(const QString &line)
{
    const QLatin1String prefix("gbak:");
    return line.startsWith(prefix) && line.mid(prefix.size()).trimmed() == QLatin1String("finishing, closing, and going home");
}

FbService::Output FbService::nextOutput(QString *line)
{
    if (m_handle == 0)
        throw Error(QStringLiteral("Firebird servis yoneticisine baglanilmadi."));
    // Ask for one line, waiting at most a second: asking only whether the service still runs
    // would leave the verbose output unread, and the server stops once its buffer is full.
    static const char send[] = {char(isc_info_svc_timeout), 4, 0, 1, 0, 0, 0};
    static const char items[] = {char(isc_info_svc_line)};
    char buffer[8192];
    ISC_STATUS_ARRAY status = {};
    isc_service_query(status, &m_handle, nullptr, sizeof send, send, sizeof items, items, sizeof buffer, buffer);
    fbCheck(status);

    QByteArray text;
    bool sawLine = false;
    bool stillRunning = false;
    const char *p = buffer;
    const char *const end = buffer + sizeof buffer;
    bool more = true;
    while (more && p < end) {
        switch (*p++) {
        case isc_info_svc_line: {
            if (end - p < 2) {
                more = false;
                break;
            }
            const qsizetype length = isc_vax_integer(p, 2);
            p += 2;
            const qsizetype available = std::min<qsizetype>(length, end - p);
            text = QByteArray(p, available);
            p += available;
            sawLine = true;
            break;
        }
        case isc_info_svc_timeout:
        case isc_info_data_not_ready:
            stillRunning = true;
            break;
        case isc_info_truncated:
            // A line longer than the buffer: what came is kept.
            break;
        default: // isc_info_end, or something this code does not know
            more = false;
            break;
        }
    }
    if (!text.isEmpty()) {
        // gbak ends its lines with a blank.
        *line = QString::fromLocal8Bit(text).trimmed();
        return Output::Line;
    }
    if (stillRunning)
        return Output::Waiting;
    if (!sawLine)
        throw Error(QStringLiteral("Firebird sunucusu anlasilmayan bir yanit verdi."));
    return Output::Finished;
}

FbTimeout::FbTimeout(const QString &host, int seconds)
    : Error(QStringLiteral("Firebird sunucusu (%1) %2 saniye icinde yanit vermedi."), {host, QString::number(seconds)}),
      m_host(host), m_seconds(seconds)
{
}

namespace {

using Clock = std::chrono::steady_clock;

// Set by tests, read by the runs' threads.
std::atomic<int> g_attachTimeoutMs{30000};
std::atomic<int> g_answerTimeoutMs{60000};
std::atomic<int> g_workers{0};
std::mutex g_hookMutex;
std::function<void(const char *)> g_afterCall;

void afterCall(const char *step)
{
    std::function<void(const char *)> hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_afterCall;
    }
    if (hook)
        hook(step);
}

// What the conversation's own thread and the waiting thread share. The conversation thread may
// outlive the wait (a server that stopped answering); it then finds `abandoned` set and ends
// as soon as its call returns, touching nothing else.
struct Channel {
    std::mutex mutex;
    std::condition_variable wake;
    bool abandoned = false;
    bool attached = false;
    bool done = false;
    bool failed = false;
    QString error;
    QStringList lines;
    Clock::time_point lastAnswer = Clock::now();
};

// Records that a call was answered; false when nobody waits any more.
bool answered(Channel &c, const QString *line = nullptr, bool attach = false)
{
    std::lock_guard lock(c.mutex);
    if (c.abandoned)
        return false;
    c.lastAnswer = Clock::now();
    if (attach)
        c.attached = true;
    if (line)
        c.lines.append(*line);
    c.wake.notify_all();
    return true;
}

void converse(const std::shared_ptr<Channel> channel, const FbRequest request, int connectTimeoutSeconds)
{
    struct Count {
        Count() { ++g_workers; }
        ~Count() { --g_workers; }
    } count;
    bool failedRun = false;
    QString error;
    try {
        FbService service;
        service.attach(request.host, request.user, request.password, connectTimeoutSeconds);
        if (!answered(*channel, nullptr, true))
            return; // the service object detaches on the way out
        afterCall("attach");
        service.start(request);
        if (!answered(*channel))
            return;
        afterCall("start");
        for (;;) {
            QString line;
            const FbService::Output out = service.nextOutput(&line);
            if (out == FbService::Output::Finished)
                break;
            if (!answered(*channel, out == FbService::Output::Line ? &line : nullptr))
                return;
            afterCall(out == FbService::Output::Line ? "line" : "waiting");
        }
        service.detach();
    } catch (const Error &e) {
        failedRun = true;
        error = e.text();
    } catch (const std::exception &e) {
        failedRun = true;
        error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        failedRun = true;
        error = QStringLiteral("Firebird islemi beklenmeyen bir hatayla bitti.");
    }
    std::lock_guard lock(channel->mutex);
    channel->done = true;
    channel->failed = failedRun;
    channel->error = error;
    channel->wake.notify_all();
}

} // namespace

void setFbAttachTimeoutMs(int ms)
{
    g_attachTimeoutMs = ms;
}

int fbAttachTimeoutMs()
{
    return g_attachTimeoutMs.load();
}

void setFbAnswerTimeoutMs(int ms)
{
    g_answerTimeoutMs = ms;
}

int fbAnswerTimeoutMs()
{
    return g_answerTimeoutMs.load();
}

int fbWorkersRunning()
{
    return g_workers.load();
}

void setFbAfterCallHook(std::function<void(const char *step)> hook)
{
    std::lock_guard lock(g_hookMutex);
    g_afterCall = std::move(hook);
}

void runFbService(const FbRequest &request, const std::function<void(const QString &)> &onLine,
                  const std::atomic<bool> *cancel)
{
    const int attachMs = std::max(g_attachTimeoutMs.load(), 1);
    const int answerMs = std::max(g_answerTimeoutMs.load(), 1);
    const auto seconds = [](int ms) { return (ms + 999) / 1000; };

    auto channel = std::make_shared<Channel>();
    // Whatever way this wait ends, the conversation is told that nobody listens any more.
    struct Abandon {
        Channel &c;
        ~Abandon()
        {
            std::lock_guard lock(c.mutex);
            c.abandoned = true;
        }
    } abandon{*channel};

    // The worker's own connect time-out lets a worker that was given up on end a little later
    // by itself instead of waiting for the library's minutes.
    try {
        std::thread(converse, channel, request, seconds(attachMs) + 5).detach();
    } catch (const std::system_error &e) {
        throw Error(QStringLiteral("Firebird islemi baslatilamadi: %1"), {QString::fromLocal8Bit(e.what())});
    }

    const Clock::time_point begun = Clock::now();
    std::unique_lock lock(channel->mutex);
    for (;;) {
        channel->wake.wait_for(lock, std::chrono::milliseconds(100));
        while (!channel->lines.isEmpty()) {
            const QString line = channel->lines.takeFirst();
            if (onLine) {
                lock.unlock();
                onLine(line);
                lock.lock();
            }
        }
        if (channel->done)
            break;
        if (cancel && cancel->load())
            throw Error(QStringLiteral("Firebird islemi program kapanirken yarida kesildi."));
        const Clock::time_point now = Clock::now();
        if (!channel->attached && now - begun > std::chrono::milliseconds(attachMs))
            throw FbTimeout(request.host, seconds(attachMs));
        // A server that stopped answering after the attach would hold the run for ever: every
        // later call is answered within a second or two while the server works.
        if (channel->attached && now - channel->lastAnswer > std::chrono::milliseconds(answerMs))
            throw FbTimeout(request.host, seconds(answerMs));
    }
    reclaimTerminationSignals();
    if (channel->failed)
        throw Error(channel->error);
}

} // namespace kx
