// The player's controls apart from the window: the position slider's release and the image edit
// window's CLOSE while SAVE's manifest is still being made.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <string>
#include <vector>

#include "common/evidence/SourceDigest.h"
#include "common/skin/SkinNotifier.h"
#include "player/edit/EditWindowModel.h"
#include "player/widgets/EditWindow.h"
#include "player/widgets/PositionSlider.h"
#include "tests/player/widgets/PlayerWindowTestSupport.h"
#include "tests/support/TempFolder.h"

using namespace dvr::skin;

namespace dvr::player {
namespace {

using windowtest::waitFor;

TEST(PositionSliderTest, ReportsAReleaseHalfASecondAfterTheButtonComesUp) {
    PositionSlider slider;
    slider.resize(728, 16);
    slider.show();
    std::vector<int> released;
    QObject::connect(&slider, &PositionSlider::released, [&](int value) { released.push_back(value); });
    const auto mouse = [&](QEvent::Type type, int x, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(x, 8), slider.mapToGlobal(QPointF(x, 8)), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(&slider, &event);
    };
    mouse(QEvent::MouseButtonPress, 9, Qt::LeftButton);  // on the thumb
    mouse(QEvent::MouseMove, 364, Qt::LeftButton);
    QElapsedTimer held;
    held.start();
    mouse(QEvent::MouseButtonRelease, 364, Qt::NoButton);
    EXPECT_TRUE(released.empty());
    slider.setValue(0);  // playback moving on meanwhile does not take the thumb back
    ASSERT_TRUE(waitFor([&] { return !released.empty(); }, 5000));
    EXPECT_GE(held.elapsed(), PositionSlider::kReleaseWaitMs - 5);  // a timer may fire a millisecond early
    ASSERT_EQ(released.size(), 1u);
    EXPECT_NEAR(released[0], 355, 2);
    EXPECT_EQ(slider.value(), released[0]);

    // Another file opens before a release was reported: the release is dropped and the thumb follows
    // playback again at once.
    mouse(QEvent::MouseButtonPress, 364, Qt::LeftButton);
    mouse(QEvent::MouseMove, 600, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, 600, Qt::NoButton);
    slider.cancelRelease();
    slider.setValue(0);
    EXPECT_EQ(slider.value(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(released.size(), 1u);
}

// CLOSE while a SAVE's manifest is still being made waits for it: a manifest that could not be written
// is still said, and only then does the window close.
class CountingPrinter final : public StillPrinter {
public:
    PrintResult print(QWidget*, const PrintFacts&, const QImage&) override {
        ++printed;
        return PrintResult::Printed;
    }
    int printed = 0;
};

TEST(EditWindowTest, CloseWhileTheManifestIsMadeWaitsForItsOutcome) {
    testsupport::TempFolder home;
    RecordingSkinNotifier messages;
    PlayerSkinReader skin(home.path(), nullptr);
    evidence::SourceDigest notStarted;  // not ready: the manifest is made on its own thread
    EditWindow::Options options;
    options.skin = &skin;
    options.programFolder = home.path();
    options.notifier = &messages;
    CountingPrinter printer;
    options.printer = &printer;
    EditPicture picture;
    picture.image.width = 64;
    picture.image.height = 48;
    picture.image.bgr.assign(size_t(64) * 48 * 3, 0x80);
    picture.time = DateTime{2026, 5, 17, 12, 0, 0};
    picture.backupPath = home.file("gone.zav");  // the manifest cannot name a file that is gone
    picture.sourceDigest = &notStarted;
    EditWindow edit(options, picture);
    int closed = 0;
    QObject::connect(&edit, &EditWindow::closed, [&] { ++closed; });
    edit.pressControl(edit::kSave);
    ASSERT_TRUE(edit.saving());
    // A second SAVE meanwhile is refused aloud, not dropped in silence.
    edit.pressControl(edit::kSave);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text, kSaveWaitsMessage);
    edit.pressControl(edit::kClose);
    EXPECT_EQ(closed, 0);
    // While the close waits, nothing else starts: no print dialog could still be open when it closes.
    edit.pressControl(edit::kPrint);
    EXPECT_EQ(printer.printed, 0);
    ASSERT_TRUE(waitFor([&] { return closed == 1; }));
    EXPECT_FALSE(edit.saving());
    ASSERT_EQ(messages.messages().size(), 2u);
    EXPECT_NE(messages.messages()[1].text.find("gone.zav"), std::string::npos) << messages.messages()[1].text;
}

}  // namespace
}  // namespace dvr::player
