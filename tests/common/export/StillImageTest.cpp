// Still pictures: the filters worked by hand (edges included), the edit history, row flipping, JPEG
// writing and the file names.
#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <fstream>
#include <set>
#include <sstream>

#include "common/export/ImageFilters.h"
#include "common/export/StillImage.h"
#include "common/fs/SafeOpen.h"
#include "tests/common/export/AviCheck.h"

namespace {

using namespace dvr::exporting;
using dvr::DateTime;

// A grey picture (all three colours equal) from its values, row by row.
StillImage grey(int width, int height, std::vector<int> values) {
    StillImage image{width, height, {}};
    for (int v : values)
        image.bgr.insert(image.bgr.end(), 3, uint8_t(v));
    return image;
}

std::vector<int> values(const StillImage& image) {
    std::vector<int> out;
    for (size_t i = 0; i < image.bgr.size(); i += 3) {
        EXPECT_EQ(image.bgr[i], image.bgr[i + 1]);
        EXPECT_EQ(image.bgr[i], image.bgr[i + 2]);
        out.push_back(image.bgr[i]);
    }
    return out;
}

StillImage centreSpot(int centre, int others) {
    return grey(3, 3, {others, others, others, others, centre, others, others, others, others});
}

TEST(StillFilters, BrightnessAndContrastChangeEveryValueAndClip) {
    StillImage image = grey(2, 2, {250, 5, 100, 128});
    adjustBrightness(image, 10);
    EXPECT_EQ(values(image), (std::vector<int>{255, 15, 110, 138}));
    adjustBrightness(image, -10);
    EXPECT_EQ(values(image), (std::vector<int>{245, 5, 100, 128}));
    for (int i = 0; i < 30; ++i)
        applyStillFilter(image, StillFilter::Bright);
    EXPECT_EQ(values(image), (std::vector<int>{255, 255, 255, 255}));
    for (int i = 0; i < 30; ++i)
        applyStillFilter(image, StillFilter::Dark);
    EXPECT_EQ(values(image), (std::vector<int>{0, 0, 0, 0}));

    // v + 10 (v - 128) / 128, truncating towards zero: 100 -> 100 - 2 (not 100 - 3).
    StillImage contrast = grey(3, 2, {0, 64, 100, 128, 200, 255});
    applyStillFilter(contrast, StillFilter::ContrastDown);
    EXPECT_EQ(values(contrast), (std::vector<int>{0, 59, 98, 128, 205, 255}));
}

TEST(StillFilters, SharpenAndBlurUseEdgeNeighboursAndAnUnmodifiedCopy) {
    // Centre: (28 x 100 - 8 x 50) / 20 = 120. Every edge pixel sees the centre once among neighbours
    // repeated from the edge: (28 x 50 - 450) / 20 = 47.5 -> 47. Reading already sharpened values
    // would give the last corners 46.
    StillImage s = centreSpot(100, 50);
    sharpen(s);
    EXPECT_EQ(values(s), (std::vector<int>{47, 47, 47, 47, 120, 47, 47, 47, 47}));
    // (4 x 100 + 3 x 200 + 200) / 20 = 60; corners (200 + 3 x 200 + 250) / 20 = 52.5 -> 52; edge middles
    // (200 + 3 x 250 + 200) / 20 = 57.5 -> 57.
    StillImage b = centreSpot(100, 50);
    blur(b);
    EXPECT_EQ(values(b), (std::vector<int>{52, 57, 52, 57, 60, 57, 52, 57, 52}));
    // Flat pictures stay flat; sharpening clips at both ends.
    StillImage flat = grey(4, 3, std::vector<int>(12, 77));
    sharpen(flat);
    blur(flat);
    EXPECT_EQ(values(flat), std::vector<int>(12, 77));
    StillImage bright = centreSpot(255, 0);
    sharpen(bright);
    EXPECT_EQ(values(bright)[4], 255);
    StillImage dark = centreSpot(0, 255);
    sharpen(dark);
    EXPECT_EQ(values(dark)[4], 0);
    // A one-pixel picture is its own neighbourhood.
    StillImage one = grey(1, 1, {90});
    sharpen(one);
    EXPECT_EQ(values(one), std::vector<int>{90});
}

TEST(StillFilters, SelectiveMedianReplacesOnlyOutliers) {
    StillImage spot = centreSpot(0, 200);  // median 200 is more than 50 above 0
    applyStillFilter(spot, StillFilter::ContrastUp);
    EXPECT_EQ(values(spot), std::vector<int>(9, 200));
    StillImage mild = centreSpot(160, 200);  // 40 away: kept
    selectiveMedian(mild);
    EXPECT_EQ(values(mild), values(centreSpot(160, 200)));
    // A bright corner in a dark picture: its neighbourhood (edges repeated) is mostly dark.
    StillImage corner = grey(3, 3, {250, 10, 10, 10, 10, 10, 10, 10, 10});
    selectiveMedian(corner);
    EXPECT_EQ(values(corner), std::vector<int>(9, 10));
}

TEST(StillFilters, NamesAndEditHistory) {
    EXPECT_EQ(parseStillFilter("contrast-up"), StillFilter::ContrastUp);
    EXPECT_EQ(parseStillFilter("contrast-down"), StillFilter::ContrastDown);
    EXPECT_FALSE(parseStillFilter("Bright"));

    EditHistory history(grey(1, 1, {0}));
    EXPECT_FALSE(history.undo());
    for (int i = 0; i < 20; ++i)
        history.apply(StillFilter::Bright);
    EXPECT_EQ(values(history.current()), std::vector<int>{200});
    int undone = 0;
    while (history.undo())
        ++undone;
    EXPECT_EQ(undone, 16);
    EXPECT_EQ(values(history.current()), std::vector<int>{40});
    EXPECT_TRUE(history.redo());
    EXPECT_TRUE(history.redo());
    EXPECT_EQ(values(history.current()), std::vector<int>{60});
    history.apply(StillFilter::Dark);
    EXPECT_FALSE(history.canRedo());
    EXPECT_EQ(values(history.current()), std::vector<int>{50});
    EXPECT_TRUE(history.undo());
    EXPECT_EQ(values(history.current()), std::vector<int>{60});
}

TEST(StillImage, FlipsRowsAndWritesThreeComponentJpeg) {
    StillImage image = grey(2, 3, {1, 2, 3, 4, 5, 6});
    flipRows(image.bgr, 2 * 3, 3);
    EXPECT_EQ(values(image), (std::vector<int>{5, 6, 3, 4, 1, 2}));

    dvr::testsupport::TempFolder dir;
    StillImage picture{64, 32, std::vector<uint8_t>(64 * 32 * 3)};
    for (size_t i = 0; i < picture.bgr.size(); i += 3) {
        picture.bgr[i] = 0x20;      // blue
        picture.bgr[i + 1] = 0x40;  // green
        picture.bgr[i + 2] = 0xC0;  // red
    }
    ASSERT_TRUE(writeStillJpeg(dir.file("s.jpg"), picture).ok());
    std::ifstream in(dir.file("s.jpg"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    tjhandle h = tjInitDecompress();
    int w = 0, hgt = 0, sub = -1, space = -1;
    ASSERT_EQ(tjDecompressHeader3(h, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &w,
                                  &hgt, &sub, &space),
              0);
    std::vector<uint8_t> rgb(size_t(w) * size_t(hgt) * 3);
    ASSERT_EQ(tjDecompress2(h, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), rgb.data(),
                            w, 0, hgt, TJPF_RGB, 0),
              0);
    tjDestroy(h);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(hgt, 32);
    EXPECT_EQ(sub, TJSAMP_420);
    EXPECT_EQ(space, TJCS_YCbCr);
    EXPECT_TRUE(dvr::testing::nearColour(dvr::testing::pixelAt(rgb, w, 10, 10), 0xC04020));
    EXPECT_FALSE(writeStillJpeg(dir.file("none/s.jpg"), picture).ok());
    EXPECT_FALSE(writeStillJpeg(dir.file("e.jpg"), StillImage{}).ok());
}

TEST(StillImage, FileNames) {
    const DateTime t{2026, 5, 17, 12, 0, 4};
    EXPECT_EQ(viewerSnapshotName("/snap/", 255, t, 101234), "/snap/CAM0_2026-05-17 12-00-04_01234.jpg");
    EXPECT_EQ(viewerSnapshotName("/snap", 2, t, 7), "/snap/CAM3_2026-05-17 12-00-04_00007.jpg");
    EXPECT_EQ(playerStillName("/home//b/Backup/", t), "/home/b/Backup/20260517_120004.jpg");
    EXPECT_EQ(collapseSeparators("a///b//c/"), "a/b/c/");

    std::set<std::string> taken;
    auto exists = [&](const std::string& name) { return taken.count(name) > 0; };
    const std::string name = "/b/20260517_120004.jpg";
    EXPECT_EQ(uniqueName(name, exists), name);
    taken.insert(name);
    EXPECT_EQ(uniqueName(name, exists), "/b/20260517_120004(1).jpg");
    taken.insert("/b/20260517_120004(1).jpg");
    EXPECT_EQ(uniqueName(name, exists), "/b/20260517_120004(2).jpg");
    EXPECT_EQ(uniqueName("/a.b/noext", [](const std::string& n) { return n == "/a.b/noext"; }),
              "/a.b/noext(1)");

    // Every name answered as taken (a folder that cannot be searched, a name too long): the search ends
    // with the plain name, whose create then says why.
    int asked = 0;
    EXPECT_EQ(uniqueName(name,
                         [&](const std::string&) {
                             ++asked;
                             return true;
                         }),
              name);
    EXPECT_EQ(asked, kMaxNameNumber + 1);
    const std::string tooLong = "/tmp/" + std::string(300, 'a') + ".jpg";
    EXPECT_EQ(uniqueName(tooLong, dvr::fs::nameTaken), tooLong);
}

}  // namespace
