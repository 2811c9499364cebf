// The playback window on the offscreen platform, judged by what it shows.
#include "viewer/playback/widgets/PlaybackWindow.h"

#include "common/skin/widgets/DateCalendar.h"
#include "common/skin/widgets/SkinButton.h"
#include "tests/viewer/playback/PlaybackWindowTestSupport.h"
#include "tools/synth/Synth.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QTest>

#include <vector>

namespace dvr::playback {
namespace {

class PlaybackWindowTest : public windowtest::PlaybackWindowFixture {
protected:
    void SetUp() override {
        PlaybackWindowFixture::SetUp();
        if (!window)
            return;
        window->refresh();
        window->show();
    }

    // The channel whose colour fills a pane (sampled away from the digits and code marks).
    int shownChannel(const QImage& screen, int channel) {
        const QRect pane = window->paneRect(channel);
        const QPoint p = pane.topLeft() + QPoint(pane.width() / 8, pane.height() * 3 / 8);
        return synth::nearestSignatureChannel(screen.pixel(p) & 0xFFFFFF);
    }
};

TEST_F(PlaybackWindowTest, ButtonsDriveTheController) {
    EXPECT_TRUE(window->idleTimerActive());
    skin::SkinButton* forward = window->button(command::kPlayFirst + int(PlayButton::Forward));
    ASSERT_NE(forward, nullptr);
    QTest::mouseClick(forward, Qt::LeftButton, {}, forward->rect().center());
    QCoreApplication::processEvents();  // the button's command is queued
    EXPECT_TRUE(controller.playing());
    ASSERT_FALSE(link.requests.empty());
    EXPECT_EQ(link.requests.back(), RequestKind::PlaySearch);
    EXPECT_TRUE(forward->checked());
    EXPECT_FALSE(window->button(command::kPlayFirst + int(PlayButton::Pause))->checked());

    // Playing locks the calendar; it shows the request date.
    EXPECT_FALSE(window->calendar()->isEnabled());
    EXPECT_EQ(window->calendar()->date(), QDate(2006, 1, 2));

    window->press(command::kChannelFirst + 13);
    for (int c = 0; c < kPaneCount; ++c)
        EXPECT_EQ(window->button(command::kChannelFirst + c)->checked(), c >= 12) << c;

    window->press(command::kExit);  // pauses first
    EXPECT_FALSE(controller.playing());
    EXPECT_TRUE(controller.isOpen());
    window->press(command::kExit);
    EXPECT_FALSE(controller.isOpen());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(link.requests.back(), RequestKind::LivePicture);
}

TEST_F(PlaybackWindowTest, EveryPaneKeepsItsOwnChannelAfterAChangeOfKind) {
    deliver(frame::PictureKind::Quad, 0);
    QImage screen = window->grab().toImage();
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(shownChannel(screen, c), c) << "quad, pane " << c;

    deliver(frame::PictureKind::Single, 1);
    screen = window->grab().toImage();
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(shownChannel(screen, c), c) << "after the full picture, pane " << c;
}

// Records the region of every paint the window gets.
class PaintRegions : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
    QRegion painted;
};

// Counts the paints the window itself gets (the parts under its children included).
class PaintCount : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

// Pictures as fast as the recorder sends them, each with its own time (the clock text changes, the slider
// moves): the window repaints at most once per display period, not once per picture for the slider, the
// texts or the wheel.
TEST_F(PlaybackWindowTest, PicturesAtFullRateRepaintTheWindowPacedNotPerPicture) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QCoreApplication::processEvents();
    PaintCount count;
    window->installEventFilter(&count);
    constexpr int kPictures = 60;
    QElapsedTimer elapsed;
    elapsed.start();
    for (int i = 0; i < kPictures; ++i) {
        const DateTime at{2006, 1, 2, 3, 10 + i / 60, i % 60};
        controller.pictureTime(link::packDateWord(at), link::packTimeWord(at));
        deliver(frame::PictureKind::Single, i % 4);
        window->refreshLater();
        QCoreApplication::processEvents();
    }
    const qint64 ms = elapsed.elapsed();
    window->removeEventFilter(&count);
    EXPECT_EQ(window->picturesShown(), quint64(kPictures));
    // One paint at once, then one per 16 ms period at most, whatever this machine's speed.
    EXPECT_LE(count.paints, 2 + int(ms / 16)) << kPictures << " pictures in " << ms << " ms";
}

// The single pane shrinks to the centred half when quad pictures replace full ones: the whole picture
// area is repainted, so nothing of the larger picture stays around the smaller pane.
TEST_F(PlaybackWindowTest, AChangeOfPictureFormatRepaintsThePictureArea) {
    window->press(command::kModeOne);
    deliver(frame::PictureKind::Single, 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QCoreApplication::processEvents();
    PaintRegions paints;
    window->installEventFilter(&paints);
    deliver(frame::PictureKind::Quad, 0);
    QCoreApplication::processEvents();
    window->removeEventFilter(&paints);
    EXPECT_NE(window->paneRect(0).size(), window->pictureArea().size() - QSize(2, 2));
    // Every pixel of the picture area was painted again.
    EXPECT_TRUE((QRegion(window->pictureArea()) - paints.painted).isEmpty());
}

}  // namespace
}  // namespace dvr::playback
