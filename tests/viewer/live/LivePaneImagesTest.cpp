// The live pane images: a picture stretched on the pane worker gives the same pixels as one stretched at
// once, a pane keeps its newest picture whatever order the stretches finish in, and clearing the panes
// drops the stretches still to come.
#include <gtest/gtest.h>

#include <cstring>

#include "viewer/live/widgets/LivePaneImages.h"

namespace dvr::live {
namespace {

// A 720 x 240 picture whose pixels depend on `seed`, so that two pictures never look alike.
frame::DecodedPicture pattern(int seed) {
    frame::DecodedPicture picture{frame::DecodedPicture::Unsized{}};
    picture.width = 720;
    picture.height = 240;
    picture.pixels.resize(picture.imageBytes());
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        picture.pixels[i] = uint8_t((i * 7 + size_t(seed) * 31 + i / 2880 * 13) & 0xFF);
    return picture;
}

PaneDraw paneDraw(int channel, PaneRect pane, frame::PixelRect source) {
    PaneDraw draw;
    draw.paneChannel = draw.bufferChannel = channel;
    draw.pane = pane;
    draw.source = source;
    draw.hasSource = true;
    return draw;
}

bool samePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.format() != b.format())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(a.bytesPerLine())) != 0)
            return false;
    return true;
}

TEST(LivePaneImages, TheWorkerStretchesTheSamePixelsAndAPaneKeepsItsNewestPicture) {
    int repaints = 0;
    LivePaneImages atOnce([&](const QRect&) { ++repaints; });
    frame::PumpedPoster poster;
    LivePaneImages onWorker([&](const QRect&) { ++repaints; });
    onWorker.setPoster(&poster);

    const frame::DecodedPicture first = pattern(1);
    // One pane over the whole picture (a field stretched to twice its height), and a quarter pane with a
    // cut source, as the 16-pane layout draws.
    const PaneDraw whole = paneDraw(0, PaneRect{8, 8, 728, 488}, frame::PixelRect{0, 0, 720, 240});
    const PaneDraw small = paneDraw(5, PaneRect{188, 128, 368, 248}, frame::PixelRect{8, 4, 704, 232});
    for (const PaneDraw& draw : {whole, small}) {
        atOnce.draw(draw, first);
        onWorker.draw(draw, first);
    }
    EXPECT_TRUE(onWorker.image(0).isNull()) << "nothing is shown before its result comes back";
    onWorker.waitForStretches();
    poster.runPending();
    EXPECT_TRUE(samePixels(onWorker.image(0), atOnce.image(0)));
    EXPECT_TRUE(samePixels(onWorker.image(5), atOnce.image(5)));
    EXPECT_EQ(onWorker.image(0).size(), QSize(720, 480));

    // Two pictures for one pane before either result is shown: the newest is what stays.
    const frame::DecodedPicture second = pattern(2);
    const frame::DecodedPicture third = pattern(3);
    onWorker.draw(whole, second);
    onWorker.draw(whole, third);
    onWorker.waitForStretches();
    poster.runPending();
    atOnce.draw(whole, third);
    EXPECT_TRUE(samePixels(onWorker.image(0), atOnce.image(0)));

    // Cleared while a stretch is under way or waiting: nothing comes back into the panes.
    onWorker.draw(whole, second);
    onWorker.clear();
    onWorker.waitForStretches();
    poster.runPending();
    EXPECT_TRUE(onWorker.image(0).isNull());
    EXPECT_GT(repaints, 0);
}

}  // namespace
}  // namespace dvr::live
