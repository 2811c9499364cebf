#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>

#include "common/frame/DecodedPicture.h"
#include "common/frame/J2kDecoder.h"
#include "common/frame/SourceRect.h"
#include "player/view/FieldRules.h"
#include "player/view/PaneDrawing.h"

namespace dvr::player {

// One picture record as the playback thread hands it over.
struct PictureRecord {
    uint32_t layoutCode = 0;
    uint32_t pictureFlags = 0;
    uint32_t videoStandard = 0;
    int recordChannel = 0;  // the header's channel, for the page test
    int fieldCode = 255;    // 0 first field, 1 second field, 255 whole frame
    int channelCount = 16;  // the file's channel count (line-code modulus)
    DateTime time;
    std::span<const uint8_t> codestream;  // natural byte order, ending with FF D9
};

enum class StoreResult {
    NotVisible,    // not in the current page: not decoded
    DecodeFailed,  // the codestream did not decode
    FieldHeld,     // a first field held aside for its second field
    Dropped,       // a picture that is not kept (see store rules)
    Stored,        // kept as the last picture of its channel
};

struct StoreOutcome {
    StoreResult result = StoreResult::NotVisible;
    int channel = -1;  // the (aligned) channel read from the picture when decoded
    // The picture's video standard asks for the other skin: true = PAL, false = NTSC.
    std::optional<bool> switchToPal;
};

// The last picture of every channel, shared between the playback thread (which decodes and
// stores) and the window thread (which paints). Each channel's picture is guarded by its
// own lock; the page the window shows and the skin's standard are atomic words the
// playback thread reads.
class PlayerPictures {
public:
    static constexpr int kChannels = 16;

    PlayerPictures();
    PlayerPictures(const PlayerPictures&) = delete;
    PlayerPictures& operator=(const PlayerPictures&) = delete;

    // --- window thread
    void setPage(int layout, int firstChannel);
    void setPal(bool pal) { m_pal.store(pal); }
    // Forgets every picture, time, count and held first field (a new file; the playback thread is
    // stopped).
    void clear();
    // Moves the per-channel counts of the last second into the shown values; returns their total.
    int rollPictureCounts();
    int picturesPerSecond(int channel) const;

    // What the pane of channel s shows: the picture it comes from, the part of it, the
    // recorder's layout code and the flags, under that picture's lock for the call of f.
    struct PaneSource {
        const frame::DecodedPicture* picture = nullptr;
        frame::PixelRect rect;
        uint32_t layoutCode = 0;
        uint32_t pictureFlags = 0;
    };
    template <typename F>
    void withPaneSource(int channel, F&& f) const;

    std::optional<DateTime> channelTime(int channel) const;
    // The channel whose picture was stored last (-1 none), its flags and standard.
    int lastChannel() const { return m_lastChannel.load(); }
    uint32_t lastPictureFlags() const { return m_lastFlags.load(); }
    uint32_t lastVideoStandard() const { return m_lastStandard.load(); }

    // --- playback thread
    StoreOutcome store(const PictureRecord& record);

private:
    struct Slot {
        mutable std::mutex mutex;  // guards picture, flags, layoutCode
        frame::DecodedPicture picture;
        uint32_t pictureFlags = 0;
        uint32_t layoutCode = 0;
        bool valid = false;
    };
    void keep(int channel, const PictureRecord& record, frame::DecodedPicture& picture);

    std::array<Slot, kChannels> m_slots;
    // Per channel: which slot holds its picture (-1 none), its record time, its counts.
    std::array<std::atomic<int>, kChannels> m_sourceSlot;
    mutable std::mutex m_timeMutex;  // guards m_times and m_hasTime
    std::array<DateTime, kChannels> m_times{};
    std::array<bool, kChannels> m_hasTime{};
    std::array<std::atomic<int>, kChannels> m_counting{};
    std::array<std::atomic<int>, kChannels> m_shownCounts{};

    std::atomic<int> m_layout{4};
    std::atomic<int> m_firstChannel{0};
    std::atomic<bool> m_pal{false};
    std::atomic<int> m_lastChannel{-1};
    std::atomic<uint32_t> m_lastFlags{0};
    std::atomic<uint32_t> m_lastStandard{0};

    // Playback thread only.
    frame::J2kDecoder m_decoder;
    frame::DecodedPicture m_scratch;
    FieldRules m_fields;
};

template <typename F>
void PlayerPictures::withPaneSource(int channel, F&& f) const {
    if (channel < 0 || channel >= kChannels) {
        f(PaneSource{});
        return;
    }
    const int slotIndex = m_sourceSlot[static_cast<size_t>(channel)].load();
    if (slotIndex < 0) {
        f(PaneSource{});
        return;
    }
    const Slot& slot = m_slots[static_cast<size_t>(slotIndex)];
    std::lock_guard lock(slot.mutex);
    // The link may be older than the slot's picture: show the picture only when it carries the
    // channel, never another channel's picture in its place.
    if (!slot.valid || channel >= slotIndex + frame::channelsPerPicture(slot.pictureFlags)) {
        f(PaneSource{});
        return;
    }
    PaneSource source;
    source.picture = &slot.picture;
    source.rect =
        frame::channelSourceRect(slot.pictureFlags, channel, slot.picture.width, slot.picture.height);
    source.layoutCode = slot.layoutCode;
    source.pictureFlags = slot.pictureFlags;
    f(source);
}

}  // namespace dvr::player
