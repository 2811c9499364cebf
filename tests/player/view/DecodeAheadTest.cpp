#include "player/view/DecodeAhead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "common/frame/FrameLimits.h"
#include "tests/support/Wait.h"
#include "tools/synth/Synth.h"

namespace dvr::player {
namespace {

using frame::PictureKind;

// Stands in for the JPEG 2000 decoder: the "codestream" is two bytes, a channel and a serial number; the
// picture is the synthesised picture of that channel. Each decode takes a random while, so that pictures
// finish out of order, and can be held at a gate.
class FakeDecoder final : public frame::PictureDecoder {
public:
    struct Shared {
        std::mutex mutex;  // guards open and the random engine
        std::condition_variable opened;
        bool open = true;
        std::mt19937 random{27};
        std::map<int, synth::Picture> pictures;
    };
    explicit FakeDecoder(Shared& shared) : m_shared(shared) {}

    bool decode(std::span<const uint8_t> codestream, frame::DecodedPicture& out) override {
        int delayUs = 0;
        {
            std::unique_lock lock(m_shared.mutex);
            m_shared.opened.wait(lock, [&] { return m_shared.open; });
            delayUs = std::uniform_int_distribution<int>(0, 1500)(m_shared.random);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
        const synth::Picture& picture = m_shared.pictures.at(codestream[0]);
        out.pixels.resize(frame::kMaxPictureBytes);
        std::copy(picture.pixels.begin(), picture.pixels.end(), out.pixels.begin());
        out.width = picture.width;
        out.height = picture.height;
        out.bitmapInfo = frame::makeBitmapInfo(out.width, out.height);
        return true;
    }

private:
    Shared& m_shared;
};

struct Fixture {
    FakeDecoder::Shared decoders;
    PlayerPictures pictures;
    PlaybackHandOff handOff;
    media::PlaybackShared shared;
    std::vector<std::array<uint8_t, 2>> codestreams;
    std::mutex mutex;         // guards stored
    std::vector<int> stored;  // serial numbers in store order
    std::unique_ptr<DecodeAhead> pool;

    Fixture() {
        for (int channel = 0; channel < 16; ++channel) {
            decoders.pictures[channel] = synth::drawPicture({PictureKind::Single, channel, 16, 240});
        }
        pictures.setPage(4, 0);
        shared.runFlag.store(1);
        pool = std::make_unique<DecodeAhead>(pictures, handOff, shared, 2,
                                             [this] { return std::make_unique<FakeDecoder>(decoders); });
        pool->setStoreObserver([this](const PictureRecord& record, const StoreOutcome& outcome) {
            std::lock_guard lock(mutex);
            if (outcome.result == StoreResult::Stored) {
                stored.push_back(record.codestream[1]);
            }
        });
        codestreams.resize(256);
    }

    void deliver(int serial, int channel) {
        codestreams[static_cast<size_t>(serial)] = {uint8_t(channel), uint8_t(serial)};
        PictureRecord record;
        record.layoutCode = 0x10016;
        record.pictureFlags = synth::pictureFlagsFor(PictureKind::Single);
        record.videoStandard = frame::kSixtyFieldStandard;
        record.recordChannel = channel;
        record.codestream = codestreams[static_cast<size_t>(serial)];
        pool->deliver(record, 1u << channel, 16);
    }
    void setGate(bool open) {
        {
            std::lock_guard lock(decoders.mutex);
            decoders.open = open;
        }
        decoders.opened.notify_all();
    }
    std::vector<int> storedSerials() {
        std::lock_guard lock(mutex);
        return stored;
    }
};

TEST(DecodeAhead, StoresInDeliveryOrderWhateverOrderTheDecodesFinishIn) {
    Fixture f;
    constexpr int kRecords = 120;
    for (int serial = 0; serial < kRecords; ++serial) {
        f.deliver(serial, serial % 16);
    }
    f.pool->flush();
    std::vector<int> expected(kRecords);
    for (int serial = 0; serial < kRecords; ++serial) {
        expected[static_cast<size_t>(serial)] = serial;
    }
    EXPECT_EQ(f.storedSerials(), expected);
    EXPECT_EQ(f.pool->decodes(), uint64_t(kRecords));
    EXPECT_EQ(f.handOff.storedPictures(), uint64_t(kRecords));
    EXPECT_EQ(f.handOff.take().dirtyChannels, 0xFFFFu);
}

// A mode or position change (drop), a speed change or the thread being stopped: the decodes still queued
// are never begun, the running ones are not stored, and the pool goes on with what is delivered next.
TEST(DecodeAhead, ARequestChangeDropsQueuedDecodes) {
    const struct {
        const char* name;
        void (*change)(Fixture&);
    } changes[] = {
        {"mode change", [](Fixture& f) { f.pool->drop(); }},
        {"speed change", [](Fixture& f) { f.shared.speedIndex.store(6); }},
        {"thread stopped", [](Fixture& f) { f.shared.runFlag.store(0); }},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.name);
        Fixture f;
        f.setGate(false);
        for (int serial = 0; serial < 4; ++serial) {
            f.deliver(serial, serial);
        }
        // Both workers hold a decode at the gate; two records wait behind them.
        ASSERT_TRUE(testsupport::waitUntil([&] { return f.pool->decodes() == 2; }));
        change.change(f);
        f.setGate(true);
        f.pool->flush();
        EXPECT_EQ(f.pool->decodes(), 2u);
        EXPECT_TRUE(f.storedSerials().empty());
        EXPECT_EQ(f.handOff.storedPictures(), 0u);

        f.shared.runFlag.store(1);
        f.deliver(10, 7);
        f.pool->flush();
        EXPECT_EQ(f.storedSerials(), std::vector<int>{10});
    }
}

// The playback thread stays at most one group ahead: with a group of 16 it is held while the pool's room
// (two decoding, two waiting) is full, and goes on once a decode ends.
TEST(DecodeAhead, HoldsThePlaybackThreadWhileTheRoomIsFull) {
    Fixture f;
    f.setGate(false);
    std::atomic<int> delivered{0};
    std::thread player([&] {
        for (int serial = 0; serial < 6; ++serial) {
            f.deliver(serial, serial);
            delivered.fetch_add(1);
        }
    });
    ASSERT_TRUE(testsupport::waitUntil([&] { return delivered.load() == 4 && f.pool->decodes() == 2; }));
    // The fifth cannot be taken before a job is stored, and none is while the gate is shut.
    EXPECT_EQ(delivered.load(), 4);
    f.setGate(true);
    player.join();
    f.pool->flush();
    EXPECT_EQ(f.storedSerials(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

}  // namespace
}  // namespace dvr::player
