#include "player/ui/FileHandOff.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>
#include <algorithm>

namespace dvr::player {

namespace {

// One request: the file path in UTF-8 ended by a line feed; the answer "ok" and a line feed.
constexpr qsizetype kMaxRequestBytes = 16 * 1024;
constexpr char kAnswer[] = "ok\n";

}  // namespace

QString FileHandOff::socketPath(const QString& lockPath) {
    return lockPath + QStringLiteral(".socket");
}

FileHandOff::FileHandOff(const QString& lockPath, QObject* parent)
    : QObject(parent), m_socketPath(socketPath(lockPath)) {}

FileHandOff::~FileHandOff() {
    if (m_server) {
        m_server->close();
    }
}

bool FileHandOff::listen() {
    if (m_server && m_server->isListening()) {
        return true;
    }
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &FileHandOff::onNewConnection);
    }
    QLocalServer::removeServer(m_socketPath);
    return m_server->listen(m_socketPath);
}

void FileHandOff::onNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QByteArray pending = socket->property("pending").toByteArray() + socket->readAll();
            const qsizetype end = pending.indexOf('\n');
            if (end < 0) {
                // A sender that never ends its line is dropped instead of growing the buffer.
                if (pending.size() > kMaxRequestBytes) {
                    socket->abort();
                } else {
                    socket->setProperty("pending", pending);
                }
                return;
            }
            const QString path = QString::fromUtf8(pending.left(end));
            socket->setProperty("pending", QByteArray());
            socket->write(kAnswer);
            socket->flush();
            socket->disconnectFromServer();
            if (!path.isEmpty()) {
                Q_EMIT fileReceived(path);
            }
        });
    }
}

bool FileHandOff::send(const QString& lockPath, const QString& filePath, int timeoutMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    const auto left = [&] { return std::max(0, timeoutMs - static_cast<int>(elapsed.elapsed())); };
    QLocalSocket socket;
    socket.connectToServer(socketPath(lockPath));
    if (!socket.waitForConnected(left())) {
        return false;
    }
    socket.write(filePath.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(left())) {
        return false;
    }
    QByteArray answer;
    while (!answer.contains('\n')) {
        if (!socket.waitForReadyRead(left())) {
            return false;
        }
        answer += socket.readAll();
    }
    return answer == kAnswer;
}

}  // namespace dvr::player
