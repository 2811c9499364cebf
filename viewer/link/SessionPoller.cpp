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
    if (!connecting && !m_session.wantsRead())
        return false;
    pollfd p{fd, static_cast<short>(connecting ? POLLOUT : POLLIN), 0};
    const int n = ::poll(&p, 1, timeoutMs);
    if (n <= 0)
        return true;
    if (connecting) {
        // SO_ERROR is read once: reading it clears it.
        int error = m_socket.pendingError();
        if (error == 0 && (p.revents & (POLLERR | POLLHUP)))
            error = ECONNREFUSED;
        m_session.onConnectResult(error);
        return true;
    }
    if (p.revents & (POLLIN | POLLHUP | POLLERR))
        m_session.onReadable();
    return true;
}

}  // namespace dvr::link
