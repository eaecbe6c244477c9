#pragma once
// Where the Firebird tests find their server. CI starts it with scripts/firebird-start and
// exports the SYSDBA password that script prints; the host defaults to this machine.

#include <QString>
#include <QTest>

namespace kxtest {

inline QString fbHost()
{
    return qEnvironmentVariable("KX_FB_HOST", QStringLiteral("127.0.0.1"));
}

inline QString fbUser()
{
    return QStringLiteral("SYSDBA");
}

inline QString fbPassword()
{
    return qEnvironmentVariable("KX_FB_PASSWORD");
}

} // namespace kxtest

// For initTestCase(): a missing password must fail the run, never quietly skip the server tests.
#define KX_REQUIRE_FB_ENV()                                                                                  \
    QVERIFY2(                                                                                                \
        !kxtest::fbPassword().isEmpty(),                                                                     \
        "KX_FB_PASSWORD is not set; start the server with scripts/firebird-start and export its output")
