#pragma once

// Fixtures shared by the backup media and player engine tests: backup files written in a temporary folder
// by the backup writer, a sink that records what the playback thread delivers, and a byte source that
// counts where it was read.

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "player/media/BackupScan.h"
#include "player/media/ByteSource.h"
#include "player/media/PlaybackShared.h"
#include "player/media/PlaybackSink.h"
#include "tests/support/TempFolder.h"
#include "tools/zavgen/BackupGenerator.h"

namespace dvr::testing {

// Options for quick files: placeholder codestreams (nothing to decode), 4 channels, short.
inline zavgen::GeneratorOptions quickOptions() {
    zavgen::GeneratorOptions o;
    o.channelCount = 4;
    o.syntheticPictures = false;
    o.codestreamBytes = 6000;
    o.durationSeconds = 40;
    o.groupIntervalSeconds = 4;
    return o;
}

inline std::string writeBackup(const testsupport::TempFolder& dir, const std::string& name,
                               const zavgen::GeneratorOptions& options,
                               zavgen::GeneratorReport* report = nullptr) {
    zavgen::GeneratorReport local;
    const std::string path = dir.file(name);
    if (!zavgen::generateBackup(path, options, report ? *report : local))
        return {};
    return path;
}

class MessageList final : public media::Notifier {
public:
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    std::vector<std::string> messages;
};

// What the playback thread delivered, in order.
struct SinkEvent {
    enum Kind { Picture, Sound, Slider, AtStart, AtEnd, Message };
    Kind kind = Picture;
    uint64_t offset = 0;  // picture: header offset
    uint32_t channel = 0;
    int fieldCode = 0;
    media::PlayMode mode = media::PlayMode::Pause;  // the play mode when it was delivered
    uint32_t soundSequence = 0;
    uint32_t soundType = 0;
    int value = 0;  // slider value
    std::string text;
};

class RecordingSink final : public media::PlaybackSink {
public:
    explicit RecordingSink(const media::PlaybackShared& shared) : m_shared(shared) {}

    void drawPicture(const media::DeliveredPicture& p) override {
        SinkEvent e;
        e.kind = SinkEvent::Picture;
        e.offset = p.headerOffset;
        e.channel = p.header->channel;
        e.fieldCode = p.fieldCode;
        e.soundSequence = p.header->soundSequence;
        // The delivered codestream ends with its end marker.
        codestreamsEndWithMarker &= p.codestream().size() >= 2 && p.codestream().back() == 0xD9;
        add(e);
    }
    void soundBlock(std::span<const uint8_t> block, uint8_t, uint16_t, uint32_t soundType) override {
        SinkEvent e;
        e.kind = SinkEvent::Sound;
        e.soundType = soundType;
        e.value = int(block.size());
        add(e);
    }
    void setSlider(int value) override {
        std::lock_guard lock(m_mutex);
        lastSlider = value;
    }
    void atStart() override { add(event(SinkEvent::AtStart)); }
    void atEnd() override { add(event(SinkEvent::AtEnd)); }
    void showMessage(std::string_view text) override {
        SinkEvent e;
        e.kind = SinkEvent::Message;
        e.text = text;
        add(e);
    }

    std::vector<SinkEvent> events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::vector<uint64_t> pictureOffsets() const {
        std::vector<uint64_t> out;
        for (const auto& e : events())
            if (e.kind == SinkEvent::Picture)
                out.push_back(e.offset);
        return out;
    }
    int count(SinkEvent::Kind kind) const {
        const auto all = events();
        return int(
            std::count_if(all.begin(), all.end(), [kind](const SinkEvent& e) { return e.kind == kind; }));
    }
    void clear() {
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }

    int lastSlider = -1;
    bool codestreamsEndWithMarker = true;

private:
    static SinkEvent event(SinkEvent::Kind kind) {
        SinkEvent e;
        e.kind = kind;
        return e;
    }
    void add(SinkEvent e) {
        e.mode = m_shared.mode();
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(e));
    }

    const media::PlaybackShared& m_shared;
    mutable std::mutex m_mutex;  // guards m_events and lastSlider
    std::vector<SinkEvent> m_events;
};

// A byte source over another that remembers where it was read.
class CountingSource final : public media::ByteSource {
public:
    explicit CountingSource(std::unique_ptr<media::ByteSource> inner) : m_inner(std::move(inner)) {}
    uint64_t size() const override { return m_inner->size(); }
    size_t readAt(uint64_t offset, std::span<uint8_t> out) const override {
        {
            std::lock_guard lock(m_mutex);
            m_lowest = std::min(m_lowest, offset);
            if (out.size() == media::kSectorBytes)
                ++m_readsAt[offset];
        }
        return m_inner->readAt(offset, out);
    }
    uint64_t lowestOffset() const {
        std::lock_guard lock(m_mutex);
        return m_lowest;
    }
    // Whole-sector reads at an offset (header reads).
    int readsAt(uint64_t offset) const {
        std::lock_guard lock(m_mutex);
        const auto it = m_readsAt.find(offset);
        return it == m_readsAt.end() ? 0 : it->second;
    }

private:
    std::unique_ptr<media::ByteSource> m_inner;
    mutable std::mutex m_mutex;  // guards m_lowest and m_readsAt
    mutable uint64_t m_lowest = UINT64_MAX;
    mutable std::map<uint64_t, int> m_readsAt;
};

}  // namespace dvr::testing
