#include "player/audio/SoundOutput.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "player/audio/MuLaw.h"

namespace dvr::player {

namespace {

class SystemAudioClock final : public AudioClock {
public:
    int64_t nowMs() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void sleepMs(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

}  // namespace

AudioClock& systemAudioClock() {
    static SystemAudioClock clock;
    return clock;
}

struct SharedAudioDevice::State {
    std::unique_ptr<AudioDevice> device;
    // Guards total and keeps a queue() and its count together.
    mutable std::mutex mutex;
    int64_t total = 0;
};

SharedAudioDevice::SharedAudioDevice(std::unique_ptr<AudioDevice> device)
    : m_state(std::make_unique<State>()) {
    m_state->device = std::move(device);
}

SharedAudioDevice::~SharedAudioDevice() = default;

int64_t SharedAudioDevice::queue(std::span<const int16_t> samples) {
    std::lock_guard lock(m_state->mutex);
    if (!m_state->device->queue(samples)) {
        return -1;
    }
    m_state->total += static_cast<int64_t>(samples.size());
    return m_state->total;
}

int64_t SharedAudioDevice::playedSamples() const {
    std::lock_guard lock(m_state->mutex);
    const auto pending = static_cast<int64_t>(m_state->device->pendingSamples());
    return std::max<int64_t>(0, m_state->total - pending);
}

int64_t SharedAudioDevice::queuedSamples() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->total;
}

SoundOutput::SoundOutput(std::shared_ptr<SharedAudioDevice> device, AudioClock& clock)
    : m_device(std::move(device)), m_clock(clock), m_staging(kStagingBytes), m_pcm(kStagingBytes) {}

void SoundOutput::interrupt(bool on) {
    m_interrupted.store(on, std::memory_order_relaxed);
}

void SoundOutput::queue(std::span<const uint8_t> bytes, const std::function<bool()>& keepWaiting) {
    const size_t room = kStagingBytes - m_fill;
    const size_t count = std::min(bytes.size(), room);
    if (count > 0) {
        std::memcpy(m_staging.data() + m_fill, bytes.data(), count);
        m_fill += count;
    }
    if (m_fill <= kBlockBytes) {
        return;
    }
    if (!waitForPlayBuffer(keepWaiting)) {
        m_fill = 0;
        return;
    }
    const size_t samples = decodeMuLaw({m_staging.data(), m_fill}, m_pcm);
    const int64_t end = m_device->queue({m_pcm.data(), samples});
    if (end >= 0) {
        m_endMark[static_cast<size_t>(m_next)] = end;
        m_written += m_fill;
    }
    m_fill = 0;
    m_next = (m_next + 1) % kPlayBufferCount;
}

bool SoundOutput::waitForPlayBuffer(const std::function<bool()>& keepWaiting) {
    const int64_t mark = m_endMark[static_cast<size_t>(m_next)];
    int64_t lastPlayed = m_device->playedSamples();
    int64_t lastProgressMs = m_clock.nowMs();
    while (lastPlayed < mark) {
        if (m_interrupted.load(std::memory_order_relaxed) || (keepWaiting && !keepWaiting())) {
            return false;
        }
        m_clock.sleepMs(kPollMs);
        const int64_t played = m_device->playedSamples();
        const int64_t now = m_clock.nowMs();
        if (played != lastPlayed) {
            lastPlayed = played;
            lastProgressMs = now;
        } else if (now - lastProgressMs >= kStallLimitMs) {
            return false;
        }
    }
    return !m_interrupted.load(std::memory_order_relaxed);
}

}  // namespace dvr::player
