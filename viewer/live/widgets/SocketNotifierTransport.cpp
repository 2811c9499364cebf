#include "viewer/live/widgets/SocketNotifierTransport.h"

#include <QHostAddress>

#include <sys/ioctl.h>
#include <cerrno>
#include <string>
#include <vector>

namespace dvr::live {

namespace {
constexpr int kReadsPerNotification = 64;
}  // namespace

SocketNotifierTransport::SocketNotifierTransport(QObject* parent) : QObject(parent) {}

SocketNotifierTransport::~SocketNotifierTransport() {
    close();
}

link::RecorderTransport::ConnectStart SocketNotifierTransport::open(std::string_view address, uint16_t port) {
    close();
    m_port = port;
    const QString host = QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size()));
    if (QHostAddress(host).isNull()) {
        if (host.trimmed().isEmpty()) {
            return ConnectStart::Failed;
        }
        // The lookup runs off the user-interface thread; its result comes back as a queued call.
        m_lookupId = QHostInfo::lookupHost(host, this, &SocketNotifierTransport::onLookedUp);
        return ConnectStart::InProgress;
    }
    const ConnectStart start = m_socket.open(address, port);
    if (start == ConnectStart::InProgress && m_socket.isOpen()) {
        watchSocket();
    }
    return start;
}

void SocketNotifierTransport::onLookedUp(const QHostInfo& info) {
    if (info.lookupId() != m_lookupId) {
        return;  // a lookup given up by close()
    }
    std::vector<std::string> addresses;
    if (info.error() == QHostInfo::NoError) {
        for (const QHostAddress& a : info.addresses()) {
            addresses.push_back(a.toString().toStdString());
        }
    }
    if (!addresses.empty() && m_socket.openAddresses(addresses, m_port) == ConnectStart::InProgress) {
        m_lookupId = -1;
        watchSocket();
        return;
    }
    // Still counted as open while the session hears of the failure, so that it runs the view's disconnect.
    if (m_driver != nullptr) {
        m_driver->onConnectResult(EHOSTUNREACH);
    }
    m_lookupId = -1;
}

void SocketNotifierTransport::watchSocket() {
    stopWatching();
    m_connecting = true;
    m_writeNotifier = new QSocketNotifier(qintptr(m_socket.fd()), QSocketNotifier::Write, this);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &SocketNotifierTransport::onWritable);
    m_readNotifier = new QSocketNotifier(qintptr(m_socket.fd()), QSocketNotifier::Read, this);
    m_readNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &SocketNotifierTransport::onReadable);
}

void SocketNotifierTransport::watchWritable(bool on) {
    // While the connect is under way the write notifier waits for its outcome.
    if (m_writeNotifier && !m_connecting) {
        m_writeNotifier->setEnabled(on);
    }
}

void SocketNotifierTransport::close() {
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    m_connecting = false;
    stopWatching();
    m_socket.close();
}

void SocketNotifierTransport::onWritable() {
    if (!m_socket.isOpen()) {
        return;
    }
    if (!m_connecting) {
        if (m_driver != nullptr) {
            m_driver->onWritable();
        }
        return;
    }
    const int error = m_socket.pendingError();
    if (error != 0 && m_socket.tryNextAddress()) {
        watchSocket();  // a new socket for the next address
        return;
    }
    m_connecting = false;
    if (m_writeNotifier) {
        m_writeNotifier->setEnabled(false);
    }
    // Reading is watched before the session hears of the connection: its login request may be answered
    // at once.
    if (error == 0 && m_readNotifier) {
        m_readNotifier->setEnabled(true);
    }
    if (m_driver != nullptr) {
        m_driver->onConnectResult(error);
    }
}

void SocketNotifierTransport::onReadable() {
    if (m_driver == nullptr || !m_socket.isOpen()) {
        return;
    }
    const link::RecorderSession& session = m_driver->session();
    // Bytes already waiting are read at once, 4096 at a time as each notification would, rather than one
    // read per pass of the event loop; a bounded run keeps the window responsive.
    m_driver->onReadable();
    for (int i = 1; i < kReadsPerNotification && m_socket.isOpen() && session.wantsRead(); ++i) {
        int pendingBytes = 0;
        if (::ioctl(m_socket.fd(), FIONREAD, &pendingBytes) != 0 || pendingBytes <= 0) {
            break;
        }
        m_driver->onReadable();
    }
    if (m_readNotifier && (!m_socket.isOpen() || !session.wantsRead())) {
        m_readNotifier->setEnabled(false);
    }
}

void SocketNotifierTransport::stopWatching() {
    // The notifiers may be the ones whose signal is running: disable now, delete later.
    for (QSocketNotifier* notifier : {m_writeNotifier.data(), m_readNotifier.data()}) {
        if (notifier != nullptr) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_writeNotifier = nullptr;
    m_readNotifier = nullptr;
}

}  // namespace dvr::live
