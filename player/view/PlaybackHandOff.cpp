#include "player/view/PlaybackHandOff.h"

#include "common/frame/FrameHeader.h"
#include "common/frame/SourceRect.h"

namespace dvr::player {

bool PlaybackHandOff::pictureDelivered(PlayerPictures& pictures, const PictureRecord& record,
                                       uint32_t recordMask, uint32_t* storedChannels) {
    return pictureStored(pictures, record, recordMask, pictures.store(record), storedChannels);
}

bool PlaybackHandOff::pictureStored(PlayerPictures& pictures, const PictureRecord& record,
                                    uint32_t recordMask, const StoreOutcome& outcome,
                                    uint32_t* storedChannels) {
    const uint32_t before = m_presentMask.fetch_or(recordMask);
    bool news = (before | recordMask) != before;
    if (outcome.channel >= 0) {
        const bool quad = frame::pictureKind(record.pictureFlags) == frame::PictureKind::Quad;
        news |= m_lastQuad.exchange(quad) != quad;
    }
    if (outcome.result == StoreResult::Stored) {
        m_storedPictures.fetch_add(1);
        const int carried = frame::channelsPerPicture(record.pictureFlags);
        const uint32_t stored = ((1u << carried) - 1u) << outcome.channel;
        m_dirtyChannels.fetch_or(stored);
        if (storedChannels) {
            *storedChannels = stored;
        }
        news = true;
    } else if (storedChannels) {
        *storedChannels = 0;
    }
    if (outcome.switchToPal) {
        // The store asks once, not for every picture until the window has switched.
        pictures.setPal(*outcome.switchToPal);
        m_skinSwitch.store(*outcome.switchToPal ? 1 : 0);
        news = true;
    }
    return news && wake();
}

bool PlaybackHandOff::sliderMoved(int value) {
    return m_sliderValue.exchange(value) != value && wake();
}

PlaybackHandOff::Update PlaybackHandOff::take() {
    // Cleared first: news stored from here on asks for another wake-up instead of being lost.
    m_wakePending.store(false);
    Update update;
    update.presentMask = m_presentMask.load();
    update.dirtyChannels = m_dirtyChannels.exchange(0);
    update.lastPictureQuad = m_lastQuad.load();
    update.sliderValue = m_sliderValue.load();
    if (const int skin = m_skinSwitch.exchange(kNoSwitch); skin != kNoSwitch) {
        update.switchToPal = skin == 1;
    }
    return update;
}

void PlaybackHandOff::reset() {
    // The wake-up flag stays: a call already queued clears it when it runs.
    m_presentMask.store(0);
    m_dirtyChannels.store(0);
    m_lastQuad.store(false);
    m_skinSwitch.store(kNoSwitch);
    m_storedPictures.store(0);
}

}  // namespace dvr::player
