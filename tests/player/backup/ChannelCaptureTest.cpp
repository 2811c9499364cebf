#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "common/evidence/Verify.h"
#include "common/export/ByteSink.h"
#include "player/backup/BackupWindowModel.h"
#include "player/backup/ChannelCapture.h"
#include "player/view/PlaybackHandOff.h"
#include "tests/support/TempFolder.h"
#include "tools/synth/Synth.h"

namespace dvr::player {
namespace {

namespace fs = std::filesystem;
using testsupport::TempFolder;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(BackupWindowModel, DefaultsListsAndButtons) {
    BackupWindowModel model;
    model.open(8);
    ASSERT_EQ(model.channelItems().size(), 8u);
    EXPECT_EQ(model.channelItems().front(), "1");
    EXPECT_EQ(model.channelItems().back(), "8");
    EXPECT_EQ(BackupWindowModel::frameRateItems().size(), 60u);
    EXPECT_EQ(BackupWindowModel::sizeItems()[1], "720 * 480");
    const ExportSettings defaults = model.settings();
    EXPECT_EQ(defaults.channel, 0);
    EXPECT_EQ(defaults.framesPerSecond, 10);
    EXPECT_EQ(defaults.width, 360);
    EXPECT_EQ(defaults.height, 240);
    EXPECT_TRUE(model.startEnabled());
    EXPECT_FALSE(model.stopEnabled());

    model.selectChannel(7);
    model.selectFrameRate(59);
    model.selectSize(1);
    model.selectChannel(8);  // out of range: ignored
    const ExportSettings chosen = model.start();
    EXPECT_EQ(chosen.channel, 7);
    EXPECT_EQ(chosen.framesPerSecond, 60);
    EXPECT_EQ(chosen.width, 720);
    EXPECT_EQ(chosen.height, 480);
    EXPECT_FALSE(model.listsEnabled());
    EXPECT_TRUE(model.stopEnabled());
    model.selectChannel(1);  // locked while exporting
    EXPECT_EQ(model.channelIndex(), 7);
    EXPECT_TRUE(model.stop());
    EXPECT_FALSE(model.stop());
    EXPECT_TRUE(model.listsEnabled());

    // Opening again starts from the defaults; an odd channel count offers one channel.
    model.open(5);
    EXPECT_EQ(model.channelItems(), std::vector<std::string>{"1"});
    EXPECT_EQ(model.frameRateIndex(), 9);
}

TEST(ChannelCapture, TakenNamesAreNumberedInTheFileNameOnly) {
    std::set<std::string> taken = {"/a.b/avi/03_Capture.avi", "/a.b/avi/03_Capture(01).avi"};
    auto exists = [&](const std::string& p) { return taken.count(p) > 0; };
    EXPECT_EQ(exportAviName("/a.b/avi", 2, exists), "/a.b/avi/03_Capture(02).avi");
    EXPECT_EQ(exportAviName("/a.b/avi", 0, exists), "/a.b/avi/01_Capture.avi");
    // The log or the manifest of an earlier export takes its name as well.
    taken.insert("/a.b/avi/03_Capture(02).log");
    taken.insert("/a.b/avi/03_Capture(03).avi.manifest.json");
    taken.insert("/a.b/avi/01_Capture.log");
    EXPECT_EQ(exportAviName("/a.b/avi", 2, exists), "/a.b/avi/03_Capture(04).avi");
    EXPECT_EQ(exportAviName("/a.b/avi", 0, exists), "/a.b/avi/01_Capture(01).avi");
    // No name free at all (a folder that cannot be searched): the search ends with the plain name.
    EXPECT_EQ(exportAviName("/a.b/avi", 0, [](const std::string&) { return true; }),
              "/a.b/avi/01_Capture.avi");
}

// A picture of one colour in B, G, R, X.
std::vector<uint8_t> colour(int width, int height, uint8_t b, uint8_t g, uint8_t r) {
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 4);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = b;
        pixels[i + 1] = g;
        pixels[i + 2] = r;
        pixels[i + 3] = 255;
    }
    return pixels;
}

