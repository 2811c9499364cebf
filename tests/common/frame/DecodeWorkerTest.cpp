// The decode worker: results come back only through the poster, on the thread that runs it, in the
// order the records were given, each decoded from the worker's own copy of the record; an owner that went
// away hears nothing. The stream test runs the worker thread against the test's thread (also under
// ThreadSanitizer).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "common/frame/DecodeWorker.h"
#include "common/frame/FrameDecoder.h"
#include "tools/synth/Synth.h"

namespace dvr::frame {
namespace {

constexpr std::chrono::seconds kWait{20};

struct Record {
    std::vector<uint8_t> bytes;
    FrameHeader header;
    PictureRecord picture() const { return {bytes, header, FrameDecodeOptions{}}; }
};

Record realRecord(int channel) {
    static synth::CodestreamCache cache;
    synth::PictureShape shape;
    shape.channel = channel;
    const auto codestream = cache.get(shape, synth::defaultCodestreamBytes(240));
    synth::RecordHeaderFields fields;
    fields.channel = uint32_t(channel);
    fields.pictureFlags = synth::pictureFlagsFor(PictureKind::Single);
    Record record;
    record.header = synth::makeHeader(fields, codestream->size());
    record.bytes = synth::buildWireRecord(record.header, *codestream);
    return record;
}

// A record whose codestream carries its number in its first four bytes, for the stand-in decoder.
Record numberedRecord(uint32_t number) {
    std::vector<uint8_t> codestream(256, 0x11);
    std::memcpy(codestream.data(), &number, sizeof number);
    codestream[codestream.size() - 2] = 0xFF;
    codestream[codestream.size() - 1] = 0xD9;
    Record record;
    record.header = synth::makeHeader(synth::RecordHeaderFields{}, codestream.size());
    record.bytes = synth::buildWireRecord(record.header, codestream);
    return record;
}

// Decodes a numbered codestream into an 8 x 8 picture whose first pixel holds the number, after a short
// random stretch of work so the worker and the owner meet at varying points.
class NumberDecoder final : public PictureDecoder {
public:
    bool decode(std::span<const uint8_t> codestream, DecodedPicture& out) override {
        std::this_thread::sleep_for(std::chrono::microseconds(m_random() % 500));
        out.width = 8;
        out.height = 8;
        if (out.pixels.size() < out.imageBytes())
            out.pixels.resize(out.imageBytes());
        std::fill_n(out.pixels.begin(), out.imageBytes(), uint8_t(0));
        std::memcpy(out.pixels.data(), codestream.data(), sizeof(uint32_t));
        out.bitmapInfo = makeBitmapInfo(out.width, out.height);
        return true;
    }

private:
    std::minstd_rand m_random{7};
};

uint32_t numberOf(const WorkerDecode& decode) {
    uint32_t number = 0;
    std::memcpy(&number, decode.picture.pixels.data(), sizeof number);
    return number;
}

TEST(DecodeWorker, ResultsArriveThroughThePosterInOrderFromTheWorkersOwnCopy) {
    PumpedPoster poster;
    DecodeWorker worker(poster);
    auto owner = std::make_shared<int>(0);
    std::vector<int> channels;
    std::vector<int> widths;
    const std::thread::id ownerThread = std::this_thread::get_id();
    // The owner hears of each queued record at once, on its own thread (the window paints then).
    int submitted = 0;
    worker.setSubmitted([&] {
        EXPECT_EQ(std::this_thread::get_id(), ownerThread);
        ++submitted;
    });
    for (const int channel : {3, 11, 5}) {
        Record record = realRecord(channel);
        worker.submit(record.picture(), owner, [&](WorkerDecode& decode) {
            EXPECT_EQ(std::this_thread::get_id(), ownerThread);
            ASSERT_TRUE(decode.frame.ok());
            EXPECT_EQ(decode.frame.picture, &decode.picture);
            channels.push_back(decode.frame.channel);
            widths.push_back(decode.picture.width);
        });
        // The caller's bytes may go at once: the worker decodes its own copy.
        std::fill(record.bytes.begin(), record.bytes.end(), uint8_t(0));
    }
    EXPECT_TRUE(channels.empty()) << "nothing runs before the owner runs the posted tasks";
    EXPECT_EQ(submitted, 3);
    while (channels.size() < 3 && poster.waitAndRun(kWait) > 0) {
    }
    EXPECT_EQ(channels, (std::vector<int>{3, 11, 5}));
    EXPECT_EQ(widths, (std::vector<int>{720, 720, 720}));

    // At the size shown: a reduced decode comes back reduced.
    Record record = realRecord(2);
    PictureRecord shown = record.picture();
    shown.options.shown = ShownSize{180, 120};
    int reduction = -1;
    worker.submit(shown, owner, [&](WorkerDecode& decode) { reduction = decode.picture.reduction; });
    while (reduction < 0 && poster.waitAndRun(kWait) > 0) {
    }
    EXPECT_EQ(reduction, 2);
    EXPECT_EQ(worker.decodes(), 4u);
}

TEST(DecodeWorker, AnOwnerThatWentAwayHearsNothingAndAStoppedWorkerDropsWhatWaits) {
    PumpedPoster poster;
    std::vector<uint32_t> seen;
    {
        DecodeWorker worker(poster, std::make_unique<NumberDecoder>());
        auto owner = std::make_shared<int>(0);
        worker.submit(numberedRecord(1).picture(), owner,
                      [&](WorkerDecode& decode) { seen.push_back(numberOf(decode)); });
        owner.reset();
        EXPECT_EQ(poster.waitAndRun(kWait), 1);
        EXPECT_TRUE(seen.empty()) << "the owner was gone when its result was handed back";

        // Records still waiting when the worker stops are dropped; what was posted before still arrives.
        auto second = std::make_shared<int>(0);
        for (uint32_t i = 0; i < 20; ++i) {
            worker.submit(numberedRecord(i).picture(), second,
                          [&](WorkerDecode& decode) { seen.push_back(numberOf(decode)); });
        }
    }
    poster.runPending();
    EXPECT_LT(seen.size(), 20u);
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i], uint32_t(i));
    }
}

// The worker thread decodes while the test's thread submits and runs the posted results, as a window's
// thread does: every record comes back once, in order.
TEST(DecodeWorkerThreads, AStreamOfRecordsComesBackOnceEachInOrder) {
    PumpedPoster poster;
    DecodeWorker worker(poster, std::make_unique<NumberDecoder>());
    auto owner = std::make_shared<int>(0);
    constexpr uint32_t kRecords = 300;
    std::vector<uint32_t> seen;
    uint32_t submitted = 0;
    // At most three out at a time: the owner keeps submitting while results come back.
    while (seen.size() < kRecords) {
        while (submitted < kRecords && submitted - seen.size() < 3) {
            const Record record = numberedRecord(submitted++);
            worker.submit(record.picture(), owner, [&](WorkerDecode& decode) {
                ASSERT_TRUE(decode.frame.ok());
                seen.push_back(numberOf(decode));
            });
        }
        if (poster.waitAndRun(kWait) == 0) {
            break;
        }
    }
    ASSERT_EQ(seen.size(), kRecords);
    for (uint32_t i = 0; i < kRecords; ++i) {
        ASSERT_EQ(seen[i], i) << "result " << i;
    }
    EXPECT_EQ(worker.decodes(), kRecords);
}

}  // namespace
}  // namespace dvr::frame
