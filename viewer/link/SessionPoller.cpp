#include "viewer/link/SessionPoller.h"

#include <poll.h>
#include <cerrno>

namespace dvr::link {

SessionPoller::SessionPoller(RecorderSession& session, RecorderSocket& socket)
    : m_session(session), m_socket(socket) {}

bool SessionPoller::pollOnce(int timeoutMs) {
    const int fd = m_socket.fd();
    if (fd < 0)
        return false;
    const bool connecting = m_session.connectPending();
    const bool reading = !connecting && m_session.wantsRead();
    const bool writing = !connecting && m_session.wantsWrite();
    if (!connecting && !reading && !writing)
        return false;
    short events = 0;
    if (connecting || writing)
        events |= POLLOUT;
    if (reading)
        events |= POLLIN;
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, timeoutMs);
    if (n <= 0)
        return true;
    if (connecting) {
        // SO_ERROR is read once: reading it clears it.
        int error = m_socket.pendingError();
        if (error == 0 && (p.revents & (POLLERR | POLLHUP)))
            error = ECONNREFUSED;
        // A name may resolve to several addresses (IPv6 and IPv4): each is tried in turn.
        if (error != 0 && m_socket.tryNextAddress())
            return true;
        m_session.onConnectResult(error);
        return true;
    }
    // Queued bytes go out first; a broken connection shows there as a send error.
    if (writing && (p.revents & (POLLOUT | POLLERR)) && m_socket.fd() == fd)
        m_session.onWritable();
    if (reading && (p.revents & (POLLIN | POLLHUP | POLLERR)) && m_socket.fd() == fd)
        m_session.onReadable();
    return true;
}

}  // namespace dvr::link
