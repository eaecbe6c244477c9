#pragma once
// A session with a Firebird server's service manager (the Services API), which is how backups
// and restores are driven without the server needing access to the client's files.

#include <QString>
#include <ibase.h>

namespace kx {

class FbService
{
public:
    FbService() = default;
    ~FbService();

    FbService(const FbService &) = delete;
    FbService &operator=(const FbService &) = delete;
    FbService(FbService &&other) noexcept;
    FbService &operator=(FbService &&other) noexcept;

    // host is what goes before ":service_mgr": "127.0.0.1" for this machine, "server/3051" for
    // another port. An existing session is closed first. Throws kx::Error with the server's text.
    void attach(const QString &host, const QString &user, const QString &password);
    // Does nothing when not attached. Throws kx::Error if the server reports a failure; the
    // session counts as closed either way.
    void detach();
    bool isAttached() const { return m_handle != 0; }

private:
    void detachQuietly() noexcept;

    isc_svc_handle m_handle = 0;
};

// The complete text of a failed call's status vector, one line per message.
QString fbStatusText(const ISC_STATUS *status);
// Throws kx::Error with fbStatusText(status) when the status vector reports an error.
void fbCheck(const ISC_STATUS *status);

} // namespace kx
