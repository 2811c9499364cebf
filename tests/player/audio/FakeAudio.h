#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "player/audio/AudioDevice.h"
#include "player/audio/MuLaw.h"
#include "tests/support/Wait.h"

namespace dvr::player {

inline int16_t muLawToPcmForTest(uint8_t code) {
    return muLawToPcm(code);
}

// A clock that only moves when somebody sleeps on it.
class FakeClock final : public AudioClock {
public:
    int64_t nowMs() const override { return m_now.load(); }
    void sleepMs(int ms) override { m_now += ms; }

private:
    std::atomic<int64_t> m_now{0};
};

// A clock that stands still and counts the polls made on it: a wait on it ends only when
// it is told to, and a test can see that the wait has begun.
class StillClock final : public AudioClock {
public:
    int64_t nowMs() const override { return 0; }
    void sleepMs(int) override {
        m_polls.fetch_add(1);
        std::this_thread::yield();
    }
    int polls() const { return m_polls.load(); }

private:
    std::atomic<int> m_polls{0};
};

using testsupport::waitUntil;

// A device that plays samplesPerMs samples for every millisecond of the clock and keeps
// what was queued.
class FakeDevice final : public AudioDevice {
public:
    FakeDevice(AudioClock& clock, int samplesPerMs) : m_clock(clock), m_rate(samplesPerMs) {}

    bool queue(std::span<const int16_t> samples) override {
        std::lock_guard lock(m_mutex);
        playedAtWrite.push_back(playedLocked());
        writes.emplace_back(samples.begin(), samples.end());
        m_playedBase = playedLocked();
        m_startMs = m_clock.nowMs();
        m_queued += static_cast<int64_t>(samples.size());
        return true;
    }
    size_t pendingSamples() const override {
        std::lock_guard lock(m_mutex);
        return static_cast<size_t>(m_queued - playedLocked());
    }
    size_t writeCount() const {
        std::lock_guard lock(m_mutex);
        return writes.size();
    }

    std::vector<std::vector<int16_t>> writes;
    std::vector<int64_t> playedAtWrite;

private:
    int64_t playedLocked() const {
        const int64_t played = m_playedBase + (m_clock.nowMs() - m_startMs) * m_rate;
        return played < m_queued ? played : m_queued;
    }

    AudioClock& m_clock;
    int m_rate;
    mutable std::mutex m_mutex;
    int64_t m_queued = 0;
    int64_t m_playedBase = 0;
    int64_t m_startMs = 0;
};

}  // namespace dvr::player
