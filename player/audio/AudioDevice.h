#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace dvr::player {

// Samples per second of every sound output (8-bit mu-law in, 16-bit PCM out).
inline constexpr int kSoundSampleRate = 8000;

// One opened sound device playing 16-bit mono PCM at kSoundSampleRate. queue() and
// pendingSamples() may be called from any thread.
class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    // Appends samples to the device's play queue; false when the device refused them.
    virtual bool queue(std::span<const int16_t> samples) = 0;
    // Samples queued that the device has not taken for playing yet.
    virtual size_t pendingSamples() const = 0;
};

// Opens the default sound device; nullptr (and a reason in *error) when it cannot be prepared.
using AudioDeviceFactory = std::function<std::unique_ptr<AudioDevice>(std::string* error)>;

// The one device all sound outputs share. Keeps the count of samples queued so far, so
// each output can tell when the device has played past what it wrote.
class SharedAudioDevice {
public:
    explicit SharedAudioDevice(std::unique_ptr<AudioDevice> device);
    ~SharedAudioDevice();
    SharedAudioDevice(const SharedAudioDevice&) = delete;
    SharedAudioDevice& operator=(const SharedAudioDevice&) = delete;

    // Queues samples; returns the device position (samples since opening) just after
    // them, or -1 when the device refused them.
    int64_t queue(std::span<const int16_t> samples);
    // Samples the device has taken for playing since opening.
    int64_t playedSamples() const;
    int64_t queuedSamples() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Time source of the sound outputs' waits, so tests can run without sleeping.
class AudioClock {
public:
    virtual ~AudioClock() = default;
    virtual int64_t nowMs() const = 0;
    virtual void sleepMs(int ms) = 0;
};

// The steady clock of the machine.
AudioClock& systemAudioClock();

}  // namespace dvr::player
