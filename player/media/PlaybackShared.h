#pragma once

#include <atomic>
#include <cstdint>

#include "player/media/PlayMode.h"

namespace dvr::media {

// The words the window and the playback thread share. Each is one atomic word: written by one side,
// polled by the other, with no lock and no further ordering between them.
struct PlaybackShared {
    std::atomic<PlayMode> playMode{PlayMode::Pause};
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
    // Counts set-mode calls, so that a wait also sees a mode set again to the value it had.
    std::atomic<uint32_t> modeChanges{0};

    // Stores the mode and sets the request flag.
    void setMode(PlayMode mode) {
        playMode.store(mode);
        modeChanges.fetch_add(1);
        requestFlag.store(1);
    }
    PlayMode mode() const { return playMode.load(); }
    // The playback thread's own move on from the mode it acted on (a step done, the end reached): made
    // only while the mode is still `from`, so a mode the window set meanwhile (a button pressed) is not
    // overwritten. False when the window's mode stays.
    bool moveMode(PlayMode from, PlayMode to) {
        if (!playMode.compare_exchange_strong(from, to))
            return false;
        modeChanges.fetch_add(1);
        requestFlag.store(1);
        return true;
    }

    // What the window has asked the thread for, taken before a wait.
    struct Requests {
        PlayMode mode = PlayMode::Pause;
        uint32_t modeChanges = 0;
        int speedIndex = 0;
        int delayIndex = 0;
        bool soundOn = false;
    };
    Requests requests() const {
        return {playMode.load(), modeChanges.load(), speedIndex.load(), delayIndex.load(), soundOn.load()};
    }
    // True once the thread is asked to stop (another file, closing) or the mode, speed, delay or sound
    // switch differs from `before`: every wait of the playback thread ends then, however long it was.
    bool requestedSince(const Requests& before) const {
        return runFlag.load() == 0 || playMode.load() != before.mode ||
               modeChanges.load() != before.modeChanges || speedIndex.load() != before.speedIndex ||
               delayIndex.load() != before.delayIndex || soundOn.load() != before.soundOn;
    }
};

}  // namespace dvr::media
