#include "viewer/link/RecorderSocket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <string>

namespace dvr::link {

RecorderSocket::~RecorderSocket() {
    close();
}

RecorderTransport::ConnectStart RecorderSocket::open(std::string_view address, uint16_t port) {
    close();
    const std::string host(address);
    const std::string service = std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
        hints.ai_flags = AI_NUMERICSERV;
        if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0)
            return ConnectStart::Failed;
    }
    ConnectStart result = ConnectStart::Failed;
    for (addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
        const int fd =
            ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0)
            continue;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0 || errno == EINPROGRESS) {
            m_fd = fd;
            result = ConnectStart::InProgress;
            break;
        }
        ::close(fd);
    }
    freeaddrinfo(found);
    return result;
}

int RecorderSocket::pendingError() const {
    if (m_fd < 0)
        return EBADF;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

RecorderTransport::Sent RecorderSocket::send(std::span<const uint8_t> bytes) {
    Sent result;
    if (m_fd < 0) {
        result.error = ENOTCONN;
        return result;
    }
    while (result.bytes < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + result.bytes, bytes.size() - result.bytes,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            result.bytes += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A connect still under way takes nothing yet; the rest waits for writability.
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOTCONN))
            break;
        result.error = n < 0 ? errno : EPIPE;
        break;
    }
    return result;
}

RecorderTransport::Received RecorderSocket::receive(std::span<uint8_t> buffer) {
    Received r;
    if (m_fd < 0 || buffer.empty())
        return r;
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n > 0) {
            r.bytes = static_cast<size_t>(n);
            return r;
        }
        if (n == 0) {
            r.closed = true;
            return r;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            r.closed = true;
        return r;
    }
}

void RecorderSocket::setReceiveBuffer(int bytes) {
    if (m_fd >= 0)
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

void RecorderSocket::close() {
    if (m_fd < 0)
        return;
    uint8_t scratch[4096];
    for (int i = 0; i < 64; ++i) {
        const ssize_t n = ::recv(m_fd, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n <= 0)
            break;
    }
    ::shutdown(m_fd, SHUT_RDWR);
    ::close(m_fd);
    m_fd = -1;
}

}  // namespace dvr::link
