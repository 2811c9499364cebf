#pragma once

#include "tests/support/EventLoopWait.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <functional>

namespace dvr::setup {

// Runs the event loop until `done` holds or `timeoutMs` passed; true when it holds.
template <typename Predicate>
bool waitUntil(Predicate done, int timeoutMs = testsupport::kStateWaitMs) {
    return testsupport::runEventsUntil(done, timeoutMs, 5);
}

// A tiny HTTP server on 127.0.0.1 for the lookup tests. Each request's head is kept; the handler turns
// the request path into the whole raw response, or into nothing to keep the connection silent.
class LoopbackHttpServer : public QObject {
public:
    using Handler = std::function<QByteArray(const QByteArray& path)>;

    explicit LoopbackHttpServer(Handler handler) : m_handler(std::move(handler)) {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                QObject::connect(socket, &QTcpSocket::readyRead, this,
                                 [this, socket] { onReadyRead(socket); });
            }
        });
    }

    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    std::string url(const char* path) const { return (base() + QString::fromLatin1(path)).toStdString(); }
    const QList<QByteArray>& requests() const { return m_requests; }

    static QByteArray response(const QByteArray& status, const QByteArray& body,
                               const QByteArray& headers = {}) {
        return "HTTP/1.1 " + status +
               "\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size()) +
               "\r\nConnection: close\r\n" + headers + "\r\n" + body;
    }

private:
    void onReadyRead(QTcpSocket* socket) {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0) {
            return;
        }
        const QByteArray head = buffer.left(end);
        m_requests.append(head);
        const QByteArray path = head.split(' ').value(1);
        const QByteArray reply = m_handler(path);
        if (!reply.isEmpty()) {
            socket->write(reply);
            socket->disconnectFromHost();
        }
    }

    QTcpServer m_server;
    Handler m_handler;
    QList<QByteArray> m_requests;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

}  // namespace dvr::setup
