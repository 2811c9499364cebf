#include "player/audio/SdlAudioDevice.h"

#include <SDL.h>

namespace dvr::player {

namespace {

class SdlAudioDevice final : public AudioDevice {
public:
    explicit SdlAudioDevice(SDL_AudioDeviceID id) : m_id(id) {}
    ~SdlAudioDevice() override {
        SDL_CloseAudioDevice(m_id);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    SdlAudioDevice(const SdlAudioDevice&) = delete;
    SdlAudioDevice& operator=(const SdlAudioDevice&) = delete;

    bool queue(std::span<const int16_t> samples) override {
        return SDL_QueueAudio(m_id, samples.data(), static_cast<Uint32>(samples.size_bytes())) == 0;
    }
    size_t pendingSamples() const override { return SDL_GetQueuedAudioSize(m_id) / sizeof(int16_t); }

private:
    SDL_AudioDeviceID m_id;
};

}  // namespace

std::unique_ptr<AudioDevice> openSdlAudioDevice(std::string* error) {
    // SDL would otherwise take SIGINT and SIGTERM for itself and the program would no
    // longer end on them.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        if (error) {
            *error = SDL_GetError();
        }
        return nullptr;
    }
    SDL_AudioSpec want{};
    want.freq = kSoundSampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = 256;  // 32 ms: small enough that the pacing follows the sound closely
    SDL_AudioSpec have{};
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (id == 0) {
        if (error) {
            *error = SDL_GetError();
        }
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    SDL_PauseAudioDevice(id, 0);
    return std::make_unique<SdlAudioDevice>(id);
}

}  // namespace dvr::player
