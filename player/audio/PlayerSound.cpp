#include "player/audio/PlayerSound.h"

namespace dvr::player {

PlayerSound::PlayerSound(AudioClock& clock) : m_clock(clock) {}

PlayerSound::~PlayerSound() {
    destroyOutputs();
}

bool PlayerSound::createOutputs(const AudioDeviceFactory& factory, std::string* error) {
    if (!m_device) {
        std::unique_ptr<AudioDevice> device = factory ? factory(error) : nullptr;
        if (!device) {
            return false;
        }
        m_device = std::make_shared<SharedAudioDevice>(std::move(device));
    }
    for (auto& output : m_outputs) {
        if (!output) {
            output = std::make_unique<SoundOutput>(m_device, m_clock);
            output->interrupt(m_interrupted.load());
        }
    }
    return true;
}

void PlayerSound::destroyOutputs() {
    for (auto& output : m_outputs) {
        output.reset();
    }
    m_device.reset();
}

void PlayerSound::resetState() {
    m_soundOn.store(false);
    m_selected.store(0);
    m_firstUse = true;
}

bool PlayerSound::setSoundOn(bool on) {
    m_soundOn.store(on);
    if (on && m_firstUse) {
        m_firstUse = false;
        m_selected.store(1);
        return true;
    }
    return false;
}

void PlayerSound::selectChannel(int channel) {
    m_selected.store(channel >= 0 && channel <= kChannelCount ? channel : 0);
}

void PlayerSound::handOver(const std::array<std::span<const uint8_t>, kChannelCount>& channels,
                           const std::atomic<media::PlayMode>& playMode) {
    const auto playing = [this, &playMode] {
        return soundOn() && playMode.load() == media::PlayMode::Forward;
    };
    if (!playing()) {
        return;
    }
    const int selected = selectedChannel();
    if (selected < 1 || selected > kChannelCount) {
        return;
    }
    const auto index = static_cast<size_t>(selected - 1);
    if (m_outputs[index]) {
        m_outputs[index]->queue(channels[index], playing);
    }
}

void PlayerSound::interrupt(bool on) {
    m_interrupted.store(on);
    for (auto& output : m_outputs) {
        if (output) {
            output->interrupt(on);
        }
    }
}

int64_t PlayerSound::pendingSamples() const {
    return m_device ? m_device->queuedSamples() - m_device->playedSamples() : 0;
}

const SoundOutput* PlayerSound::output(int channel) const {
    if (channel < 0 || channel >= kChannelCount) {
        return nullptr;
    }
    return m_outputs[static_cast<size_t>(channel)].get();
}

}  // namespace dvr::player
