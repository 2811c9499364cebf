// The live pane images: a pane shows the newest picture it was given, a pane whose buffer takes a picture
// it is not given keeps its own picture's part, and clearing the panes forgets them.
#include <gtest/gtest.h>

#include <QPainter>

#include <cstring>
#include <vector>

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

PaneDraw paneDraw(int pane, int buffer, PaneRect rect, frame::PixelRect source) {
    PaneDraw draw;
    draw.paneChannel = pane;
    draw.bufferChannel = buffer;
    draw.pane = rect;
    draw.source = source;
    draw.hasSource = true;
    return draw;
}

// What the draw's pane must show of `picture`: its part stretched smoothly over the pane.
QImage expected(const PaneDraw& draw, const frame::DecodedPicture& picture) {
    const QImage source(picture.pixels.data(), picture.width, picture.height, qsizetype(picture.stride()),
                        QImage::Format_RGB32);
    QImage image(draw.pane.width(), draw.pane.height(), QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(image.rect(), source,
                      QRect(draw.source.x, draw.source.y, draw.source.width, draw.source.height));
    return image;
}

bool samePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.format() != b.format())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(a.bytesPerLine())) != 0)
            return false;
    return true;
}

TEST(LivePaneImages, APaneShowsTheNewestPictureGivenAndAskedForItsRepaint) {
    std::vector<QRect> repaints;
    LivePaneImages panes([&](const QRect& rect) { repaints.push_back(rect); });
    // One pane over the whole picture (a field stretched to twice its height).
    const PaneDraw whole = paneDraw(0, 0, PaneRect{8, 8, 728, 488}, frame::PixelRect{0, 0, 720, 240});
    frame::DecodedPicture buffer = pattern(1);
    panes.draw(whole, buffer);
    ASSERT_EQ(repaints.size(), 1u);
    EXPECT_EQ(repaints[0], QRect(8, 8, 720, 480));
    EXPECT_TRUE(panes.hasPicture(0));
    EXPECT_FALSE(panes.hasPicture(1));

    // Two more pictures through the buffer before a paint: the pane replaced in the plan shows the last.
    for (int seed : {2, 3}) {
        panes.bufferChanging(0, 1u << 0);
        buffer = pattern(seed);
        panes.draw(whole, buffer);
    }
    EXPECT_TRUE(samePixels(panes.image(0), expected(whole, pattern(3))));
    EXPECT_EQ(panes.image(0).size(), QSize(720, 480));

    // Painted again without a new picture: the same image, whatever the buffer holds meanwhile.
    buffer = pattern(4);
    EXPECT_TRUE(samePixels(panes.image(0), expected(whole, pattern(3))));

    panes.clear();
    EXPECT_FALSE(panes.hasPicture(0));
    EXPECT_TRUE(panes.image(0).isNull());
}

TEST(LivePaneImages, PanesNotRedrawnKeepTheirPartOfTheBuffersOldPicture) {
    LivePaneImages panes([](const QRect&) {});
    // A quad picture in buffer 4 fills panes 4 to 7, as the 16-pane layout draws it.
    frame::DecodedPicture buffer = pattern(1);
    std::vector<PaneDraw> quad;
    for (int q = 0; q < 4; ++q) {
        quad.push_back(paneDraw(4 + q, 4, PaneRect{180 * q, 0, 180 * q + 176, 120},
                                frame::PixelRect{(q & 1) * 360, (q >> 1) * 120, 360, 120}));
        panes.draw(quad.back(), buffer);
    }
    // Pane 5 was painted before the change, pane 6 not yet; the next picture in the buffer draws only
    // pane 4 (another kind of picture), so panes 5 to 7 go on showing the quad's parts.
    const QImage paintedBefore = panes.image(5);
    const PaneDraw single = paneDraw(4, 4, quad[0].pane, frame::PixelRect{0, 0, 720, 240});
    panes.bufferChanging(4, 1u << 4);
    buffer = pattern(2);
    panes.draw(single, buffer);

    const frame::DecodedPicture old = pattern(1);
    EXPECT_TRUE(samePixels(panes.image(4), expected(single, pattern(2))));
    for (int q = 1; q < 4; ++q) {
        EXPECT_TRUE(samePixels(panes.image(4 + q), expected(quad[size_t(q)], old))) << "pane " << 4 + q;
    }
    EXPECT_TRUE(samePixels(paintedBefore, panes.image(5)));

    // Another buffer changing leaves these panes alone; all buffers cleared keep what the panes show.
    panes.bufferChanging(3, 0);
    for (int channel = 0; channel < kChannelCount; ++channel)
        panes.bufferChanging(channel, 0);
    std::memset(buffer.pixels.data(), 0, buffer.pixels.size());
    EXPECT_TRUE(samePixels(panes.image(4), expected(single, pattern(2))));
    EXPECT_TRUE(samePixels(panes.image(7), expected(quad[3], old)));
}

}  // namespace
}  // namespace dvr::live
