#include "viewer/link/SendQueue.h"

#include <algorithm>

namespace dvr::link {

SendQueue::Outcome SendQueue::send(RecorderTransport& transport, std::span<const uint8_t> bytes) {
    if (bytes.empty())
        return empty() ? Outcome::Idle : Outcome::Waiting;
    if (!empty()) {
        // Order is kept: new bytes go behind the ones already waiting.
        if (m_queuedBytes + bytes.size() > kMaxQueuedBytes) {
            clear();
            return Outcome::Overflow;
        }
        // Sent bytes at the front are dropped first, so the buffer stays within the bound.
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<ptrdiff_t>(m_head));
        m_head = 0;
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        m_queuedBytes += bytes.size();
        return Outcome::Waiting;
    }
    const RecorderTransport::Sent sent = transport.send(bytes);
    if (sent.error != 0) {
        clear();
        m_error = sent.error;
        return Outcome::Failed;
    }
    const size_t taken = std::min(sent.bytes, bytes.size());
    const std::span<const uint8_t> rest = bytes.subspan(taken);
    if (rest.empty())
        return Outcome::Idle;
    if (rest.size() > kMaxQueuedBytes) {
        clear();
        return Outcome::Overflow;
    }
    m_bytes.assign(rest.begin(), rest.end());
    m_head = 0;
    m_queuedBytes = rest.size();
    return Outcome::Waiting;
}

SendQueue::Outcome SendQueue::flush(RecorderTransport& transport) {
    if (empty())
        return Outcome::Idle;
    const std::span<const uint8_t> waiting(m_bytes.data() + m_head, m_queuedBytes);
    return settle(transport.send(waiting));
}

SendQueue::Outcome SendQueue::settle(const RecorderTransport::Sent& sent) {
    if (sent.error != 0) {
        clear();
        m_error = sent.error;
        return Outcome::Failed;
    }
    const size_t taken = std::min(sent.bytes, m_queuedBytes);
    m_head += taken;
    m_queuedBytes -= taken;
    if (m_queuedBytes > 0)
        return Outcome::Waiting;
    clear();
    return Outcome::Idle;
}

void SendQueue::clear() {
    m_bytes.clear();
    m_head = 0;
    m_queuedBytes = 0;
    m_heldAtLastCheck = false;
}

bool SendQueue::stalledSinceLastCheck() {
    const bool stalled = m_heldAtLastCheck && !empty();
    m_heldAtLastCheck = !empty();
    return stalled;
}

}  // namespace dvr::link
