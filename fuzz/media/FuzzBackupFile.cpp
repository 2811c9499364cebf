// Runs the opening scan and the playback reader with the player engine over arbitrary bytes taken as
// the record area of a backup file (the never-read leading 64 KiB are put in front of them). Delivered
// pictures go through the player's decode path with the stub decoder (guard checked, no decoding).
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

#include "fuzz/support/RecordArea.h"
#include "fuzz/support/StubPictureDecoder.h"
#include "player/engine/PlayerEngine.h"
#include "player/media/BackupScan.h"
#include "player/media/ByteSource.h"
#include "player/media/PictureDecode.h"
#include "player/media/PlaybackClock.h"
#include "player/media/PlaybackReader.h"

namespace {

using namespace dvr;

class Quiet final : public media::Notifier {
public:
    void showMessage(std::string_view) override {}
};

// Time moves only when slept on, without a thread switch. A wait that sleeps the same length again and
// again (the engine's delay wait sleeps 1 ms at a time) moves it by doubling steps, so a wait of seconds
// costs a dozen turns instead of thousands; newStep() starts each reader step with exact sleeps again.
class JumpingClock final : public media::PlaybackClock {
public:
    int64_t nowNs() override { return m_nowNs; }
    void sleepMs(int64_t ms) override {
        if (ms <= 0)
            return;
        m_stepMs = ms == m_lastMs ? std::min<int64_t>(m_stepMs * 2, kMaxStepMs) : ms;
        m_lastMs = ms;
        m_nowNs += m_stepMs * 1000000;
    }
    void newStep() { m_lastMs = 0; }

private:
    static constexpr int64_t kMaxStepMs = 60 * 60 * 1000;
    int64_t m_nowNs = 0;
    int64_t m_lastMs = 0;
    int64_t m_stepMs = 0;
};

// Decodes what it is given the way the player window would (with the stub decoder) and touches the rest.
class CheckingSink final : public media::PlaybackSink {
public:
    void drawPicture(const media::DeliveredPicture& picture) override {
        const auto codestream = picture.codestream();
        if (codestream.size() < 2 || codestream[codestream.size() - 2] != 0xFF || codestream.back() != 0xD9)
            __builtin_trap();
        m_sum += codestream.front() + picture.subHeader[11];
        const frame::DecodedFrame decoded = media::decodeDeliveredPicture(decoder(), picture);
        if (decoded.ok() && (decoded.picture->width > frame::kMaxPictureWidth ||
                             decoded.picture->height > frame::kMaxPictureHeight))
            __builtin_trap();
    }
    void soundBlock(std::span<const uint8_t> block, uint8_t mask, uint16_t, uint32_t) override {
        media::splitSoundBlock(block, mask, m_channels);
        for (int k = 0; k < media::kSoundChannels; ++k)
            for (uint8_t b : m_channels.channel(k))
                m_sum += b;
    }
    void setSlider(int value) override {
        if (value < 0 || value > 710)
            __builtin_trap();
    }
    void atStart() override {}
    void atEnd() override {}
    void showMessage(std::string_view) override {}

private:
    // One for the whole run: its buffers are large.
    static frame::FrameDecoder& decoder() {
        static fuzz::StubPictureDecoder stub;
        static frame::FrameDecoder decoder;
        decoder.setPictureDecoder(&stub);
        return decoder;
    }

    media::SoundChannels m_channels;
    uint64_t m_sum = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    Quiet quiet;
    const media::ScanOutcome outcome = media::scanBackup(fuzz::RecordArea(bytes), quiet);

    media::PlaybackShared shared;
    CheckingSink sink;
    JumpingClock clock;
    player::PlayerEngine engine(shared, sink, clock, {.paced = (size & 1) != 0});
    media::PlaybackReader reader(shared, sink, engine, clock);
    reader.start(std::make_unique<fuzz::RecordArea>(bytes),
                 outcome.ok() ? outcome.result.endOffset : media::kDataStart);

    // Every mode in turn, with sound off and on, for a bounded number of steps each.
    static constexpr media::PlayMode kModes[] = {
        media::PlayMode::GoToStart,   media::PlayMode::Forward,      media::PlayMode::FastForward,
        media::PlayMode::GoToEnd,     media::PlayMode::Backward,     media::PlayMode::FastBackward,
        media::PlayMode::StepForward, media::PlayMode::StepBackward, media::PlayMode::Seek};
    int round = 0;
    for (const bool soundOn : {false, true}) {
        shared.soundOn.store(soundOn);
        for (media::PlayMode mode : kModes) {
            shared.speedIndex.store(round % 7);
            shared.delayIndex.store(1 + round % 6);
            shared.sliderPosition.store((round * 97) % 711);
            shared.skipIndex.store(round % 11);
            shared.setMode(mode);
            ++round;
            for (int step = 0; step < 400; ++step) {
                clock.newStep();
                if (!reader.step())
                    return 0;
            }
        }
    }
    reader.finish();
    return 0;
}
