#include "common/skin/widgets/ViewerSlider.h"
#include "tests/common/skin/widgets/QtTestApp.h"

#include <QImage>

#include <gtest/gtest.h>

using dvr::skin::PlayerSlider;
using dvr::skin::ViewerSlider;

namespace {
class SliderWidgetTest : public ::testing::Test {};

QImage image(int w, int h, QColor colour) {
    QImage i(w, h, QImage::Format_RGB32);
    i.fill(colour);
    return i;
}
}  // namespace

TEST_F(SliderWidgetTest, ViewerSliderDragNotifiesCodeFiveWithThumbX) {
    ViewerSlider s;
    ASSERT_TRUE(s.load(image(592, 24, Qt::darkGray), image(14, 24, Qt::cyan)).isEmpty());
    s.resize(592, 24);
    s.setRange(0, 86399);
    std::vector<std::pair<int, int>> notes;
    QObject::connect(&s, &ViewerSlider::horizontalScroll, &s, [&](int code, int thumbX, ViewerSlider* from) {
        EXPECT_EQ(from, &s);
        notes.emplace_back(code, thumbX);
    });
    press(s, {300, 10});
    EXPECT_TRUE(notes.empty()) << "the press itself does not notify";
    moveHeld(s, {100, 10});
    release(s, {300, 10});
    EXPECT_EQ(notes, (std::vector<std::pair<int, int>>{{5, 93}, {5, 293}}));
    EXPECT_EQ(s.position(), 86399 * 293 / 578);
    EXPECT_FALSE(s.dragging());
    moveHeld(s, {50, 10});
    EXPECT_EQ(notes.size(), 2u) << "moves after the release do not drag";
}

TEST_F(SliderWidgetTest, ViewerSliderPaintsThumbWithItsCornerColourTransparent) {
    ViewerSlider s;
    QImage thumb = image(14, 24, Qt::magenta);
    for (int y = 4; y < 20; ++y)
        for (int x = 3; x < 11; ++x)
            thumb.setPixel(x, y, QColor(Qt::cyan).rgb());
    ASSERT_TRUE(s.load(image(592, 24, Qt::darkGray), thumb).isEmpty());
    s.resize(592, 24);
    s.setRange(0, 86399);
    s.setPosition(149 * 100);
    const QImage shot = s.grab().toImage();
    EXPECT_EQ(shot.pixel(100, 0), QColor(Qt::darkGray).rgb()) << "key colour shows the track";
    EXPECT_EQ(shot.pixel(105, 10), QColor(Qt::cyan).rgb());
}

TEST_F(SliderWidgetTest, ViewerSliderReportsMissingBitmaps) {
    ViewerSlider s;
    EXPECT_EQ(s.load(QImage(), image(14, 24, Qt::cyan)), QStringList{QStringLiteral("MSG_029")});
    EXPECT_EQ(s.load(image(10, 10, Qt::gray), QImage()), QStringList{QStringLiteral("MSG_030")});
    EXPECT_EQ(s.load(QStringLiteral("/nonexistent/a.bmp"), QStringLiteral("/nonexistent/b.bmp")),
              (QStringList{QStringLiteral("MSG_029"), QStringLiteral("MSG_030")}));
    EXPECT_EQ(ViewerSlider::defaultMessage(QStringLiteral("MSG_029")),
              QStringLiteral("Can't read bmp file1!"));
    EXPECT_EQ(ViewerSlider::defaultMessage(QStringLiteral("MSG_030")),
              QStringLiteral("Can't read bmp file2!"));
}

TEST_F(SliderWidgetTest, PlayerSliderSendsCommandAfterDragOnly) {
    PlayerSlider s;
    s.setImages(image(8, 8, Qt::darkGray), image(18, 20, Qt::cyan));
    s.place(QRect(0, 0, 728, 20));
    s.setReleaseDelayMs(0);
    s.setNotifyTarget(1067);
    std::vector<int> commands;
    QObject::connect(&s, &PlayerSlider::command, &s, [&](int id, PlayerSlider*) { commands.push_back(id); });

    press(s, {300, 10});
    release(s, {300, 10});
    EXPECT_TRUE(commands.empty()) << "a jump is not a drag";
    EXPECT_EQ(s.position(), 300);

    press(s, {300, 10});  // on the thumb now (291..308)
    moveHeld(s, {725, 10});
    EXPECT_EQ(s.thumbXPx(), 710);
    release(s, {725, 10});
    EXPECT_EQ(commands, std::vector<int>{1067});
    EXPECT_EQ(s.position(), 728);
    EXPECT_EQ(s.thumbXPx(), 710);
}

TEST_F(SliderWidgetTest, PlayerSliderWithoutTargetStaysSilent) {
    PlayerSlider s;
    s.place(QRect(0, 0, 200, 20));
    s.setReleaseDelayMs(0);
    int commands = 0;
    QObject::connect(&s, &PlayerSlider::command, &s, [&](int, PlayerSlider*) { ++commands; });
    press(s, {4, 10});
    release(s, {4, 10});
    EXPECT_EQ(commands, 0);
    EXPECT_EQ(s.position(), 0);
}
