// The bytes on their way to the recorder that the socket has not taken yet.
// Packets go out whole and in order: what the system does not take at once
// waits here and is handed over when the socket is writable, so the sender
// never waits and never drops the tail of a packet. A queue that grows past
// its bound, or holds bytes through a whole watchdog period, is a dead link.
#pragma once

#include "viewer/link/RecorderTransport.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace dvr::link {

class SendQueue {
public:
    // The most bytes that may wait; beyond it the recorder is not reading.
    static constexpr size_t kMaxQueuedBytes = 64 * 1024;

    enum class Outcome {
        Idle,      // nothing waits
        Waiting,   // bytes wait for the socket to become writable
        Overflow,  // more than kMaxQueuedBytes would wait
        Failed,    // the socket reported an error (error())
    };

    // Sends `bytes` after whatever already waits; what the socket does not
    // take now is kept. Nothing is kept after Overflow or Failed.
    Outcome send(RecorderTransport& transport, std::span<const uint8_t> bytes);
    // The socket is writable: hands over what waits.
    Outcome flush(RecorderTransport& transport);
    // Forgets what waits (the connection is gone).
    void clear();

    bool empty() const { return m_queuedBytes == 0; }
    size_t queuedBytes() const { return m_queuedBytes; }
    // The socket error of the last Failed outcome.
    int error() const { return m_error; }

    // Called once per watchdog period: true when bytes have waited since the
    // previous call without the queue ever emptying in between.
    bool stalledSinceLastCheck();

private:
    Outcome settle(const RecorderTransport::Sent& sent);

    std::vector<uint8_t> m_bytes;
    size_t m_head = 0;  // bytes of m_bytes already sent
    size_t m_queuedBytes = 0;
    int m_error = 0;
    bool m_heldAtLastCheck = false;
};

}  // namespace dvr::link