TEST(ChannelCapture, StartAndStopWithoutPicturesGivesAnEmptyFileAndTheLog) {
    TempFolder temp;
    ChannelCapture exporter;
    ExportStart request;
    request.aviFolder = temp.path() + "/avi";
    request.settings.channel = 1;
    request.startTime = DateTime{2024, 5, 6, 7, 8, 9};
    const ExportOutcome started = exporter.start(request);
    ASSERT_TRUE(started.ok) << started.message;
    EXPECT_EQ(started.aviPath, temp.path() + "/avi/02_Capture.avi");
    EXPECT_TRUE(exporter.active());
    const ExportOutcome stopped = exporter.stop(DateTime{2024, 5, 6, 7, 9, 0});
    ASSERT_TRUE(stopped.ok) << stopped.message;
    EXPECT_EQ(stopped.frames, 0u);
    EXPECT_FALSE(exporter.active());
    EXPECT_EQ(readAll(temp.path() + "/avi/02_Capture.avi").substr(0, 4), "RIFF");
    EXPECT_EQ(readAll(temp.path() + "/avi/02_Capture.log"),
              "RECORD START : 2024/05/06 07:08:09 \n"
              "RECORD END   : 2024/05/06 07:09:00 \n"
              "CHANNEL      : 02 \n"
              "FRAME RATE   : 10 Frame \n"
              "RECORD SIZE  : 360 * 240 Pixel \n");

    // The next export of the channel does not overwrite the first.
    ASSERT_TRUE(exporter.start(request).ok);
    EXPECT_EQ(exporter.stop().aviPath, temp.path() + "/avi/02_Capture(01).avi");
}

TEST(ChannelCapture, AFolderThatCannotBeMadeIsReported) {
    TempFolder temp;
    std::ofstream(temp.path() + "/avi") << "a file in the way";
    ChannelCapture exporter;
    ExportStart request;
    request.aviFolder = temp.path() + "/avi";
    const ExportOutcome started = exporter.start(request);
    EXPECT_FALSE(started.ok);
    EXPECT_EQ(started.message.rfind("ERROR : CreateAVIFile.", 0), 0u);
    EXPECT_NE(started.message.find(temp.path() + "/avi/01_Capture.avi"), std::string::npos);
    EXPECT_FALSE(exporter.active());
    EXPECT_TRUE(exporter.stop().ok);
}

// Frames come from another thread while the window thread stops; every offered frame before the stop is
// in the file, at the chosen size, and the log takes the pictures' times when none are given.
TEST(ChannelCapture, FramesFromThePlaybackThreadReachTheFile) {
    TempFolder temp;
    ChannelCapture exporter;
    ExportStart request;
    request.aviFolder = temp.path();
    request.settings.width = 720;
    request.settings.height = 480;
    ASSERT_TRUE(exporter.start(request).ok);
    const std::vector<uint8_t> pixels = colour(352, 240, 0, 0, 255);
    constexpr int kFrames = 40;
    std::thread playback([&] {
        for (int i = 0; i < kFrames; ++i) {
            exporting::PixelSource part{pixels.data(), 352, 240, 352 * 4, 4};
            exporter.offer(part, DateTime{2024, 1, 1, 0, 0, i});
        }
    });
    playback.join();
    const ExportOutcome stopped = exporter.stop();
    ASSERT_TRUE(stopped.ok) << stopped.message;
    EXPECT_EQ(stopped.frames, uint32_t(kFrames));
    const std::string log = readAll(temp.path() + "/01_Capture.log");
    EXPECT_NE(log.find("RECORD START : 2024/01/01 00:00:00 \n"), std::string::npos);
    EXPECT_NE(log.find("RECORD END   : 2024/01/01 00:00:39 \n"), std::string::npos);
    EXPECT_NE(log.find("RECORD SIZE  : 720 * 480 Pixel \n"), std::string::npos);
    // Offers after the stop are dropped.
    exporting::PixelSource part{pixels.data(), 352, 240, 352 * 4, 4};
    exporter.offer(part, {});
}

