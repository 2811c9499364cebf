#pragma once

#include <cstdint>

namespace dvr::media {

// Play modes: what the navigation buttons, keys and slider ask for. The window, the playback thread,
// the engine and the sound output all speak of the mode in this one type; the values are the byte the
// window and the thread share.
enum class PlayMode : uint8_t {
    Pause = 0,
    Forward = 1,
    Backward = 2,
    FastForward = 3,
    FastBackward = 4,
    GoToStart = 5,
    GoToEnd = 6,
    StepForward = 7,
    StepBackward = 8,
    Seek = 9,
};

}  // namespace dvr::media
