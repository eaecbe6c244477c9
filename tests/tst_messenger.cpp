// Hand-off to the LAN chat program: the record's byte layout and the local-socket delivery,
// including every case where nothing must be sent.
#include "runs/messenger.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QtEndian>

#include <atomic>
#include <sys/stat.h>

using namespace kx;

namespace {

constexpr int kEnvelopeSize = 12 + kMessengerRecordSize;

// The chat program's side, in its own thread so that the sender may block.
class Listener : public QThread
{
public:
    Listener(const QString &path, bool hang) : m_path(path), m_hang(hang) {}
    ~Listener() override
    {
        stop();
        wait();
    }

    bool start()
    {
        QThread::start();
        m_ready.acquire();
        return m_listening;
    }
    void stop()
    {
        m_stop = true;
        m_release.release();
    }
    int connections() const { return m_connections; }
    QByteArray received() const { return m_received; }

protected:
    void run() override
    {
        QLocalServer server;
        m_listening = server.listen(m_path);
        m_ready.release();
        if (!m_listening)
            return;
        // Polls so that stop() ends the wait; a connection made before stop() is still counted.
        while (!server.hasPendingConnections() && !m_stop)
            server.waitForNewConnection(20);
        QLocalSocket *client = server.nextPendingConnection();
        if (!client)
            return;
        ++m_connections;
        while (m_received.size() < kEnvelopeSize && client->waitForReadyRead(3000))
            m_received += client->readAll();
        if (m_hang)
            m_release.acquire(); // holds the connection open until the test lets go
        client->disconnectFromServer();
        if (client->state() != QLocalSocket::UnconnectedState)
            client->waitForDisconnected(1000);
    }

private:
    QString m_path;
    bool m_hang;
    bool m_listening = false;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    QByteArray m_received;
    QSemaphore m_ready, m_release;
};

QByteArray shortString(const QByteArray &bytes)
{
    return char(bytes.size()) + bytes;
}

// Points the sender at a fresh runtime folder with the given mode; returns the socket path.
QString useRuntime(const QTemporaryDir &dir, mode_t mode)
{
    const QByteArray path = QFile::encodeName(dir.path());
    if (!dir.isValid() || ::chmod(path.constData(), mode) != 0)
        return QString();
    qputenv("XDG_RUNTIME_DIR", path);
    return dir.filePath(QStringLiteral("TKxChatMainF"));
}

} // namespace

class TestMessenger : public QObject
{
    Q_OBJECT

    QByteArray m_oldRuntime;
    bool m_hadRuntime = false;
    QTemporaryDir m_files;
    QString m_backup;

    MessengerHandOff handOff() const
    {
        MessengerHandOff h;
        h.backupFile = m_backup;
        h.jobName = QStringLiteral("Muhasebe.nyd");
        h.nickname = QStringLiteral("Ayşe");
        h.address = QStringLiteral("192.168.1.5");
        h.password = QStringLiteral("gizli");
        return h;
    }

private slots:
    void initTestCase()
    {
        m_hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        QVERIFY(m_files.isValid());
        m_backup = m_files.filePath(QStringLiteral("Muhasebe.Zip"));
        QFile f(m_backup);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("PK");
    }
    void cleanupTestCase()
    {
        if (m_hadRuntime)
            qputenv("XDG_RUNTIME_DIR", m_oldRuntime);
        else
            qunsetenv("XDG_RUNTIME_DIR");
    }

    void recordLayout()
    {
        MessengerHandOff h = handOff();
        QByteArray expected(kMessengerRecordSize, '\0');
        auto put = [&](int at, const QByteArray &s) { expected.replace(at, s.size() + 1, shortString(s)); };
        put(0, "YEDEKSERVISI");
        put(256, "YEDEK");
        put(512, "192.168.1.5");
        put(768, "Ay\xFE" "e"); // Windows-1254 "ş"
        put(1024, QFile::encodeName(m_backup));
        put(1280, "Muhasebe.nyd");
        put(1536, "SILME");
        put(1792, "gizli");
        expected[3072] = 32;
        QCOMPARE(messengerRecord(h), expected);

        h.deleteAfter = true;
        put(1536, "SIL");
        expected[1540] = expected[1541] = 0; // the longer word's tail is not left behind
        QCOMPARE(messengerRecord(h), expected);
    }

