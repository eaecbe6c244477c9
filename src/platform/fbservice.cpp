#include "platform/fbservice.h"

#include "platform/termination.h"

#include <QByteArray>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <atomic>
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
        throw Error(QStringLiteral("Firebird %1 cok uzun.").arg(what));
    spb.append(tag);
    spb.append(char(value.size()));
    spb.append(value);
}

// Action parameters carry their strings behind a two-byte little-endian length.
void appendLongString(QByteArray &spb, char tag, const QString &value)
{
    const QByteArray bytes = value.toLocal8Bit();
    if (bytes.size() > 0xFFFF)
        throw Error(QStringLiteral("Firebird dosya yolu cok uzun: %1").arg(value));
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
        appendInt(spb, isc_spb_options, isc_spb_res_replace | isc_spb_res_create);
        appendInt(spb, isc_spb_res_page_size, 4096);
    }
    ISC_STATUS_ARRAY status = {};
    isc_service_start(status, &m_handle, nullptr, static_cast<unsigned short>(spb.size()), spb.constData());
    fbCheck(status);
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
    : Error(QStringLiteral("Firebird sunucusu (%1) %2 saniye icinde yanit vermedi.").arg(host).arg(seconds)),
      m_host(host), m_seconds(seconds)
{
}

namespace {

int g_attachTimeoutMs = 30000;
std::atomic<int> g_workers{0};

// The waiting side of one conversation. It lives on the caller's thread; the worker reaches it
// only by queued calls, and only through Shared under its mutex.
class Receiver : public QObject
{
public:
    std::function<void(const QString &)> onLine;
    std::function<void()> onAttached;
    QEventLoop *loop = nullptr;
    bool done = false;
    bool failed = false;
    QString error;
};

struct Shared {
    std::mutex mutex;
    Receiver *receiver = nullptr; // null once the waiting side has given up or returned
};

// Queues fn to run on the receiver's thread. False when nobody waits any more: the worker then
// stops as soon as it can and touches nothing of the caller's.
bool post(Shared &shared, std::function<void(Receiver *)> fn)
{
    std::lock_guard<std::mutex> lock(shared.mutex);
    if (!shared.receiver)
        return false;
    // Holding the mutex keeps the receiver alive until the call is queued; if it is destroyed
    // before the call runs, Qt drops the call with it.
    Receiver *receiver = shared.receiver;
    QMetaObject::invokeMethod(
        receiver, [receiver, fn = std::move(fn)] { fn(receiver); }, Qt::QueuedConnection);
    return true;
}

bool abandoned(Shared &shared)
{
    std::lock_guard<std::mutex> lock(shared.mutex);
    return shared.receiver == nullptr;
}

void converse(const std::shared_ptr<Shared> shared, const FbRequest request, int connectTimeoutSeconds)
{
    struct Count {
        Count() { ++g_workers; }
        ~Count() { --g_workers; }
    } count;
    FbService service;
    bool failedRun = false;
    QString error;
    try {
        service.attach(request.host, request.user, request.password, connectTimeoutSeconds);
        if (!post(*shared, [](Receiver *r) {
                if (r->onAttached)
                    r->onAttached();
            }))
            return; // the service object detaches on the way out
        service.start(request);
        for (;;) {
            QString line;
            const FbService::Output out = service.nextOutput(&line);
            if (out == FbService::Output::Finished)
                break;
            const bool waited = out == FbService::Output::Line ? post(*shared, [line](Receiver *r) {
                if (r->onLine)
                    r->onLine(line);
            })
                                                               : !abandoned(*shared);
            if (!waited)
                return;
        }
        service.detach();
    } catch (const Error &e) {
        failedRun = true;
        error = e.text();
    } catch (const std::exception &e) {
        failedRun = true;
        error = QString::fromLocal8Bit(e.what());
    }
    post(*shared, [failedRun, error](Receiver *r) {
        r->done = true;
        r->failed = failedRun;
        r->error = error;
        r->loop->quit();
    });
}

} // namespace

void setFbAttachTimeoutMs(int ms)
{
    g_attachTimeoutMs = ms;
}

int fbAttachTimeoutMs()
{
    return g_attachTimeoutMs;
}

int fbWorkersRunning()
{
    return g_workers.load();
}

void runFbService(const FbRequest &request, const std::function<void(const QString &)> &onLine)
{
    const int timeoutMs = std::max(g_attachTimeoutMs, 1);
    const int timeoutSeconds = (timeoutMs + 999) / 1000;

    QEventLoop loop;
    Receiver receiver;
    receiver.loop = &loop;
    QString lineError;
    receiver.onLine = [&](const QString &line) {
        if (!onLine)
            return;
        // Qt must never see an exception leave an event; a failing handler ends the wait.
        try {
            onLine(line);
        } catch (const Error &e) {
            lineError = e.text();
            loop.quit();
        } catch (const std::exception &e) {
            lineError = QString::fromLocal8Bit(e.what());
            loop.quit();
        }
    };
    QTimer attachTimer;
    attachTimer.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&attachTimer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    receiver.onAttached = [&] { attachTimer.stop(); };

    auto shared = std::make_shared<Shared>();
    shared->receiver = &receiver;
    struct Forget {
        Shared &shared;
        ~Forget()
        {
            std::lock_guard<std::mutex> lock(shared.mutex);
            shared.receiver = nullptr;
        }
    } forget{*shared};

    // The worker's own connect time-out lets a worker that was given up on end a little later
    // by itself instead of waiting for the library's minutes.
    try {
        std::thread(converse, shared, request, timeoutSeconds + 5).detach();
    } catch (const std::system_error &e) {
        throw Error(QStringLiteral("Firebird islemi baslatilamadi: %1").arg(QString::fromLocal8Bit(e.what())));
    }
    attachTimer.start(timeoutMs);
    loop.exec();
    reclaimTerminationSignals();

    if (receiver.done) {
        if (receiver.failed)
            throw Error(receiver.error);
        return;
    }
    if (!lineError.isEmpty())
        throw Error(lineError);
    if (timedOut)
        throw FbTimeout(request.host, timeoutSeconds);
    throw Error(QStringLiteral("Firebird islemi program kapanirken yarida kesildi."));
}

} // namespace kx
