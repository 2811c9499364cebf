// The Discoro window on its real clock: the longest wait between groups (frames-per-group byte 255,
// delay "  32") gives way at once to PAUSE, to opening another file and to closing the window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "player/view/PlayerControlIds.h"
#include "player/widgets/PlayerView.h"
#include "tests/player/widgets/PlayerWindowTestSupport.h"
#include "tools/zavgen/BackupGenerator.h"

using namespace dvr::skin;

namespace dvr::player {
namespace {

namespace fs = std::filesystem;

// A minimal skin: the window and the picture area; no bitmaps.
constexpr const char* kResIni = R"([MAIN POS]
POS_SKIN=<0><0><1000><640>
POS_OVERLAY_TERM=<20><30><720><480>
POS_SLIDE=<20><600><728><16>
POS_SPEED_VAL=<760><300><60><20>
POS_DELAY_VAL=<760><330><60><20>
[CH POS]
POS_PAGE_VAL=<760><360><60><20>
[INFO]
PAL=1
)";

// What the user may wait for after a request.
constexpr qint64 kPromptMs = 100;

class PlayerWaitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = fs::temp_directory_path() / ("discoro-wait-" + std::to_string(::getpid()));
        fs::create_directories(s_dir / "home");
        std::ofstream(s_dir / "home" / "res.ini") << kResIni;
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    // A short 4-channel PAL file whose every record says 255 frames per group: with delay "  32" the
    // thread waits 32 x 255 / 50 = 163.2 s after the first record.
    static QString slowFile(const std::string& name) {
        zavgen::GeneratorOptions options;
        options.channelCount = 4;
        options.pal = true;
        options.framesPerGroup = 255;
        options.durationSeconds = 12;
        options.syntheticPictures = false;
        options.codestreamBytes = 6000;
        return QString::fromStdString(windowtest::generate(s_dir, name, options));
    }

    // Runs the event loop in short slices until done() or the time-out.
    static bool waitFor(const std::function<bool()>& done, int timeoutMs = testsupport::kStateWaitMs) {
        return testsupport::runEventsUntil(done, timeoutMs, 5);
    }

    static inline fs::path s_dir;
    RecordingSkinNotifier m_messages;
};

TEST_F(PlayerWaitTest, PauseAnotherFileAndClosingEndTheLongestWaitBetweenGroups) {
    const QString first = slowFile("first.zav");
    const QString second = slowFile("second.zav");
    PlayerView::Options options;
    options.programFolder = (s_dir / "home").string();
    options.notifier = &m_messages;
    auto view = std::make_unique<PlayerView>(options);
    ASSERT_TRUE(view->created());
    view->show();
    for (int i = 0; i < 5; ++i) {
        view->pressControl(control::kDelayUp);
    }
    ASSERT_EQ(view->shared().delayIndex.load(), 6);

    // Opening starts the thread; after the first record it waits between groups.
    ASSERT_TRUE(view->openFile(first));
    ASSERT_TRUE(waitFor([&] { return view->shared().waiting.load(); }));
    QElapsedTimer timer;
    timer.start();
    view->pressControl(control::kPause);
    ASSERT_TRUE(waitFor([&] { return !view->shared().waiting.load(); }));
    EXPECT_LT(timer.elapsed(), kPromptMs) << "pause";
    EXPECT_EQ(view->shared().mode(), media::PlayMode::Pause);

    // Another file while the thread waits.
    ASSERT_TRUE(view->openFile(first));
    ASSERT_TRUE(waitFor([&] { return view->shared().waiting.load(); }));
    timer.restart();
    ASSERT_TRUE(view->openFile(second));
    EXPECT_LT(timer.elapsed(), kPromptMs) << "open";

    // EXIT while the thread waits on the second file.
    ASSERT_TRUE(waitFor([&] { return view->shared().waiting.load(); }));
    timer.restart();
    view->pressControl(control::kExit);
    EXPECT_LT(timer.elapsed(), kPromptMs) << "exit";
    EXPECT_FALSE(view->isVisible());
    EXPECT_EQ(view->shared().runFlag.load(), 0);
    view.reset();
}

}  // namespace
}  // namespace dvr::player
