#include "viewer/playback/widgets/PaneImageCache.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

using dvr::playback::PaneImageCache;

QImage gradient(int width, int height, int shift) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 3 + shift) & 0xFF, (y * 5 + shift) & 0xFF, (x + y) & 0xFF));
    return image;
}

// What painting the source straight into the pane gave before panes were kept.
QImage paintedStraight(const QImage& image, const QRect& source, QSize size) {
    QImage target(size, QImage::Format_RGB32);
    QPainter painter(&target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), size), image, source);
    return target;
}

TEST(PaneImageCache, ScalesOncePerPictureAndShowsWhatPaintingStraightShowed) {
    PaneImageCache cache;
    QImage picture = gradient(720, 240, 0);
    const QRect quarter(360, 0, 360, 120);
    const QSize pane(180, 120);
    cache.pictureChanged(0);

    const QImage first = cache.scaled(1, 0, picture, quarter, pane);
    EXPECT_EQ(first, paintedStraight(picture, quarter, pane));
    for (int paint = 0; paint < 5; ++paint)
        cache.scaled(1, 0, picture, quarter, pane);
    EXPECT_EQ(cache.scalings(), 1u);

    // The next picture of the same buffer is scaled at its first paint, and only then.
    picture = gradient(720, 240, 40);
    cache.pictureChanged(0);
    EXPECT_EQ(cache.scalings(), 1u);
    EXPECT_EQ(cache.scaled(1, 0, picture, quarter, pane), paintedStraight(picture, quarter, pane));
    EXPECT_EQ(cache.scalings(), 2u);
}

TEST(PaneImageCache, AnotherBufferSizeOrSourceScalesAgainButOtherPicturesDoNot) {
    PaneImageCache cache;
    const QImage picture = gradient(720, 480, 7);
    const QRect whole(0, 0, 720, 480);
    cache.pictureChanged(3);
    cache.scaled(3, 3, picture, whole, QSize(180, 120));
    ASSERT_EQ(cache.scalings(), 1u);

    // A picture for another buffer leaves this pane's copy alone.
    cache.pictureChanged(5);
    cache.scaled(3, 3, picture, whole, QSize(180, 120));
    EXPECT_EQ(cache.scalings(), 1u);

    // The layout grew (16 panes to one): the pane is scaled at its new size from the same picture.
    const QImage big = cache.scaled(3, 3, picture, whole, QSize(720, 480));
    EXPECT_EQ(big.size(), QSize(720, 480));
    EXPECT_EQ(big, paintedStraight(picture, whole, QSize(720, 480)));
    EXPECT_EQ(cache.scalings(), 2u);

    // Another part of the picture (the pane now shows the other field's channel) and a cleared
    // window are scaled again too.
    cache.scaled(3, 3, picture, QRect(0, 240, 720, 240), QSize(720, 480));
    EXPECT_EQ(cache.scalings(), 3u);
    cache.clear();
    cache.scaled(3, 3, picture, QRect(0, 240, 720, 240), QSize(720, 480));
    EXPECT_EQ(cache.scalings(), 4u);

    // A pane or buffer outside the sixteen gives nothing.
    EXPECT_TRUE(cache.scaled(16, 3, picture, whole, QSize(10, 10)).isNull());
    EXPECT_TRUE(cache.scaled(0, -1, picture, whole, QSize(10, 10)).isNull());
}

}  // namespace
