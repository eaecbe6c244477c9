#include "runs/messenger.h"
#include "core/codepage.h"
#include "platform/files.h"
#include "platform/pathname.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QtEndian>

#include <atomic>

#include <sys/stat.h>
#include <unistd.h>

namespace kx {

namespace {

// Set by tests, read by the runs' threads.
std::atomic<int> g_timeoutMs{5000};

void putShortString(QByteArray &record, int offset, const QString &text)
{
    const QByteArray bytes = codepage::encode(text).left(255);
    record[offset] = char(bytes.size());
    std::copy(bytes.cbegin(), bytes.cend(), record.begin() + offset + 1);
}

void putUint32(QByteArray &out, quint32 v)
{
    char buf[4];
    qToLittleEndian(v, buf);
    out.append(buf, 4);
}

// The socket lives in the user's runtime folder; the record carries a password, so we only talk
// through a folder that is ours and closed to everybody else.
QString socketPath()
{
    const QByteArray dir = qgetenv("XDG_RUNTIME_DIR");
    if (dir.isEmpty())
        return QString();
    struct stat st;
    if (::stat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0)
        return QString();
    return decodePath(dir) + QStringLiteral("/TKxChatMainF");
}

} // namespace

QByteArray messengerRecord(const MessengerHandOff &h)
{
    QByteArray record(kMessengerRecordSize, '\0');
    putShortString(record, 0, QStringLiteral("YEDEKSERVISI"));
    putShortString(record, 256, QStringLiteral("YEDEK"));
    putShortString(record, 512, h.address);
    putShortString(record, 768, h.nickname);
    putShortString(record, 1024, h.backupFile);
    putShortString(record, 1280, h.jobName);
    putShortString(record, 1536, h.deleteAfter ? QStringLiteral("SIL") : QStringLiteral("SILME"));
    putShortString(record, 1792, h.password);
    qToLittleEndian<quint32>(32, record.data() + 3072);
    return record;
}

QByteArray messengerEnvelope(const MessengerHandOff &h)
{
    QByteArray out;
    putUint32(out, quint32(QCoreApplication::applicationPid()));
    putUint32(out, kMessengerDataCode);
    putUint32(out, kMessengerRecordSize);
    out.append(messengerRecord(h));
    return out;
}

bool sendToMessenger(const MessengerHandOff &h)
{
    if (h.address.isEmpty() || h.jobName.isEmpty() || !pathExists(h.backupFile))
        return false;
    const QString path = socketPath();
    if (path.isEmpty() || !pathExists(path))
        return false;
    // Like a sent window message: wait until the chat program has taken the record and closed
    // the connection, or give up when the time-out has passed, counting from the start.
    QDeadlineTimer deadline(g_timeoutMs.load());
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    const QByteArray data = messengerEnvelope(h);
    if (socket.write(data) != data.size())
        return false;
    while (socket.bytesToWrite() > 0 && socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired())
        socket.waitForBytesWritten(int(deadline.remainingTime()));
    const bool delivered = socket.bytesToWrite() == 0;
    if (socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired())
        socket.waitForDisconnected(int(deadline.remainingTime()));
    socket.abort();
    return delivered;
}

void setMessengerTimeoutMs(int ms)
{
    g_timeoutMs = ms;
}

} // namespace kx
