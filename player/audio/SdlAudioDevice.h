#pragma once

#include <memory>
#include <string>

#include "player/audio/AudioDevice.h"

namespace dvr::player {

// Opens the default output of SDL's audio subsystem for 16-bit mono PCM at 8,000 samples
// per second and starts it playing; nullptr with the reason in *error on failure.
std::unique_ptr<AudioDevice> openSdlAudioDevice(std::string* error);

}  // namespace dvr::player
