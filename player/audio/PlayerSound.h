#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "player/audio/AudioDevice.h"
#include "player/audio/SoundOutput.h"
#include "player/media/PlayMode.h"

namespace dvr::player {

// The player's sound: four outputs (sound channels 0 to 3) over one shared device, the
// sound-on flag and the selected channel. The window thread switches sound and selects
// channels; the playback thread hands over each split sound block.
class PlayerSound {
public:
    static constexpr int kChannelCount = 4;
    static constexpr size_t kChannelBufferBytes = 1024;

    explicit PlayerSound(AudioClock& clock = systemAudioClock());
    ~PlayerSound();

    // Creates the outputs that do not exist yet, opening the device through factory when
    // none is open. False when the device cannot be prepared (*error says why).
    bool createOutputs(const AudioDeviceFactory& factory, std::string* error = nullptr);
    // Closes the outputs and the device. The playback thread must not be queueing.
    void destroyOutputs();
    bool hasOutputs() const { return m_device != nullptr; }

    // Sound off, no channel selected, next sound-on is a first use.
    void resetState();
    // Switches sound on or off. On the first use since resetState(), switching on
    // selects channel 1; returns true in that case.
    bool setSoundOn(bool on);
    bool soundOn() const { return m_soundOn.load(std::memory_order_relaxed); }
    // Selects sound channel 1 to 4 (0 = none).
    void selectChannel(int channel);
    int selectedChannel() const { return m_selected.load(std::memory_order_relaxed); }

    // Playback thread: one sound block was split into the four channel buffers. Queues
    // the selected channel's bytes when sound is on and the shared play mode is forward
    // play; drops everything else. A wait for a play buffer ends (dropping the staged
    // block) as soon as the window leaves forward play or switches sound off.
    void handOver(const std::array<std::span<const uint8_t>, kChannelCount>& channels,
                  const std::atomic<media::PlayMode>& playMode);

    // Ends waits of the playback thread inside handOver() and drops later blocks until
    // called with false; used while the playback thread is being stopped.
    void interrupt(bool on);

    // Samples written to the device that it has not taken for playing yet (0 without one).
    int64_t pendingSamples() const;

    // The output of sound channel 0 to 3 (nullptr before createOutputs()).
    const SoundOutput* output(int channel) const;

private:
    AudioClock& m_clock;
    std::shared_ptr<SharedAudioDevice> m_device;
    std::array<std::unique_ptr<SoundOutput>, kChannelCount> m_outputs;
    std::atomic<bool> m_soundOn{false};
    std::atomic<int> m_selected{0};
    bool m_firstUse = true;
    std::atomic<bool> m_interrupted{false};
};

}  // namespace dvr::player
