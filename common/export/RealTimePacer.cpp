#include "common/export/RealTimePacer.h"

namespace dvr::exporting {

bool RealTimePacer::flushSecond(const Emit& emit) {
    for (int j = 0; j < m_rate; ++j) {
        const size_t index = size_t(j) * m_count / size_t(m_rate);
        if (!emit(m_pictures[index]))
            return false;
    }
    m_last = m_pictures[m_count - 1];
    m_count = 0;
    return true;
}

bool RealTimePacer::add(int64_t second, std::span<const uint8_t> jpeg, const Emit& emit) {
    if (!m_started) {
        m_started = true;
        m_second = second;
    } else if (second > m_second) {
        if (!flushSecond(emit))
            return false;
        for (int64_t gap = m_second + 1; gap < second; ++gap) {
            for (int j = 0; j < m_rate; ++j) {
                if (!emit(m_last))
                    return false;
            }
        }
        m_second = second;
    }
    if (m_pictures.size() <= m_count)
        m_pictures.emplace_back();
    m_pictures[m_count].assign(jpeg.begin(), jpeg.end());
    ++m_count;
    return true;
}

bool RealTimePacer::finish(const Emit& emit) {
    if (m_count == 0)
        return true;
    return flushSecond(emit);
}

}  // namespace dvr::exporting
