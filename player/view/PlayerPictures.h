#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "common/frame/DecodeSize.h"
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
    // Decode at full size whatever the pane (an export takes the stored pictures).
    bool fullSize = false;
};

enum class StoreResult {
    NotVisible,    // not in the current page: not decoded
    DecodeFailed,  // the codestream did not decode
    FieldHeld,     // a first field held aside for its second field
    Dropped,       // a picture that is not kept (see store rules)
    Stored,        // kept as the last picture of its channel
};

// What decoding a record found, handed from the decode step to the store step.
struct DecodeStep {
    StoreResult result = StoreResult::NotVisible;  // Stored: decoded, to be stored
    int channel = -1;                              // the aligned channel read from the pixels
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
    // Also decodes again, at the new panes' size, the shown pictures decoded smaller (redecodeGrown()).
    void setPage(int layout, int firstChannel);
    void setPal(bool pal) { m_pal.store(pal); }
    // On: pictures are decoded at the size of the current layout's panes (full size in one pane).
    // Off (the default): every picture at full size.
    void setPaneSizedDecoding(bool on) { m_paneSized.store(on); }
    // The size a pane of the current layout shows; empty for full size.
    frame::ShownSize shownSize() const;
    // After the panes grew (a larger layout, a zoom), decodes the kept codestream of every shown
    // channel whose picture is smaller than its pane now at the pane's size, so that no reduced
    // picture stays scaled up. Returns the number of pictures decoded again. Works while paused.
    int redecodeGrown();
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
        int reduction = 0;  // halvings below full size: crop margins in full-size pixels shrink by as many
    };
    template <typename F>
    void withPaneSource(int channel, F&& f) const;

    std::optional<DateTime> channelTime(int channel) const;
    // The channel whose picture was stored last (-1 none), its flags and standard.
    int lastChannel() const { return m_lastChannel.load(); }
    uint32_t lastPictureFlags() const { return m_lastFlags.load(); }
    uint32_t lastVideoStandard() const { return m_lastStandard.load(); }

    // --- playback thread
    // Decodes and stores one record (decode() then storeDecoded() with the store's own decoder).
    StoreOutcome store(const PictureRecord& record);

    // The two steps of store() apart, for decoding on several threads:
    // decode() runs on any thread with that thread's own decoder and picture; it reads only atomic words.
    DecodeStep decode(const PictureRecord& record, frame::PictureDecoder& decoder,
                      frame::DecodedPicture& picture) const;
    // storeDecoded() takes the decoded records one at a time in file order (never beside store()).
    // `decoder` decodes the record again when the panes grew since it was decoded.
    StoreOutcome storeDecoded(const PictureRecord& record, const DecodeStep& step,
                              frame::DecodedPicture& picture, frame::PictureDecoder& decoder);

private:
    struct Slot {
        mutable std::mutex mutex;  // guards every member below
        frame::DecodedPicture picture;
        uint32_t pictureFlags = 0;
        uint32_t layoutCode = 0;
        bool valid = false;
        // The codestreams the picture came from (the first field too when woven), to decode again at
        // a larger size; `version` counts the pictures kept, so a late decode never replaces a newer one.
        std::vector<uint8_t> codestream;
        std::vector<uint8_t> firstField;
        bool woven = false;
        uint64_t version = 0;
    };
    void keep(int channel, const PictureRecord& record, frame::DecodedPicture& picture, bool woven);
    int reductionWanted(uint32_t pictureFlags, const frame::DecodedPicture& picture, bool fullSize) const;

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

    std::atomic<bool> m_paneSized{false};

    // Store side only (the playback thread, or the one storing thread of a decode pool).
    frame::J2kDecoder m_decoder;
    frame::DecodedPicture m_scratch;
    FieldRules m_fields;
    std::vector<uint8_t> m_heldField;  // the codestream of the first field FieldRules holds

    // Window thread only: decoding again after the panes grew.
    frame::J2kDecoder m_growDecoder;
    frame::DecodedPicture m_growPicture{frame::DecodedPicture::Unsized{}};
    frame::DecodedPicture m_growField{frame::DecodedPicture::Unsized{}};
    frame::DecodedPicture m_growWoven{frame::DecodedPicture::Unsized{}};
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
    source.reduction = slot.picture.reduction;
    f(source);
}

}  // namespace dvr::player
