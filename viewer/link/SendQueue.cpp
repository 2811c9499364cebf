#include "viewer/link/SendQueue.h"

#include <algorithm>

namespace dvr::link {

SendQueue::Outcome SendQueue::add(std::span<const uint8_t> bytes) {
    if (bytes.empty())
        return empty() ? Outcome::Idle : Outcome::Waiting;
    if (empty()) {
        m_bytes.assign(bytes.begin(), bytes.end());
        m_head = 0;
        m_queuedBytes = bytes.size();
        return Outcome::Waiting;
    }
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

SendQueue::Outcome SendQueue::sent(size_t bytes, int error) {
    if (error != 0) {
        clear();
        m_error = error;
        return Outcome::Failed;
    }
    const size_t taken = std::min(bytes, m_queuedBytes);
    m_head += taken;
    m_queuedBytes -= taken;
    if (m_queuedBytes == 0) {
        clear();
        return Outcome::Idle;
    }
    if (m_queuedBytes > kMaxQueuedBytes) {
        clear();
        return Outcome::Overflow;
    }
    return Outcome::Waiting;
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
