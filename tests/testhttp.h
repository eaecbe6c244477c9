#pragma once
// A tiny HTTP server on loopback for the tests of the version check: each request gets the
// answer the test set (or none at all, for a server that hangs), and is kept for inspection.

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace kxtest {

class HttpServer : public QObject
{
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        QByteArray extraHeaders; // whole header lines, each ending in CR LF
        bool hang = false;       // read the request, never answer
    };

    static Answer reply(int status, const QByteArray &body, const QByteArray &extraHeaders = {})
    {
        Answer a;
        a.status = status;
        a.body = body;
        a.extraHeaders = extraHeaders;
        return a;
    }
    static Answer hanging()
    {
        Answer a;
        a.hang = true;
        return a;
    }

    HttpServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                m_sockets.append(s);
                connect(s, &QTcpSocket::readyRead, this, [this, s] { serve(s); });
            }
        });
    }

    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    // Answers by path (without the query); a path not set gets the default answer.
    void setAnswer(const QByteArray &path, const Answer &answer) { m_answers.append({path, answer}); }
    void setDefault(const Answer &answer) { m_default = answer; }
    // The head of every request received, in order.
    const QList<QByteArray> &requests() const { return m_requests; }
    // Every connection taken, in order.
    const QList<QPointer<QTcpSocket>> &connections() const { return m_sockets; }

private:
    void serve(QTcpSocket *s)
    {
        QByteArray &buffer = m_buffers[s];
        buffer += s->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = buffer.left(end);
        buffer.clear();
        m_requests.append(head);
        const QByteArray target = head.split(' ').value(1);
        const QByteArray path = target.split('?').value(0);
        Answer answer = m_default;
        for (const auto &[p, a] : m_answers)
            if (p == path)
                answer = a;
        if (answer.hang)
            return;
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\n" + answer.extraHeaders
                           + "Content-Length: " + QByteArray::number(answer.body.size())
                           + "\r\nConnection: close\r\n\r\n" + answer.body;
        s->write(reply);
        s->disconnectFromHost();
    }

    QTcpServer m_server;
    QList<QPointer<QTcpSocket>> m_sockets;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<std::pair<QByteArray, Answer>> m_answers;
    Answer m_default;
    QList<QByteArray> m_requests;
};

} // namespace kxtest
