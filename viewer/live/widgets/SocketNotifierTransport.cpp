#include "viewer/live/widgets/SocketNotifierTransport.h"

#include <sys/ioctl.h>

namespace dvr::live {

namespace {
constexpr int kReadsPerNotification = 64;
}  // namespace

SocketNotifierTransport::SocketNotifierTransport(QObject* parent) : QObject(parent) {}

SocketNotifierTransport::~SocketNotifierTransport() {
    stopWatching();
    m_socket.close();
}

link::RecorderTransport::ConnectStart SocketNotifierTransport::open(std::string_view address, uint16_t port) {
    const ConnectStart start = m_socket.open(address, port);
    if (start != ConnectStart::InProgress || !m_socket.isOpen()) {
        return start;
    }
    stopWatching();
    m_writeNotifier = new QSocketNotifier(qintptr(m_socket.fd()), QSocketNotifier::Write, this);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &SocketNotifierTransport::onWritable);
    m_readNotifier = new QSocketNotifier(qintptr(m_socket.fd()), QSocketNotifier::Read, this);
    m_readNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &SocketNotifierTransport::onReadable);
    return start;
}

void SocketNotifierTransport::close() {
    stopWatching();
    m_socket.close();
}

void SocketNotifierTransport::onWritable() {
    if (m_writeNotifier) {
        m_writeNotifier->setEnabled(false);
    }
    if (!m_socket.isOpen()) {
        return;
    }
    const int error = m_socket.pendingError();
    // Reading is watched before the session hears of the connection: its login request may be answered
    // at once.
    if (error == 0 && m_readNotifier) {
        m_readNotifier->setEnabled(true);
    }
    if (m_session != nullptr) {
        m_session->onConnectResult(error);
    }
}

void SocketNotifierTransport::onReadable() {
    if (m_session == nullptr || !m_socket.isOpen()) {
        return;
    }
    // Bytes already waiting are read at once, 4096 at a time as each notification would, rather than one
    // read per pass of the event loop; a bounded run keeps the window responsive.
    m_session->onReadable();
    for (int i = 1; i < kReadsPerNotification && m_socket.isOpen() && m_session->wantsRead(); ++i) {
        int pendingBytes = 0;
        if (::ioctl(m_socket.fd(), FIONREAD, &pendingBytes) != 0 || pendingBytes <= 0) {
            break;
        }
        m_session->onReadable();
    }
    if (m_readNotifier && (!m_socket.isOpen() || !m_session->wantsRead())) {
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
