#include "player/widgets/FileHandOff.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>
#include <algorithm>

#include "player/view/HandOffRequest.h"

namespace dvr::player {

namespace {

// The user id of the process at the other end of a local socket; nothing when it cannot be told.
std::optional<unsigned> peerUserId(qintptr descriptor) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (descriptor < 0 || ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials) {
        return std::nullopt;
    }
    return unsigned(credentials.uid);
}

}  // namespace

QString FileHandOff::socketPath(const QString& lockPath) {
    return lockPath + QStringLiteral(".socket");
}

unsigned FileHandOff::currentUserId() {
    return ::geteuid();
}

FileHandOff::FileHandOff(const QString& lockPath, QObject* parent, unsigned peerUserId)
    : QObject(parent), m_socketPath(socketPath(lockPath)), m_peerUserId(peerUserId) {}

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
        // Only this user's own programs may hand a file over.
        if (peerUserId(socket->socketDescriptor()) != m_peerUserId) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            const QByteArray pending = socket->property("pending").toByteArray() + socket->readAll();
            const HandOffRequest request =
                parseHandOffRequest(std::string_view(pending.constData(), size_t(pending.size())));
            if (request.status == HandOffStatus::Incomplete) {
                socket->setProperty("pending", pending);
                return;
            }
            socket->setProperty("pending", QByteArray());
            if (request.status == HandOffStatus::Refused) {
                socket->abort();
                return;
            }
            socket->write(kHandOffAnswer.data(), qint64(kHandOffAnswer.size()));
            socket->flush();
            socket->disconnectFromServer();
            Q_EMIT fileReceived(QString::fromStdString(request.path));
        });
    }
}

bool FileHandOff::send(const QString& lockPath, const QString& filePath, int timeoutMs, unsigned peerUserId) {
    QElapsedTimer elapsed;
    elapsed.start();
    const auto left = [&] { return std::max(0, timeoutMs - static_cast<int>(elapsed.elapsed())); };
    QLocalSocket socket;
    socket.connectToServer(socketPath(lockPath));
    if (!socket.waitForConnected(left())) {
        return false;
    }
    // A listener of another user never learns the path.
    if (::dvr::player::peerUserId(socket.socketDescriptor()) != peerUserId) {
        socket.abort();
        return false;
    }
    const QByteArray path = filePath.toUtf8();
    const std::string request = handOffRequestBytes(std::string_view(path.constData(), size_t(path.size())));
    socket.write(request.data(), qint64(request.size()));
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
    return std::string_view(answer.constData(), size_t(answer.size())) == kHandOffAnswer;
}

}  // namespace dvr::player
