// Binds a sans-I/O recorder session to the transport under it. It opens the
// connection and tells the session the connect is under way, hands the
// session's outgoing bytes to the socket the moment they wait (it is the
// session's SessionOutput) and closes the socket when the session asks,
// reads once when the socket is readable, hands over what still waits when
// it is writable, and gives the session the time. Whoever watches the socket
// (a poll loop, socket notifiers, a test) reports readiness here.
#pragma once

#include "viewer/link/RecorderSession.h"
#include "viewer/link/RecorderTransport.h"

#include <string_view>

namespace dvr::link {

// Where a driver reads the monotonic time it gives the session: the steady
// clock, a program's own loop time, or a test's fake.
class MonotonicClock {
public:
    virtual ~MonotonicClock() = default;
    virtual TimePoint steadyNow() const = 0;
};

class SteadyClock final : public MonotonicClock {
public:
    TimePoint steadyNow() const override { return std::chrono::steady_clock::now(); }
};

class SessionDriver final : public SessionOutput {
public:
    // Registers itself as the session's output until destroyed.
    SessionDriver(RecorderSession& session, RecorderTransport& transport, const MonotonicClock& clock);
    ~SessionDriver() override;
    SessionDriver(const SessionDriver&) = delete;
    SessionDriver& operator=(const SessionDriver&) = delete;

    // Opens the transport (a non-blocking connect) and starts the session's
    // conversation. False when a connection already exists or the connect
    // was refused at once (nothing is left open then).
    bool connect(std::string_view address, uint16_t port);
    // The connect finished: 0 on success (the receive buffer is set first),
    // otherwise the socket error.
    void onConnectResult(int error);
    // The socket is readable: one read of at most kReadBytes.
    void onReadable();
    // The socket can take bytes: hands over what waits.
    void onWritable();
    // Gives the session the clock's time (the watchdog).
    void onTime();

    // The session has bytes or a close waiting: hands the bytes over once,
    // closes when asked, and watches for room while bytes are left.
    void outputWaiting() override;

    RecorderSession& session() { return m_session; }
    const RecorderSession& session() const { return m_session; }
    RecorderTransport& transport() { return m_transport; }
    const MonotonicClock& clock() const { return m_clock; }

private:
    RecorderSession& m_session;
    RecorderTransport& m_transport;
    const MonotonicClock& m_clock;
};

}  // namespace dvr::link
