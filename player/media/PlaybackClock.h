#pragma once

#include <atomic>
#include <cstdint>

namespace dvr::media {

// The monotonic clock the playback thread paces and waits with.
class PlaybackClock {
public:
    virtual ~PlaybackClock() = default;
    // Nanoseconds on a monotonic scale with sub-millisecond resolution.
    virtual int64_t nowNs() = 0;
    // Lets at least `ms` milliseconds pass (0: just gives up the processor).
    virtual void sleepMs(int64_t ms) = 0;
};

// The steady clock of the machine; sleeps for real.
class SteadyPlaybackClock final : public PlaybackClock {
public:
    int64_t nowNs() override;
    void sleepMs(int64_t ms) override;
};

// A clock that moves only when slept on: every sleep advances it at once by the time asked for and
// returns without waiting. Tests and the command-line tool run the playback thread on it, unpaced.
class ManualPlaybackClock final : public PlaybackClock {
public:
    int64_t nowNs() override { return m_nowNs.load(); }
    void sleepMs(int64_t ms) override;
    // Moves the clock on without a sleep (the time the work itself took).
    void advanceNs(int64_t ns) { m_nowNs.fetch_add(ns); }
    // Milliseconds slept so far in all.
    int64_t sleptMs() const { return m_sleptMs.load(); }

private:
    std::atomic<int64_t> m_nowNs{0};
    std::atomic<int64_t> m_sleptMs{0};
};

}  // namespace dvr::media
