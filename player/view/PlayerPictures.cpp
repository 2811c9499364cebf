#include "player/view/PlayerPictures.h"

#include <algorithm>
#include <utility>

#include "common/frame/ChannelCode.h"
#include "common/frame/FrameHeader.h"
#include "common/frame/SourceRect.h"
#include "player/view/PlayerViewModel.h"

namespace dvr::player {

PlayerPictures::PlayerPictures() {
    for (auto& slot : m_sourceSlot) {
        slot.store(-1);
    }
}

void PlayerPictures::setPage(int layout, int firstChannel) {
    m_layout.store(layout);
    m_firstChannel.store(firstChannel);
}

void PlayerPictures::clear() {
    for (size_t c = 0; c < kChannels; ++c) {
        m_sourceSlot[c].store(-1);
        std::lock_guard lock(m_slots[c].mutex);
        m_slots[c].valid = false;
        m_counting[c].store(0);
        m_shownCounts[c].store(0);
    }
    std::lock_guard lock(m_timeMutex);
    m_hasTime.fill(false);
    m_lastChannel.store(-1);
    // The playback thread is stopped while a file is opened: a first field of the last file must not be
    // woven with a second field of the next.
    m_fields.clear();
}

int PlayerPictures::rollPictureCounts() {
    int total = 0;
    for (size_t c = 0; c < kChannels; ++c) {
        const int count = m_counting[c].exchange(0);
        m_shownCounts[c].store(count);
        total += count;
    }
    return total;
}

int PlayerPictures::picturesPerSecond(int channel) const {
    return channel >= 0 && channel < kChannels ? m_shownCounts[static_cast<size_t>(channel)].load() : 0;
}

std::optional<DateTime> PlayerPictures::channelTime(int channel) const {
    if (channel < 0 || channel >= kChannels) {
        return std::nullopt;
    }
    std::lock_guard lock(m_timeMutex);
    if (!m_hasTime[static_cast<size_t>(channel)]) {
        return std::nullopt;
    }
    return m_times[static_cast<size_t>(channel)];
}

StoreOutcome PlayerPictures::store(const PictureRecord& record) {
    StoreOutcome outcome;
    if (!recordVisibleIn(m_layout.load(), m_firstChannel.load(), record.recordChannel, record.pictureFlags)) {
        return outcome;
    }
    if (!m_decoder.decode(record.codestream, m_scratch)) {
        outcome.result = StoreResult::DecodeFailed;
        return outcome;
    }
    const int family = frame::layoutFamily(record.layoutCode);
    int channel = frame::readChannel(m_scratch.image(), frame::playerMethod(family), record.channelCount);
    channel = frame::alignChannel(channel, record.pictureFlags);
    if (channel < 0 || channel >= kChannels) {
        outcome.result = StoreResult::Dropped;
        return outcome;
    }
    outcome.channel = channel;

    const bool pal = m_pal.load();
    if (record.videoStandard == frame::kSixtyFieldStandard && pal) {
        outcome.switchToPal = false;
    } else if (record.videoStandard == frame::kFiftyFieldStandard && !pal) {
        outcome.switchToPal = true;
    }
    m_lastFlags.store(record.pictureFlags);
    m_lastStandard.store(record.videoStandard);

    const FieldRules::Taken taken =
        m_fields.take(channel, m_scratch, record.pictureFlags, record.layoutCode, record.fieldCode);
    if (taken.verdict != FieldRules::Verdict::Keep) {
        outcome.result =
            taken.verdict == FieldRules::Verdict::FieldHeld ? StoreResult::FieldHeld : StoreResult::Dropped;
        return outcome;
    }
    keep(channel, record, *taken.picture);
    outcome.result = StoreResult::Stored;
    return outcome;
}

void PlayerPictures::keep(int channel, const PictureRecord& record, frame::DecodedPicture& picture) {
    const auto index = static_cast<size_t>(channel);
    {
        Slot& slot = m_slots[index];
        std::lock_guard lock(slot.mutex);
        // Both buffers hold the largest picture, so swapping hands the new pixels over
        // without copying and leaves a full-size buffer for the next decode.
        std::swap(slot.picture.pixels, picture.pixels);
        slot.picture.width = picture.width;
        slot.picture.height = picture.height;
        slot.picture.bitmapInfo = picture.bitmapInfo;
        slot.pictureFlags = record.pictureFlags;
        slot.layoutCode = record.layoutCode;
        slot.valid = true;
    }
    const int carried = frame::channelsPerPicture(record.pictureFlags);
    {
        std::lock_guard lock(m_timeMutex);
        for (int c = channel; c < std::min(channel + carried, kChannels); ++c) {
            m_times[static_cast<size_t>(c)] = record.time;
            m_hasTime[static_cast<size_t>(c)] = true;
        }
    }
    for (int c = 0; c < kChannels; ++c) {
        std::atomic<int>& source = m_sourceSlot[static_cast<size_t>(c)];
        if (c >= channel && c < channel + carried) {
            source.store(channel);
        } else if (source.load() == channel) {
            // The slot held a pair or quad picture that carried c; its new picture does not.
            source.store(-1);
        }
    }
    m_counting[index].fetch_add(1);
    m_lastChannel.store(channel);
}

}  // namespace dvr::player
