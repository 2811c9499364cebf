#include "viewer/link/SessionPoller.h"

#include <poll.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>

namespace dvr::link {

SessionPoller::SessionPoller(SessionDriver& driver, RecorderSocket& socket)
    : m_driver(driver), m_session(driver.session()), m_socket(socket) {}

short SessionPoller::events() const {
    if (m_socket.lookupPending())
        return POLLIN;
    if (m_socket.fd() < 0)
        return 0;
    const bool connecting = m_session.connectPending();
    const bool reading = !connecting && m_session.wantsRead();
    const bool writing = !connecting && m_session.wantsWrite();
    short events = 0;
    if (connecting || writing)
        events |= POLLOUT;
    if (reading)
        events |= POLLIN;
    return events;
}

bool SessionPoller::pollOnce(int timeoutMs) {
    const int fd = this->fd();
    if (fd < 0)
        return false;
    const short events = this->events();
    if (events == 0)
        return false;
    // The session's next wake-up shortens the wait, so its watchdog check is not late.
    if (const std::optional<TimePoint> wake = m_session.nextWakeUp()) {
        const auto untilWake =
            std::chrono::ceil<std::chrono::milliseconds>(*wake - m_driver.clock().steadyNow());
        const int64_t wakeMs = std::clamp<int64_t>(untilWake.count(), 0, INT32_MAX);
        if (timeoutMs < 0 || wakeMs < timeoutMs)
            timeoutMs = static_cast<int>(wakeMs);
    }
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, timeoutMs);
    if (n > 0)
        dispatch(events, p.revents);
    if (m_socket.isOpen())
        m_driver.onTime();
    return true;
}

void SessionPoller::dispatch(short events, short revents) {
    if (m_socket.lookupPending()) {
        // The host name resolved (or did not): the connect starts now, or its failure is the outcome.
        if (revents != 0 && m_socket.finishLookup() == RecorderSocket::LookupOutcome::Failed)
            m_driver.onConnectResult(EHOSTUNREACH);
        return;
    }
    const int fd = m_socket.fd();
    if (fd < 0 || revents == 0)
        return;
    const bool connecting = m_session.connectPending();
    const bool reading = !connecting && (events & POLLIN);
    const bool writing = !connecting && (events & POLLOUT);
    if (connecting) {
        // SO_ERROR is read once: reading it clears it.
        int error = m_socket.pendingError();
        if (error == 0 && (revents & (POLLERR | POLLHUP)))
            error = ECONNREFUSED;
        // A name may resolve to several addresses (IPv6 and IPv4): each is tried in turn.
        if (error != 0 && m_socket.tryNextAddress())
            return;
        m_driver.onConnectResult(error);
        return;
    }
    // Queued bytes go out first; a broken connection shows there as a send error.
    if (writing && (revents & (POLLOUT | POLLERR)) && m_socket.fd() == fd)
        m_driver.onWritable();
    if (reading && (revents & (POLLIN | POLLHUP | POLLERR)) && m_socket.fd() == fd)
        m_driver.onReadable();
}

}  // namespace dvr::link