    void longTextsCutAt255()
    {
        MessengerHandOff h = handOff();
        h.address = QString(300, u'a');
        h.nickname = QString(255, u'ğ');
        const QByteArray r = messengerRecord(h);
        QCOMPARE(r.size(), kMessengerRecordSize);
        QCOMPARE(quint8(r[512]), quint8(255));
        QCOMPARE(r.mid(513, 255), QByteArray(255, 'a'));
        // The next slot starts untouched by the cut text.
        QCOMPARE(quint8(r[768]), quint8(255));
        QCOMPARE(r.mid(769, 255), QByteArray(255, '\xF0'));
        QCOMPARE(quint8(r[1024]), quint8(QFile::encodeName(m_backup).size()));
    }

    void envelope()
    {
        const QByteArray e = messengerEnvelope(handOff());
        QCOMPARE(e.size(), kEnvelopeSize);
        QCOMPARE(qFromLittleEndian<quint32>(e.constData()), quint32(QCoreApplication::applicationPid()));
        QCOMPARE(qFromLittleEndian<quint32>(e.constData() + 4), quint32(3232));
        QCOMPARE(qFromLittleEndian<quint32>(e.constData() + 8), quint32(3076));
        QCOMPARE(e.mid(12), messengerRecord(handOff()));
    }

    void delivers()
    {
        QTemporaryDir runtime;
        const QString socket = useRuntime(runtime, 0700);
        QVERIFY(!socket.isEmpty());
        Listener listener(socket, false);
        QVERIFY(listener.start());
        QElapsedTimer t;
        t.start();
        QVERIFY(sendToMessenger(handOff()));
        QVERIFY(t.elapsed() < 4000); // returned on the listener's close, not the time-out
        listener.wait();
        QCOMPARE(listener.connections(), 1);
        QCOMPARE(listener.received(), messengerEnvelope(handOff()));
    }

    void sendsNothing_data()
    {
        QTest::addColumn<QString>("why");
        QTest::newRow("no address") << "address";
        QTest::newRow("no job name") << "job";
        QTest::newRow("backup file missing") << "file";
        QTest::newRow("runtime folder unset") << "unset";
        QTest::newRow("runtime folder open to others") << "0755";
        QTest::newRow("no listener") << "nolistener";
    }
    void sendsNothing()
    {
        QFETCH(QString, why);
        QTemporaryDir runtime;
        const QString socket = useRuntime(runtime, why == QLatin1String("0755") ? 0755 : 0700);
        QVERIFY(!socket.isEmpty());
        MessengerHandOff h = handOff();
        if (why == QLatin1String("address"))
            h.address.clear();
        else if (why == QLatin1String("job"))
            h.jobName.clear();
        else if (why == QLatin1String("file"))
            h.backupFile = m_files.filePath(QStringLiteral("yok.Zip"));

        Listener listener(socket, false);
        if (why != QLatin1String("nolistener"))
            QVERIFY(listener.start());
        if (why == QLatin1String("unset"))
            qunsetenv("XDG_RUNTIME_DIR");

        QElapsedTimer t;
        t.start();
        QVERIFY(!sendToMessenger(h));
        QVERIFY(t.elapsed() < 1000);
        listener.stop();
        listener.wait();
        QCOMPARE(listener.connections(), 0);
    }

    void hungListenerGivenUpAfterFiveSeconds()
    {
        QTemporaryDir runtime;
        const QString socket = useRuntime(runtime, 0700);
        QVERIFY(!socket.isEmpty());
        Listener listener(socket, true);
        QVERIFY(listener.start());
        QElapsedTimer t;
        t.start();
        // The record was written, so this still counts as handed over.
        QVERIFY(sendToMessenger(handOff()));
        const qint64 elapsed = t.elapsed();
        QVERIFY2(elapsed >= 4900 && elapsed < 8000, qPrintable(QString::number(elapsed)));
        listener.stop();
        listener.wait();
        QCOMPARE(listener.received(), messengerEnvelope(handOff()));
    }
};

QTEST_GUILESS_MAIN(TestMessenger)
#include "tst_messenger.moc"
