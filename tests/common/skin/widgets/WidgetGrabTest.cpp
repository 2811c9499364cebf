// Pictures rendered off-screen for saving, printing and recording come out at the rectangle's own size,
// whatever the screen's scaling: texts placed on them by pixel position land where they belong.
#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

#include "common/skin/widgets/WidgetGrab.h"

namespace {

using dvr::skin::atOwnSize;
using dvr::skin::grabAtOwnSize;

TEST(WidgetGrab, ARenderingForAScalingScreenIsScaledBackToItsOwnSize) {
    // What a screen at twice the density renders for a 100 x 50 rectangle: left half red, right half blue.
    QImage rendered(200, 100, QImage::Format_RGB32);
    rendered.fill(Qt::blue);
    QPainter(&rendered).fillRect(0, 0, 100, 100, Qt::red);
    rendered.setDevicePixelRatio(2.0);

    const QImage own = atOwnSize(rendered, QSize(100, 50));
    EXPECT_EQ(own.size(), QSize(100, 50));
    EXPECT_EQ(own.devicePixelRatio(), 1.0);
    EXPECT_EQ(own.pixelColor(10, 25), QColor(Qt::red));
    EXPECT_EQ(own.pixelColor(90, 25), QColor(Qt::blue));

    // At its own size already: the same pixels.
    QImage plain(30, 20, QImage::Format_RGB32);
    plain.fill(Qt::green);
    EXPECT_EQ(atOwnSize(plain, QSize(30, 20)), plain);
}

class Filled : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        painter.fillRect(10, 10, 20, 10, Qt::yellow);
    }
};

TEST(WidgetGrab, AGrabIsTheRectanglesOwnSizeInTheFormatAsked) {
    Filled widget;
    widget.resize(60, 40);
    const QImage shot = grabAtOwnSize(widget, QRect(10, 10, 20, 10), QImage::Format_BGR888);
    EXPECT_EQ(shot.size(), QSize(20, 10));
    EXPECT_EQ(shot.format(), QImage::Format_BGR888);
    EXPECT_EQ(shot.devicePixelRatio(), 1.0);
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::yellow));
    EXPECT_EQ(shot.pixelColor(19, 9), QColor(Qt::yellow));
}

}  // namespace
