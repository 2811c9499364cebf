#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "player/audio/AudioDevice.h"

namespace dvr::player {

// One sound output: a staging buffer that collects a channel's mu-law bytes and hands
// them to the device in blocks of a little more than kBlockBytes, with at most
// kPlayBufferCount blocks in the device at once. While all of them are still playing,
// queue() waits; that is what paces the playback thread while sound is on.
// queue() runs on the playback thread only; interrupt() may be called from any thread.
class SoundOutput {
public:
    static constexpr size_t kStagingBytes = 16384;
    static constexpr size_t kBlockBytes = 1024;
    static constexpr int kPlayBufferCount = 3;
    // A wait for a play buffer gives up (dropping the staged block) when the device
    // takes nothing for this long, so a stuck device cannot hang playback.
    static constexpr int64_t kStallLimitMs = 2000;
    static constexpr int kPollMs = 1;

    // device is shared with the other outputs; clock times the waits.
    SoundOutput(std::shared_ptr<SharedAudioDevice> device, AudioClock& clock);

    // Appends mu-law bytes; writes a block to the device once more than kBlockBytes are
    // staged, waiting first until the next play buffer has finished playing. Bytes that
    // do not fit the staging buffer are dropped. The wait asks keepWaiting (when given)
    // at every poll and drops the staged block as soon as it says false.
    void queue(std::span<const uint8_t> bytes, const std::function<bool()>& keepWaiting = {});

    // On: ends any wait in queue() at once and makes later waits drop their block
    // instead of waiting, until interrupt(false).
    void interrupt(bool on);

    size_t stagedBytes() const { return m_fill; }
    // Mu-law bytes handed to the device by this output.
    uint64_t writtenBytes() const { return m_written; }

private:
    bool waitForPlayBuffer(const std::function<bool()>& keepWaiting);

    std::shared_ptr<SharedAudioDevice> m_device;
    AudioClock& m_clock;
    std::vector<uint8_t> m_staging;
    std::vector<int16_t> m_pcm;
    size_t m_fill = 0;
    int m_next = 0;
    // Device position at which each play buffer ends (0 = never written); a buffer is
    // done once the device has played past it.
    std::array<int64_t, kPlayBufferCount> m_endMark{};
    uint64_t m_written = 0;
    std::atomic<bool> m_interrupted{false};
};

}  // namespace dvr::player
