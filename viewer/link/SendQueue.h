// The bytes on their way to the recorder that the socket has not taken yet.
// Packets go out whole and in order: the session adds each packet here, the
// driver hands waiting() to the socket and reports what it took through
// sent(), and what the socket does not take waits for the next hand-over, so
// nobody waits and the tail of a packet is never dropped. A queue that grows
// past its bound, or holds bytes through a whole watchdog period, is a dead
// link. The queue knows no socket.
#pragma once

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
        Waiting,   // bytes wait to be handed to the socket
        Overflow,  // more than kMaxQueuedBytes would wait
        Failed,    // the socket reported an error (error())
    };

    // Puts `bytes` behind whatever already waits. Bytes added to an empty
    // queue are to be handed over at once (the socket has its chance before
    // the bound applies); bytes added behind waiting ones overflow when the
    // total passes the bound. Nothing is kept after Overflow.
    Outcome add(std::span<const uint8_t> bytes);
    // The bytes waiting, oldest first.
    std::span<const uint8_t> waiting() const { return {m_bytes.data() + m_head, m_queuedBytes}; }
    // The socket took `bytes` from the start of waiting(), or failed with
    // `error` (nothing is kept then). Overflow when more than the bound is
    // left waiting.
    Outcome sent(size_t bytes, int error);
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
    std::vector<uint8_t> m_bytes;
    size_t m_head = 0;  // bytes of m_bytes already sent
    size_t m_queuedBytes = 0;
    int m_error = 0;
    bool m_heldAtLastCheck = false;
};

}  // namespace dvr::link
