#include "fbtestenv.h"
#include "platform/fbservice.h"
#include "platform/kxerror.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>

using kx::FbService;

class TestFbService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { KX_REQUIRE_FB_ENV(); }

    void attachAndDetach()
    {
        FbService service;
        service.attach(kxtest::fbHost(), kxtest::fbUser(), kxtest::fbPassword());
        QVERIFY(service.isAttached());
        // A second attach replaces the session instead of failing or leaking it.
        service.attach(kxtest::fbHost(), kxtest::fbUser(), kxtest::fbPassword());
        QVERIFY(service.isAttached());
        service.detach();
        QVERIFY(!service.isAttached());
    }

    void wrongPasswordIsRefusedWithServerText()
    {
        FbService service;
        try {
            service.attach(kxtest::fbHost(), kxtest::fbUser(), kxtest::fbPassword() + QStringLiteral("x"));
            QFAIL("attach with a wrong password succeeded");
        } catch (const kx::Error &e) {
            QVERIFY2(e.text().contains(QStringLiteral("Your user name and password are not defined")),
                     qPrintable(e.text()));
        }
        QVERIFY(!service.isAttached());
        // The same object stays usable once the right password is given.
        service.attach(kxtest::fbHost(), kxtest::fbUser(), kxtest::fbPassword());
        QVERIFY(service.isAttached());
    }

    void closedPortFailsFastWithEveryMessageLine()
    {
        // A port that was just free; nothing listens there once the probe server closes.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();

        FbService service;
        QElapsedTimer timer;
        timer.start();
        try {
            service.attach(QStringLiteral("127.0.0.1/%1").arg(port), kxtest::fbUser(), kxtest::fbPassword());
            QFAIL("attach to a closed port succeeded");
        } catch (const kx::Error &e) {
            QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
            // The first message names the host, the second the cause; both must reach the user.
            const QStringList lines = e.text().split(QLatin1Char('\n'));
            QVERIFY2(lines.size() >= 2, qPrintable(e.text()));
            QVERIFY2(lines.first().contains(QStringLiteral("Unable to complete network request to host")),
                     qPrintable(e.text()));
            QVERIFY2(e.text().contains(QStringLiteral("Failed to establish a connection")),
                     qPrintable(e.text()));
        }
        QVERIFY(!service.isAttached());
    }
};

QTEST_GUILESS_MAIN(TestFbService)
#include "tst_fbservice.moc"
