#include "player/view/PlayerPictures.h"

#include <algorithm>
#include <utility>

#include "common/frame/ChannelCode.h"
#include "common/frame/FrameHeader.h"
#include "common/frame/FrameLimits.h"
#include "common/frame/SourceRect.h"
#include "player/view/FieldInterleaver.h"
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
    redecodeGrown();
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

frame::ShownSize PlayerPictures::shownSize() const {
    const int layout = m_layout.load();
    if (!m_paneSized.load() || layout <= 1) {
        return {};
    }
    return {PlayerViewModel::kPictureWidth / layout, (m_pal.load() ? 576 : 480) / layout};
}

int PlayerPictures::reductionWanted(uint32_t pictureFlags, const frame::DecodedPicture& picture,
                                    bool fullSize) const {
    if (fullSize) {
        return 0;
    }
    return frame::reductionFor(pictureFlags, picture.fullWidth, picture.fullHeight, shownSize());
}

StoreOutcome PlayerPictures::store(const PictureRecord& record) {
    const DecodeStep step = decode(record, m_decoder, m_scratch);
    return storeDecoded(record, step, m_scratch, m_decoder);
}

DecodeStep PlayerPictures::decode(const PictureRecord& record, frame::PictureDecoder& decoder,
                                  frame::DecodedPicture& picture) const {
    DecodeStep step;
    if (!recordVisibleIn(m_layout.load(), m_firstChannel.load(), record.recordChannel, record.pictureFlags)) {
        return step;
    }
    const frame::ShownSize shown = record.fullSize ? frame::ShownSize{} : shownSize();
    int reduction = 0;
    if (!shown.fullSize()) {
        if (const auto shape = frame::J2kDecoder::declaredShape(record.codestream)) {
            reduction =
                frame::reductionFor(record.pictureFlags, int(shape->width), int(shape->height), shown);
        }
    }
    if (!decoder.decodeReduced(record.codestream, picture, reduction)) {
        step.result = StoreResult::DecodeFailed;
        return step;
    }
    const int family = frame::layoutFamily(record.layoutCode);
    int channel = frame::readPictureChannel(picture, frame::playerMethod(family), record.channelCount);
    channel = frame::alignChannel(channel, record.pictureFlags);
    if (channel < 0 || channel >= kChannels) {
        step.result = StoreResult::Dropped;
        return step;
    }
    step.result = StoreResult::Stored;
    step.channel = channel;
    return step;
}

StoreOutcome PlayerPictures::storeDecoded(const PictureRecord& record, const DecodeStep& step,
                                          frame::DecodedPicture& picture, frame::PictureDecoder& decoder) {
    StoreOutcome outcome;
    outcome.result = step.result;
    if (step.result != StoreResult::Stored) {
        return outcome;
    }
    const int channel = step.channel;
    outcome.channel = channel;

    const bool pal = m_pal.load();
    if (record.videoStandard == frame::kSixtyFieldStandard && pal) {
        outcome.switchToPal = false;
    } else if (record.videoStandard == frame::kFiftyFieldStandard && !pal) {
        outcome.switchToPal = true;
    }
    m_lastFlags.store(record.pictureFlags);
    m_lastStandard.store(record.videoStandard);

    // The panes grew since this picture was decoded: decode it again at their size rather than show it
    // scaled up.
    const int wanted = reductionWanted(record.pictureFlags, picture, record.fullSize);
    if (picture.reduction > wanted && !decoder.decodeReduced(record.codestream, picture, wanted)) {
        outcome.result = StoreResult::DecodeFailed;
        return outcome;
    }

    const FieldRules::Taken taken =
        m_fields.take(channel, picture, record.pictureFlags, record.layoutCode, record.fieldCode);
    if (taken.verdict != FieldRules::Verdict::Keep) {
        if (taken.verdict == FieldRules::Verdict::FieldHeld) {
            m_heldField.assign(record.codestream.begin(), record.codestream.end());
        }
        outcome.result =
            taken.verdict == FieldRules::Verdict::FieldHeld ? StoreResult::FieldHeld : StoreResult::Dropped;
        return outcome;
    }
    keep(channel, record, *taken.picture, taken.picture != &picture);
    outcome.result = StoreResult::Stored;
    return outcome;
}

int PlayerPictures::redecodeGrown() {
    const int layout = m_layout.load();
    const int first = m_firstChannel.load();
    int decoded = 0;
    for (int c = 0; c < kChannels; ++c) {
        Slot& slot = m_slots[static_cast<size_t>(c)];
        std::vector<uint8_t> codestream;
        std::vector<uint8_t> firstField;
        uint32_t flags = 0;
        uint32_t layoutCode = 0;
        bool woven = false;
        uint64_t version = 0;
        int wanted = 0;
        {
            std::lock_guard lock(slot.mutex);
            if (!slot.valid || slot.picture.reduction == 0 ||
                !recordVisibleIn(layout, first, c, slot.pictureFlags)) {
                continue;
            }
            wanted = reductionWanted(slot.pictureFlags, slot.picture, false);
            if (slot.picture.reduction <= wanted) {
                continue;
            }
            codestream = slot.codestream;
            firstField = slot.firstField;
            flags = slot.pictureFlags;
            layoutCode = slot.layoutCode;
            woven = slot.woven;
            version = slot.version;
        }
        frame::DecodedPicture* result = &m_growPicture;
        if (!m_growDecoder.decodeReduced(codestream, m_growPicture, wanted)) {
            continue;
        }
        if (woven) {
            FieldInterleaver weaver;
            if (!m_growDecoder.decodeReduced(firstField, m_growField, wanted)) {
                continue;
            }
            weaver.firstField(c, m_growField);
            if (m_growWoven.pixels.size() < frame::kMaxPictureBytes) {
                m_growWoven.pixels.resize(frame::kMaxPictureBytes);
            }
            if (!weaver.secondField(c, m_growPicture, layoutCode, m_growWoven)) {
                continue;
            }
            result = &m_growWoven;
        }
        std::lock_guard lock(slot.mutex);
        if (slot.version != version || slot.pictureFlags != flags) {
            continue;  // a newer picture arrived meanwhile
        }
        if (result->pixels.size() < slot.picture.pixels.size()) {
            result->pixels.resize(slot.picture.pixels.size());
        }
        std::swap(slot.picture.pixels, result->pixels);
        slot.picture.width = result->width;
        slot.picture.height = result->height;
        slot.picture.bitmapInfo = result->bitmapInfo;
        slot.picture.reduction = result->reduction;
        slot.picture.fullWidth = result->fullWidth;
        slot.picture.fullHeight = result->fullHeight;
        ++decoded;
    }
    return decoded;
}

void PlayerPictures::keep(int channel, const PictureRecord& record, frame::DecodedPicture& picture,
                          bool woven) {
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
        slot.picture.reduction = picture.reduction;
        slot.picture.fullWidth = picture.fullWidth;
        slot.picture.fullHeight = picture.fullHeight;
        // Kept only while a larger pane could ask for it again.
        if (picture.reduction > 0) {
            slot.codestream.assign(record.codestream.begin(), record.codestream.end());
            slot.woven = woven;
            if (woven) {
                slot.firstField = m_heldField;
            }
        }
        ++slot.version;
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