// The manifest beside the AVI file lists every frame with its picture time and record offset, and
// checks against the file and the backup it names; one written after a failed export would vouch for
// a broken file, so there is none.
TEST(ChannelCapture, WritesAManifestThatVerifiesAgainstTheFileAndTheBackup) {
    TempFolder temp;
    const std::string backup = temp.path() + "/backup.zav";
    std::ofstream(backup) << std::string(4096, 'z');
    ChannelCapture exporter;
    ExportStart request;
    request.aviFolder = temp.path();
    request.backupPath = backup;
    ASSERT_TRUE(exporter.start(request).ok);
    const std::vector<uint8_t> pixels = colour(352, 240, 0, 255, 0);
    std::thread playback([&] {
        for (int i = 0; i < 5; ++i) {
            exporting::PixelSource part{pixels.data(), 352, 240, 352 * 4, 4};
            exporter.offer(part, DateTime{2024, 1, 2, 3, 4, i}, 1000 + i * 100);
        }
    });
    playback.join();
    const ExportOutcome stopped = exporter.stop();
    ASSERT_TRUE(stopped.ok) << stopped.message;

    evidence::VerifyOptions options;
    options.filePath = stopped.aviPath;
    const evidence::VerifyOutcome plain = evidence::verifyExport(options);
    ASSERT_EQ(plain.status, evidence::VerifyStatus::Ok) << plain.message;
    ASSERT_TRUE(plain.manifest);
    ASSERT_EQ(plain.manifest->frames.size(), 5u);
    EXPECT_EQ(plain.manifest->frames[0].time, "2024-01-02 03:04:00");
    EXPECT_EQ(plain.manifest->frames[4].time, "2024-01-02 03:04:04");
    EXPECT_EQ(plain.manifest->frames[4].sourcePosition, 1400);
    options.sourcePath = backup;
    const evidence::VerifyOutcome sourced = evidence::verifyExport(options);
    EXPECT_EQ(sourced.status, evidence::VerifyStatus::Ok) << sourced.message;
    EXPECT_TRUE(sourced.sourceChecked);

    // Another backup is not the source.
    std::ofstream(backup, std::ios::app) << "changed";
    EXPECT_EQ(evidence::verifyExport(options).status, evidence::VerifyStatus::Mismatch);

    // A failed export leaves no manifest.
    request.createSink = [](const std::string&, std::string*) {
        auto sink = std::make_unique<exporting::MemorySink>();
        sink->setLimitBytes(400000);
        return std::unique_ptr<exporting::ByteSink>(std::move(sink));
    };
    ASSERT_TRUE(exporter.start(request).ok);
    std::vector<uint8_t> noise(360 * 240 * 4);
    uint32_t seed = 7;
    for (uint8_t& b : noise) {
        seed = seed * 1103515245u + 12345u;
        b = uint8_t(seed >> 16);
    }
    for (int i = 0; i < 100; ++i) {
        exporting::PixelSource part{noise.data(), 360, 240, 360 * 4, 4};
        exporter.offer(part, {}, i);
    }
    const ExportOutcome failed = exporter.stop();
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(std::filesystem::exists(failed.aviPath + ".manifest.json"));
}

// A clip never runs backwards: a picture is taken only from a record after the last one taken (a
// picture shown again at the end of the file, a step back and backward play are left out).
TEST(ChannelCapture, OnlyPicturesFromLaterRecordsAreTaken) {
    TempFolder temp;
    ChannelCapture exporter;
    ExportStart request;
    request.aviFolder = temp.path();
    request.backupPath = temp.path() + "/backup.zav";
    std::ofstream(request.backupPath) << std::string(4096, 'z');
    ASSERT_TRUE(exporter.start(request).ok);
    const std::vector<uint8_t> pixels = colour(352, 240, 255, 0, 0);
    const std::vector<std::pair<int64_t, int>> offers = {{1000, 0}, {1100, 1}, {1100, 1}, {900, 2},
                                                         {1300, 3}, {1200, 4}, {-1, 5},   {1400, 6}};
    std::thread playback([&] {
        for (const auto& [offset, second] : offers) {
            exporting::PixelSource part{pixels.data(), 352, 240, 352 * 4, 4};
            evidence::Digest digest{};
            digest[0] = uint8_t(second);
            exporter.offer(part, DateTime{2024, 1, 2, 3, 4, second}, offset, digest);
        }
    });
    playback.join();
    EXPECT_FALSE(exporter.admits(1400));
    EXPECT_TRUE(exporter.admits(1401));
    const ExportOutcome stopped = exporter.stop();
    ASSERT_TRUE(stopped.ok) << stopped.message;
    EXPECT_EQ(stopped.frames, 5u);
    evidence::VerifyOptions options;
    options.filePath = stopped.aviPath;
    const evidence::VerifyOutcome r = evidence::verifyExport(options);
    ASSERT_EQ(r.status, evidence::VerifyStatus::Ok) << r.message;
    std::vector<int64_t> sources;
    for (const auto& f : r.manifest->frames)
        sources.push_back(f.sourcePosition);
    EXPECT_EQ(sources, (std::vector<int64_t>{1000, 1100, 1300, -1, 1400}));
    EXPECT_EQ(r.manifest->frames[2].sourceSha256.substr(0, 2), "03");
    ASSERT_TRUE(r.manifest->settings);
    EXPECT_EQ(r.manifest->settings->pace, "pictures");
}

