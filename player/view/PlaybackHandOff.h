#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "player/view/PlayerPictures.h"

namespace dvr::player {

// What the playback thread leaves for the window between two repaints: the channels with new
// pictures, the channels seen in the file, the kind of the last picture, the slider value and a
// skin switch. The playback thread asks for one wake-up at a time; the window takes everything in
// one go, after which the next news asks again. Every word is atomic and nothing here touches a
// widget, so the window only has to turn a wake-up into a queued call.
class PlaybackHandOff {
public:
    // --- playback thread
    // Stores the record's picture and notes what the window must show again. True when the window
    // must be woken: there is news and no wake-up is pending since the window last took the hand-off.
    // recordMask: the channels the record's header names (they are present in the file).
    // storedChannels (optional): set to the channels whose picture the record replaced (0 when none).
    bool pictureDelivered(PlayerPictures& pictures, const PictureRecord& record, uint32_t recordMask,
                          uint32_t* storedChannels = nullptr);
    // The same for a record decoded and stored elsewhere (a decode pool), with the store's outcome.
    bool pictureStored(PlayerPictures& pictures, const PictureRecord& record, uint32_t recordMask,
                       const StoreOutcome& outcome, uint32_t* storedChannels = nullptr);
    // The slider value (0 to 710) of the current position; true when the window must be woken.
    bool sliderMoved(int value);

    // --- window thread
    struct Update {
        uint32_t presentMask = 0;    // channels seen in the file since it was opened
        uint32_t dirtyChannels = 0;  // channels with a new picture since the last take
        bool lastPictureQuad = false;
        int sliderValue = 0;
        std::optional<bool> switchToPal;  // the skin the pictures' video standard asks for
    };
    // Takes the news; the next news wakes the window again.
    Update take();
    // Forgets the last file's news (the playback thread is stopped).
    void reset();
    // Pictures stored since the last reset.
    uint64_t storedPictures() const { return m_storedPictures.load(); }

private:
    bool wake() { return !m_wakePending.exchange(true); }

    std::atomic<bool> m_wakePending{false};
    std::atomic<uint32_t> m_presentMask{0};
    std::atomic<uint32_t> m_dirtyChannels{0};
    std::atomic<bool> m_lastQuad{false};
    std::atomic<int> m_sliderValue{0};
    std::atomic<int> m_skinSwitch{kNoSwitch};  // kNoSwitch, 0 NTSC or 1 PAL
    std::atomic<uint64_t> m_storedPictures{0};

    static constexpr int kNoSwitch = -1;
};

}  // namespace dvr::player
