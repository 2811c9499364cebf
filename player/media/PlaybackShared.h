#pragma once

#include <atomic>
#include <cstdint>

namespace dvr::media {

// Play modes: what the navigation buttons, keys and slider ask for.
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

// The words the window and the playback thread share. Each is one atomic word: written by one side,
// polled by the other, with no lock and no further ordering between them.
struct PlaybackShared {
    std::atomic<uint8_t> playMode{uint8_t(PlayMode::Pause)};
    // Set by every play-mode change; the thread clears it when it resynchronises its clocks.
    std::atomic<uint8_t> requestFlag{0};
    // 1 while the thread may run; the window stores 0 to stop it.
    std::atomic<int> runFlag{0};
    std::atomic<int> speedIndex{2};      // 0 to 6
    std::atomic<int> delayIndex{1};      // 1 to 6
    std::atomic<int> sliderPosition{0};  // 0 to 710, the target of a seek
    std::atomic<bool> soundOn{false};
    // The channel shown in the single pane while sound is on (0-based).
    std::atomic<int> selectedChannel{0};
    // The entry chosen in the skip list, 0 to 10.
    std::atomic<int> skipIndex{0};
    // Set during the delay wait between groups, so that painting redraws the last pictures.
    std::atomic<bool> waiting{false};

    // Stores the mode and sets the request flag.
    void setMode(PlayMode mode) {
        playMode.store(uint8_t(mode));
        requestFlag.store(1);
    }
    PlayMode mode() const { return PlayMode(playMode.load()); }
};

}  // namespace dvr::media
