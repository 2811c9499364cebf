// The recorder connection on a non-blocking POSIX TCP socket. The socket
// itself never waits for data; readiness is watched by a poll loop
// (SessionPoller) or a socket notifier, which report it to the session.
#pragma once

#include "viewer/link/RecorderTransport.h"

#include <string>

namespace dvr::link {

class RecorderSocket final : public RecorderTransport {
public:
    RecorderSocket() = default;
    ~RecorderSocket() override;
    RecorderSocket(const RecorderSocket&) = delete;
    RecorderSocket& operator=(const RecorderSocket&) = delete;

    // Resolves the address (numeric first, then as a host name) and starts a
    // non-blocking connect. A connect that completes or fails at once is
    // reported like a later one, through the socket becoming writable.
    ConnectStart open(std::string_view address, uint16_t port) override;
    bool isOpen() const override { return m_fd >= 0; }
    // Sends what the system takes now; never waits.
    Sent send(std::span<const uint8_t> bytes) override;
    Received receive(std::span<uint8_t> buffer) override;
    void setReceiveBuffer(int bytes) override;
    // Reads away what is pending (so the peer sees an orderly close rather
    // than a reset), shuts both directions down and closes.
    void close() override;

    int fd() const { return m_fd; }
    // The outcome of a connect once the socket is writable: 0 or the error.
    int pendingError() const;

private:
    int m_fd = -1;
};

}  // namespace dvr::link
