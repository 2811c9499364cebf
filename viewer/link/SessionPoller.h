// Drives a recorder session over a RecorderSocket with poll(): the
// command-line tools' stand-in for the programs' socket notifiers.
#pragma once

#include "viewer/link/RecorderSocket.h"
#include "viewer/link/SessionDriver.h"

namespace dvr::link {

class SessionPoller {
public:
    // `driver` binds the session to `socket`.
    SessionPoller(SessionDriver& driver, RecorderSocket& socket);

    // Waits at most timeoutMs (less when the session wants the time sooner)
    // for the socket and reports what it finds to the driver: the outcome of
    // a pending connect; room for queued bytes; then readable bytes (one
    // read of at most 4096 bytes); then the time. Never waits to send.
    // Returns false when there is no socket to watch (the caller only waits
    // for its own timers then).
    bool pollOnce(int timeoutMs);

    // For a loop that polls many descriptors at once: the socket to watch
    // (-1: none; while a host name resolves in the background, the lookup's
    // wake-up) and the poll events wanted now (0: nothing to watch).
    int fd() const { return m_socket.lookupPending() ? m_socket.lookupFd() : m_socket.fd(); }
    short events() const;
    // Reports what poll() found for fd() with events() to the driver, as
    // pollOnce() does (without the time).
    void dispatch(short events, short revents);

private:
    SessionDriver& m_driver;
    RecorderSession& m_session;
    RecorderSocket& m_socket;
};

}  // namespace dvr::link
