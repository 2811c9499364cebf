// The repaint pacer of the picture windows: a repaint after a quiet period comes at once, later ones at
// most once per period; while pictures flow, a due repaint waits for the moment a picture was handed to
// the decode worker, and no longer than one more period.
#include <QPaintEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <initializer_list>

#include "common/skin/widgets/RepaintPacer.h"
#include "tests/support/EventLoopWait.h"

namespace {

using dvr::skin::RepaintPacer;
using dvr::testsupport::runEventsUntil;

// A window that counts its paints and keeps the region of the last one.
class PaintCounter : public QWidget {
public:
    PaintCounter() {
        resize(200, 100);
        show();
    }
    int paints = 0;
    QRegion lastRegion;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        lastRegion = event->region();
    }
};

// Runs what is posted now (a repaint asked for is among it) without waiting for any timer.
void runPosted() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Each test starts with the window shown and its first paint done, counting paints from zero.
class RepaintPacerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(runEventsUntil([&] { return window.paints > 0; }));
        runPosted();
        window.paints = 0;
    }
    PaintCounter window;
};

// Pictures flow (one just went to the decoder) when the rectangles are asked for: the repaint waits.
void askWhilePicturesFlow(RepaintPacer& pacer, const PaintCounter& window,
                          std::initializer_list<QRect> rects) {
    pacer.decodeStarted();
    for (const QRect& rect : rects)
        pacer.update(rect);
    runPosted();
    EXPECT_EQ(window.paints, 0);
}

TEST_F(RepaintPacerTest, ARepaintAfterAQuietPeriodComesAtOnceAndTheNextWaitsForThePeriod) {
    RepaintPacer pacer(window, 60000);
    int hooks = 0;
    pacer.setBeforeRepaint([&] { ++hooks; });

    pacer.update(QRect(0, 0, 10, 10));
    ASSERT_TRUE(runEventsUntil([&] { return window.paints == 1; }));
    EXPECT_TRUE(window.lastRegion.contains(QRect(0, 0, 10, 10)));
    EXPECT_EQ(hooks, 1);

    // Within the period: nothing yet, not even when a picture goes to the decoder.
    pacer.update(QRect(20, 0, 10, 10));
    pacer.decodeStarted();
    runPosted();
    EXPECT_EQ(window.paints, 1);
    EXPECT_EQ(hooks, 1);
}

TEST_F(RepaintPacerTest, WhilePicturesFlowADueRepaintWaitsForTheNextDecode) {
    RepaintPacer pacer(window, 60000);
    // Due at once, but a picture is on its way: the window's thread waits for the next decode.
    askWhilePicturesFlow(pacer, window, {QRect(0, 0, 10, 10), QRect(50, 50, 10, 10)});

    pacer.decodeStarted();
    ASSERT_TRUE(runEventsUntil([&] { return window.paints == 1; }));
    EXPECT_TRUE(window.lastRegion.contains(QRect(0, 0, 10, 10)));
    EXPECT_TRUE(window.lastRegion.contains(QRect(50, 50, 10, 10)));

    // One repaint for both; a second decode asks for nothing more.
    pacer.decodeStarted();
    runPosted();
    EXPECT_EQ(window.paints, 1);
}

TEST_F(RepaintPacerTest, AWaitForADecodeThatNeverComesEndsAfterOneMorePeriod) {
    RepaintPacer pacer(window, 300);
    askWhilePicturesFlow(pacer, window, {QRect(0, 0, 10, 10)});
    // The pictures stopped (the last one was the one just handed over): the repaint still comes.
    ASSERT_TRUE(runEventsUntil([&] { return window.paints == 1; }));
    EXPECT_TRUE(window.lastRegion.contains(QRect(0, 0, 10, 10)));
}

}  // namespace