// A disk that fills up mid-export: the failure is told once, the playback thread is never held up, and
// the stop reports it.
TEST(ChannelCapture, AFullDiskStopsWritingAndIsReported) {
    TempFolder temp;
    ChannelCapture exporter;
    ExportStart request;
    request.aviFolder = temp.path();
    std::atomic<int> failures{0};
    request.onFailure = [&] { failures.fetch_add(1); };
    request.createSink = [](const std::string&, std::string*) {
        auto sink = std::make_unique<exporting::MemorySink>();
        sink->setLimitBytes(400000);
        return std::unique_ptr<exporting::ByteSink>(std::move(sink));
    };
    ASSERT_TRUE(exporter.start(request).ok);
    std::vector<uint8_t> noise(360 * 240 * 4);
    uint32_t seed = 1;
    for (uint8_t& b : noise) {
        seed = seed * 1103515245u + 12345u;
        b = uint8_t(seed >> 16);
    }
    for (int i = 0; i < 100; ++i) {
        exporting::PixelSource part{noise.data(), 360, 240, 360 * 4, 4};
        exporter.offer(part, {});
    }
    const ExportOutcome stopped = exporter.stop();
    EXPECT_FALSE(stopped.ok);
    EXPECT_NE(stopped.message.find("ERROR : "), std::string::npos);
    EXPECT_EQ(failures.load(), 1);
    EXPECT_TRUE(exporter.failure().has_value());
}

// Sees every frame after scaling, on the writer thread: its size, channel and the colour inside the
// channel's face.
class RecordingStamper final : public exporting::Stamper {
public:
    void draw(uint8_t* bgr, int width, int height, size_t strideBytes,
              const exporting::Stamp& stamp) override {
        const uint8_t* p = bgr + size_t(height * 45 / 100) * strideBytes + size_t(width * 93 / 100) * 3;
        std::lock_guard lock(mutex);
        frames.push_back({width, height, stamp.channel, uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]});
    }
    struct Seen {
        int width;
        int height;
        int channel;
        uint32_t rgb;
    };
    std::mutex mutex;
    std::vector<Seen> frames;
};

// Pair and quad pictures carry several channels: each exported frame is only the exported channel's
// part, scaled to the chosen size, whatever the picture's own size.
TEST(ChannelCapture, StoredPicturesGiveTheChannelsPartAtTheChosenSize) {
    synth::CodestreamCache cache;
    for (const frame::PictureKind kind : {frame::PictureKind::Pair, frame::PictureKind::Quad}) {
        // Channel 4 lies left (and top): the whole picture would show channel 5 where the frame is probed.
        const int channel = 4;
        TempFolder temp;
        PlayerPictures pictures;
        pictures.setPage(1, channel);
        PlaybackHandOff handOff;
        RecordingStamper stamper;
        ChannelCapture exporter;
        ExportStart request;
        request.aviFolder = temp.path();
        request.settings.channel = channel;
        request.settings.width = 720;
        request.settings.height = 480;
        request.stamper = &stamper;
        ASSERT_TRUE(exporter.start(request).ok);

        std::thread playback([&] {
            for (int i = 0; i < 6; ++i) {
                const synth::PictureShape shape{kind, channel, 16, 240};
                const auto codestream = cache.get(shape, synth::defaultCodestreamBytes(240));
                PictureRecord record;
                record.layoutCode = 0x10016;
                record.pictureFlags = synth::pictureFlagsFor(kind);
                record.videoStandard = frame::kSixtyFieldStandard;
                record.recordChannel = synth::codedChannel(shape);
                record.fieldCode = 0;
                record.time = {2026, 1, 2, 3, 4, i};
                record.codestream = *codestream;
                uint32_t stored = 0;
                handOff.pictureDelivered(pictures, record, 0xFFFF, &stored);
                if ((stored >> exporter.channel() & 1u) != 0) {
                    exporter.offerStored(pictures);
                }
            }
        });
        playback.join();
        const ExportOutcome stopped = exporter.stop();
        ASSERT_TRUE(stopped.ok) << stopped.message;
        EXPECT_EQ(stopped.frames, 6u);
        std::lock_guard lock(stamper.mutex);
        ASSERT_EQ(stamper.frames.size(), 6u);
        for (const RecordingStamper::Seen& seen : stamper.frames) {
            EXPECT_EQ(seen.width, 720);
            EXPECT_EQ(seen.height, 480);
            EXPECT_EQ(seen.channel, channel);
            EXPECT_EQ(synth::nearestSignatureChannel(seen.rgb), channel) << std::hex << seen.rgb;
        }
        EXPECT_NE(readAll(temp.path() + "/05_Capture.log").find("RECORD END   : 2026/01/02 03:04:05 \n"),
                  std::string::npos);
    }
}

}  // namespace
}  // namespace dvr::player
