#include "player/media/PlaybackClock.h"

#include <chrono>
#include <thread>

namespace dvr::media {

int64_t SteadyPlaybackClock::nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SteadyPlaybackClock::sleepMs(int64_t ms) {
    if (ms <= 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void ManualPlaybackClock::sleepMs(int64_t ms) {
    if (ms > 0) {
        m_nowNs.fetch_add(ms * 1000000);
        m_sleptMs.fetch_add(ms);
    }
    // Another thread polling this one (a test, the tool) gets its turn.
    std::this_thread::yield();
}

}  // namespace dvr::media
