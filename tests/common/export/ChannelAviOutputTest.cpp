// The channel export's output: pictures only in file order, real pacing that names each frame's
// picture in the manifest, and the log.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "common/evidence/Sha256.h"
#include "common/evidence/Verify.h"
#include "common/export/channel/ChannelAviOutput.h"
#include "tests/common/export/AviCheck.h"

namespace {

using namespace dvr;
using exporting::ChannelAviOutput;

// The JPEG bytes and the source picture's hash of the picture from the record at `offset`.
std::vector<uint8_t> jpegOf(int64_t offset) {
    return {0xFF, 0xD8, uint8_t(offset), uint8_t(offset >> 8), 0xFF, 0xD9};
}
evidence::Digest sourceOf(int64_t offset) {
    evidence::Digest d{};
    d[0] = uint8_t(offset);
    d[1] = uint8_t(offset >> 8);
    return d;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ChannelOutput : public ::testing::Test {
protected:
    dvr::testsupport::TempFolder dir;
    std::string avi = dir.file("clip.avi");
    std::string backup = dir.file("b.zav");
    void SetUp() override { std::ofstream(backup) << std::string(1000, 'b'); }

    // Adds pictures (record offset, second; a negative second: no valid time) and returns the frames'
    // sources in the manifest.
    std::vector<int64_t> run(exporting::ChannelPace pace,
                             const std::vector<std::pair<int64_t, int>>& pictures) {
        exporting::ChannelAviSettings settings;
        settings.channel = 1;
        settings.framesPerSecond = 2;
        settings.pace = pace;
        evidence::ManifestBuilder manifest = evidence::ManifestBuilder::fromBackup("test", backup, 1);
        manifest.setSigningKeyPath("");
        ChannelAviOutput output(settings, &manifest);
        EXPECT_TRUE(output.open(avi).ok());
        for (const auto& [offset, second] : pictures) {
            const auto jpeg = jpegOf(offset);
            const bool valid = second >= 0;
            const DateTime time = valid ? DateTime{2024, 1, 2, 3, 4, second} : DateTime{};
            EXPECT_TRUE(output.add({time, valid, offset, sourceOf(offset), jpeg}));
        }
        EXPECT_TRUE(output.close().ok());
        EXPECT_TRUE(output.writeLog(avi, *output.firstTime(), *output.lastTime()).ok());
        EXPECT_TRUE(manifest.write(avi).ok);
        evidence::VerifyOptions o;
        o.filePath = avi;
        const auto verified = evidence::verifyExport(o);
        EXPECT_EQ(verified.status, evidence::VerifyStatus::Ok) << verified.message;
        std::vector<int64_t> sources;
        if (verified.manifest) {
            EXPECT_EQ(verified.manifest->frames.size(), output.frames());
            for (const auto& f : verified.manifest->frames) {
                // Each frame names the picture it shows: its bytes, its record and its source picture.
                EXPECT_EQ(f.sha256, evidence::hexOf(evidence::sha256(jpegOf(f.sourcePosition))));
                EXPECT_EQ(f.sourceSha256, evidence::hexOf(sourceOf(f.sourcePosition)));
                sources.push_back(f.sourcePosition);
            }
        }
        return sources;
    }
};

TEST_F(ChannelOutput, PicturesOnlyFromLaterRecords) {
    const auto sources =
        run(exporting::ChannelPace::Pictures, {{100, 0}, {200, 1}, {150, 2}, {200, 3}, {300, 4}, {-1, 5}});
    EXPECT_EQ(sources, (std::vector<int64_t>{100, 200, 300, -1}));
    EXPECT_EQ(readAll(dir.file("clip.log")).substr(0, 72),
              "RECORD START : 2024/01/02 03:04:00 \nRECORD END   : 2024/01/02 03:04:05 \n");
}

// Two frames a second: a second with one picture repeats it, a second with three drops one, a second
// without pictures repeats the last one given; the manifest names the picture of every frame.
TEST_F(ChannelOutput, RealPaceNamesThePictureOfEveryFrame) {
    const auto sources =
        run(exporting::ChannelPace::Real, {{100, 0}, {200, 1}, {300, 1}, {400, 1}, {500, 3}});
    EXPECT_EQ(sources, (std::vector<int64_t>{100, 100, 200, 300, 400, 400, 500, 500}));
}

// A damaged record's time says nothing about when its picture was: before the first valid time such
// pictures join that second (paced at the calendar's origin, the clip would be filled frame by frame up
// to the recording), later ones the second before them, and without any valid time the pictures share
// one second.
TEST_F(ChannelOutput, RealPaceGivesPicturesWithoutAValidTimeANeighboursSecond) {
    EXPECT_EQ(run(exporting::ChannelPace::Real, {{100, -1}, {200, -1}, {300, 1}, {400, 2}, {500, -1}}),
              (std::vector<int64_t>{100, 200, 400, 500}));
}

TEST_F(ChannelOutput, RealPaceWithoutAnyValidTimeFillsOneSecond) {
    EXPECT_EQ(run(exporting::ChannelPace::Real, {{100, -1}, {200, -1}, {300, -1}}),
              (std::vector<int64_t>{100, 200}));
}

}  // namespace
