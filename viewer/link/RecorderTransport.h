// The connection under a recorder session: a non-blocking stream socket.
// The real one is RecorderSocket; tests use a fake. The session never sees
// it: a SessionDriver opens, sends, reads and closes it for the session, and
// whoever watches the socket (a poll loop, a socket notifier) reports its
// readiness to that driver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace dvr::link {

class RecorderTransport {
public:
    virtual ~RecorderTransport() = default;

    enum class ConnectStart {
        Failed,     // refused at once; nothing is left open
        InProgress  // under way; the outcome is reported later
    };
    // Creates the socket and starts a non-blocking connect.
    virtual ConnectStart open(std::string_view address, uint16_t port) = 0;
    virtual bool isOpen() const = 0;

    struct Sent {
        size_t bytes = 0;  // bytes the system took, from the start of the given ones
        int error = 0;     // 0, or the error that ended the connection (EPIPE, ECONNRESET, ...)
    };
    // Hands over as many bytes as the system takes now, without waiting.
    virtual Sent send(std::span<const uint8_t> bytes) = 0;
    // Whether the session has bytes waiting to be sent: while on, whoever
    // watches the socket reports it writable (SessionDriver::onWritable()).
    virtual void watchWritable(bool) {}

    struct Received {
        size_t bytes = 0;     // bytes placed at the start of the buffer
        bool closed = false;  // the peer closed the connection, or it failed
    };
    // Reads what is available, at most buffer.size() bytes, without waiting.
    virtual Received receive(std::span<uint8_t> buffer) = 0;

    virtual void setReceiveBuffer(int bytes) = 0;

    // Shuts both directions down and closes the socket. Safe when not open.
    virtual void close() = 0;
};

}  // namespace dvr::link
