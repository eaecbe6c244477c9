#include "platform/fbservice.h"

#include "platform/kxerror.h"

#include <QByteArray>
#include <QStringList>
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

void FbService::attach(const QString &host, const QString &user, const QString &password)
{
    detach();

    // The server compares the bytes of the name and password; send them the way other
    // Firebird tools on this machine would.
    QByteArray spb;
    spb.append(char(isc_spb_version));
    spb.append(char(isc_spb_current_version));
    appendShortString(spb, isc_spb_user_name, user.toLocal8Bit(), QStringLiteral("kullanici adi"));
    appendShortString(spb, isc_spb_password, password.toLocal8Bit(), QStringLiteral("parolasi"));

    const QByteArray service = (host + QStringLiteral(":service_mgr")).toLocal8Bit();
    ISC_STATUS_ARRAY status = {};
    isc_service_attach(status, static_cast<unsigned short>(service.size()), service.constData(), &m_handle,
                       static_cast<unsigned short>(spb.size()), spb.constData());
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

} // namespace kx
