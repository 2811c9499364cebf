// Opens generated backup files in the Discoro window (offscreen), plays or steps them and
// checks that every pane shows its channel's signature colour in each layout.
#include "player/widgets/PlayerView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "player/view/PlayerControlIds.h"
#include "tests/player/widgets/PlayerWindowTestSupport.h"
#include "tools/synth/Synth.h"
#include "tools/zavgen/BackupGenerator.h"

using namespace dvr::skin;

namespace dvr::player {
namespace {

namespace fs = std::filesystem;
using windowtest::waitFor;

// A minimal skin: the window, the picture area and the buttons the test presses; no bitmaps.
constexpr const char* kResIni = R"([MAIN POS]
POS_SKIN=<0><0><1000><640>
POS_OVERLAY_TERM=<20><30><720><480>
POS_SLIDE=<20><600><728><16>
POS_AUDIO=<760><400><220><40>
POS_SPEED_VAL=<760><300><60><20>
POS_DELAY_VAL=<760><330><60><20>
[CH POS]
POS_PAGE_VAL=<760><360><60><20>
[INFO]
PAL=0
)";

class PlayerViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = fs::temp_directory_path() / ("discoro-view-" + std::to_string(::getpid()));
        fs::create_directories(s_dir / "home");
        std::ofstream(s_dir / "home" / "res.ini") << kResIni;
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    static std::string generate(const std::string& name, const zavgen::GeneratorOptions& options) {
        return windowtest::generate(s_dir, name, options);
    }

    std::unique_ptr<PlayerView> makeView() { return windowtest::makeView(s_dir / "home", m_messages); }

    // The channel whose signature colour each pane of the current page shows (-1: none).
    static std::vector<int> paneChannels(PlayerView& view) {
        QApplication::processEvents();
        const QImage shot = view.grab().toImage();
        const PlayerViewModel& model = view.model();
        std::vector<int> seen;
        for (int i = 0; i < model.pageChannelCount(); ++i) {
            const PaneRect pane = model.channelPane(model.pageChannel(i));
            // Left of the big channel number, below the code marks, above the texts.
            const QRgb rgb = shot.pixel(pane.left + 6, pane.top + pane.height() / 2);
            const bool black = qRed(rgb) + qGreen(rgb) + qBlue(rgb) < 24;
            seen.push_back(black ? -1 : synth::nearestSignatureChannel(rgb & 0xFFFFFF));
        }
        return seen;
    }

    static bool allChannelsStored(const PlayerView& view) {
        for (int c = 0; c < 16; ++c) {
            if (!view.pictures().channelTime(c)) {
                return false;
            }
        }
        return view.model().presentMask() == 0xFFFF;
    }

    static std::vector<int> expectedPage(const PlayerView& view) {
        std::vector<int> channels;
        for (int i = 0; i < view.model().pageChannelCount(); ++i) {
            channels.push_back(view.model().pageChannel(i));
        }
        return channels;
    }

    static inline fs::path s_dir;
    RecordingSkinNotifier m_messages;
};

TEST_F(PlayerViewTest, StoredValuesStayInThePerUserCopyOnceThereIsOne) {
    const fs::path shipped = s_dir / "home" / "res.ini";
    const fs::path user = s_dir / "user";
    fs::create_directories(user);
    // The copy holds an old layout; the shipped file must not change.
    std::ofstream(user / "res.ini") << kResIni << "MODE=1\n";
    const auto read = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string shippedBefore = read(shipped);
    int layout = 0;
    {
        PlayerView::Options options;
        options.programFolder = (s_dir / "home").string();
        options.userFolder = user.string();
        options.notifier = &m_messages;
        options.paced = false;
        PlayerView view(options);
        ASSERT_TRUE(view.created());
        layout = view.model().layout();
    }
    EXPECT_NE(layout, 1);
    EXPECT_NE(read(user / "res.ini").find("MODE=" + std::to_string(layout)), std::string::npos);
    EXPECT_EQ(read(shipped), shippedBefore);
    fs::remove_all(user);
}

TEST_F(PlayerViewTest, EveryLayoutShowsEachChannelsColour) {
    struct Case {
        const char* name;
        zavgen::PictureLayout layout;
        bool pal;
        int family = 1;
        bool sound = false;
    };
    const Case cases[] = {
        {"full.zav", zavgen::PictureLayout::Full, false},
        {"frame.zav", zavgen::PictureLayout::Frame, true},
        {"quad.zav", zavgen::PictureLayout::Quad, false},
        // The demo's sample file: quad field pairs from a recorder with sound.
        {"quad-sound.zav", zavgen::PictureLayout::Quad, false, 3, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        zavgen::GeneratorOptions options;
        options.channelCount = 16;
        options.layout = k.layout;
        options.pal = k.pal;
        options.layoutFamily = k.family;
        options.sound = k.sound;
        options.durationSeconds = 12;
        options.groupIntervalSeconds = 4;
        const std::string path = generate(k.name, options);

        auto view = makeView();
        ASSERT_TRUE(view->created());
        ASSERT_TRUE(view->openFile(QString::fromStdString(path)));
        EXPECT_EQ(view->model().layout(), 4);
        // The file opens by showing its first group of pictures and pausing.
        ASSERT_TRUE(waitFor([&] { return allChannelsStored(*view); }));
        EXPECT_EQ(view->model().pal(), k.pal);
        EXPECT_EQ(paneChannels(*view), expectedPage(*view));

        // Play to the end; the last group is shown again and playback pauses.
        bool ended = false;
        QObject::connect(view.get(), &PlayerView::reachedEnd, [&] { ended = true; });
        view->pressControl(control::kFPlay);
        ASSERT_TRUE(waitFor([&] { return ended; }));
        ASSERT_TRUE(waitFor([&] { return view->shared().mode() == media::PlayMode::Pause; }));
        EXPECT_FALSE(view->controlEnabled(control::kFPlay));
        EXPECT_TRUE(view->controlEnabled(control::kStart));

        for (int id : {control::kMode9, control::kMode4, control::kMode1}) {
            view->pressControl(id);
            const std::vector<int> expected = expectedPage(*view);
            EXPECT_EQ(paneChannels(*view), expected) << "layout button " << id;
        }
        view->pressControl(control::kMode9);
        view->pressControl(control::kNextPage);
        EXPECT_EQ(view->model().pageText(), "2");
        EXPECT_EQ(paneChannels(*view), (std::vector<int>{9, 10, 11, 12, 13, 14, 15}));
        view->pressControl(control::kChannel1 + 13);
        EXPECT_EQ(paneChannels(*view), (std::vector<int>{13}));
    }
    EXPECT_TRUE(m_messages.messages().empty());
}

TEST_F(PlayerViewTest, EachPaneShowsOnlyItsOwnChannelWhileThePictureKindChanges) {
    zavgen::GeneratorOptions options;
    options.channelCount = 16;
    options.layout = zavgen::PictureLayout::Mixed;
    options.durationSeconds = 24;  // one of each change of kind
    options.groupIntervalSeconds = 4;
    options.framesPerGroup = 2;  // each step shows two records: the kinds change within a step's reach
    const std::string path = generate("mixed.zav", options);
    auto view = makeView();
    ASSERT_TRUE(view->openFile(QString::fromStdString(path)));
    ASSERT_EQ(view->model().layout(), 4);
    ASSERT_TRUE(waitFor([&] { return view->storedPictures() >= 1; }));
    ASSERT_TRUE(waitFor([&] { return view->shared().mode() == media::PlayMode::Pause; }));

    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    for (int step = 0; step < 31; ++step) {  // the 62 records after the first two
        SCOPED_TRACE(step);
        QApplication::sendEvent(view.get(), &right);
        ASSERT_TRUE(waitFor([&] { return view->shared().mode() == media::PlayMode::Pause; }));
        const std::vector<int> shown = paneChannels(*view);
        for (int channel = 0; channel < 16; ++channel) {
            const int seen = shown[static_cast<size_t>(channel)];
            EXPECT_TRUE(seen == channel || seen == -1)
                << "pane " << channel + 1 << " shows channel " << seen + 1;
        }
    }
    // The last group holds full pictures of every channel.
    EXPECT_EQ(paneChannels(*view), expectedPage(*view));
}

TEST_F(PlayerViewTest, WholeFrameQuadPicturesAreNotShown) {
    zavgen::GeneratorOptions options;
    options.channelCount = 16;
    options.layout = zavgen::PictureLayout::Quad;
    options.quadFieldPairs = false;
    options.durationSeconds = 8;
    const std::string path = generate("quad-whole.zav", options);
    auto view = makeView();
    ASSERT_TRUE(view->openFile(QString::fromStdString(path)));
    ASSERT_TRUE(waitFor([&] { return view->model().presentMask() == 0xFFFF; }));
    ASSERT_TRUE(waitFor([&] { return view->shared().mode() == media::PlayMode::Pause; }));
    EXPECT_EQ(view->storedPictures(), 0u);
    EXPECT_EQ(paneChannels(*view), std::vector<int>(16, -1));
}

TEST_F(PlayerViewTest, StepsAndSeeksThroughAFile) {
    zavgen::GeneratorOptions options;
    options.channelCount = 4;
    options.durationSeconds = 40;
    options.groupIntervalSeconds = 4;
    const std::string path = generate("steps.zav", options);
    auto view = makeView();
    ASSERT_TRUE(view->openFile(QString::fromStdString(path)));
    EXPECT_EQ(view->model().layout(), 2);
    ASSERT_TRUE(waitFor([&] { return view->storedPictures() >= 4; }));
    ASSERT_TRUE(waitFor([&] { return view->shared().mode() == media::PlayMode::Pause; }));

    const auto stored = view->storedPictures();
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(view.get(), &right);
    ASSERT_TRUE(waitFor([&] { return view->storedPictures() >= stored + 4; }));
    ASSERT_TRUE(waitFor([&] { return view->shared().mode() == media::PlayMode::Pause; }));
    EXPECT_EQ(paneChannels(*view), (std::vector<int>{0, 1, 2, 3}));

    // Space in pause plays forward (the remembered direction, forward when none).
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QApplication::sendEvent(view.get(), &space);
    EXPECT_EQ(view->model().navigationState(), NavigationState::Forward);
    EXPECT_FALSE(view->controlEnabled(control::kFPlay));

    view->pressControl(control::kEnd);
    ASSERT_TRUE(waitFor([&] { return view->shared().mode() == media::PlayMode::Pause; }));
    EXPECT_FALSE(view->controlEnabled(control::kEnd));
    EXPECT_TRUE(view->controlEnabled(control::kBPlay));
}

TEST_F(PlayerViewTest, TheDelayWaitShowsPause) {
    zavgen::GeneratorOptions options;
    options.channelCount = 4;
    options.durationSeconds = 40;
    options.groupIntervalSeconds = 1;
    const std::string path = generate("delay.zav", options);
    PlayerView::Options viewOptions;
    viewOptions.programFolder = (s_dir / "home").string();
    viewOptions.notifier = &m_messages;
    PlayerView view(viewOptions);  // paced: the delay wait runs
    view.show();
    EXPECT_FALSE(view.shownNavigationState());
    ASSERT_TRUE(view.openFile(QString::fromStdString(path)));
    // The first group is shown, then playback pauses.
    ASSERT_TRUE(waitFor([&] { return view.shared().mode() == media::PlayMode::Pause; }));
    EXPECT_TRUE(waitFor([&] { return view.shownNavigationState() == NavigationState::Pause; }));
    for (int i = 0; i < 5; ++i) {
        view.pressControl(control::kDelayUp);  // 32 fields per picture of a group
    }
    view.pressControl(control::kFPlay);
    EXPECT_EQ(view.shownNavigationState(), NavigationState::Forward);
    // Playing forward, the indicator shows PAUSE while the playback thread waits out the delay.
    EXPECT_TRUE(waitFor([&] { return view.shownNavigationState() == NavigationState::Pause; }, 10000));
    EXPECT_EQ(view.shared().mode(), media::PlayMode::Forward);
    view.pressControl(control::kPause);
}

// A sound device that plays at once and keeps every sample it was given.
class CapturingDevice final : public AudioDevice {
public:
    struct Store {
        std::mutex mutex;
        std::vector<int16_t> samples;
    };
    explicit CapturingDevice(std::shared_ptr<Store> store) : m_store(std::move(store)) {}
    bool queue(std::span<const int16_t> samples) override {
        std::lock_guard lock(m_store->mutex);
        m_store->samples.insert(m_store->samples.end(), samples.begin(), samples.end());
        return true;
    }
    size_t pendingSamples() const override { return 0; }

private:
    std::shared_ptr<Store> m_store;
};

// The frequency of a tone from its rising zero crossings.
double toneFrequency(const std::vector<int16_t>& samples) {
    int rising = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        rising += samples[i - 1] < 0 && samples[i] >= 0;
    }
    return rising * double(kSoundSampleRate) / double(samples.size());
}

TEST_F(PlayerViewTest, ForwardPlayWithSoundOnQueuesTheSelectedChannelsTone) {
    zavgen::GeneratorOptions options;
    options.channelCount = 4;
    options.layoutFamily = 3;
    options.sound = true;
    options.durationSeconds = 16;
    options.groupIntervalSeconds = 2;
    const std::string path = generate("sound.zav", options);

    for (int soundChannel : {1, 3}) {
        SCOPED_TRACE(soundChannel);
        auto store = std::make_shared<CapturingDevice::Store>();
        PlayerView::Options viewOptions;
        viewOptions.programFolder = (s_dir / "home").string();
        viewOptions.notifier = &m_messages;
        viewOptions.paced = false;
        viewOptions.audioFactory = [store](std::string*) { return std::make_unique<CapturingDevice>(store); };
        PlayerView view(viewOptions);
        view.show();
        ASSERT_TRUE(view.openFile(QString::fromStdString(path)));
        ASSERT_TRUE(view.model().soundControlsVisible());
        ASSERT_TRUE(waitFor(
            [&] { return view.storedPictures() >= 4 && view.shared().mode() == media::PlayMode::Pause; }));

        view.setSoundOn(true);
        EXPECT_EQ(view.model().layout(), 1);
        EXPECT_EQ(view.model().soundChannel(), 1);
        view.selectSoundChannel(soundChannel);
        {
            std::lock_guard lock(store->mutex);
            EXPECT_TRUE(store->samples.empty()) << "nothing is queued while paused";
        }
        bool ended = false;
        QObject::connect(&view, &PlayerView::reachedEnd, [&] { ended = true; });
        view.pressControl(control::kFPlay);
        ASSERT_TRUE(waitFor([&] { return ended; }));
        // Reaching the end switches sound off and gives the controls back.
        EXPECT_FALSE(view.model().soundOn());
        EXPECT_TRUE(view.controlEnabled(control::kMode4));

        std::lock_guard lock(store->mutex);
        ASSERT_GT(store->samples.size(), size_t(4 * kSoundSampleRate));
        EXPECT_NEAR(toneFrequency(store->samples), zavgen::toneHz(soundChannel - 1), 10.0);
    }
}

// A sound device that plays 8,000 samples per second of the steady clock.
class RealTimeDevice final : public AudioDevice {
public:
    bool queue(std::span<const int16_t> samples) override {
        std::lock_guard lock(m_mutex);
        const int64_t played = playedLocked();
        m_base = played;
        m_start = std::chrono::steady_clock::now();
        m_total += int64_t(samples.size());
        return true;
    }
    size_t pendingSamples() const override {
        std::lock_guard lock(m_mutex);
        return size_t(m_total - playedLocked());
    }

private:
    int64_t playedLocked() const {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start)
                .count();
        return std::min(m_total, m_base + ms * 8);
    }
    mutable std::mutex m_mutex;
    int64_t m_total = 0;
    int64_t m_base = 0;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

TEST_F(PlayerViewTest, SoundHoldsForwardPlayToTheSoundsOwnPace) {
    zavgen::GeneratorOptions options;
    options.channelCount = 4;
    options.layoutFamily = 3;
    options.sound = true;
    options.durationSeconds = 60;
    options.groupIntervalSeconds = 1;
    const std::string path = generate("sound-pace.zav", options);
    PlayerView::Options viewOptions;
    viewOptions.programFolder = (s_dir / "home").string();
    viewOptions.notifier = &m_messages;
    viewOptions.paced = false;  // no picture pacing: only the sound output can hold the reader back
    viewOptions.audioFactory = [](std::string*) { return std::make_unique<RealTimeDevice>(); };
    PlayerView view(viewOptions);
    view.show();
    ASSERT_TRUE(view.openFile(QString::fromStdString(path)));
    ASSERT_TRUE(waitFor(
        [&] { return view.storedPictures() >= 4 && view.shared().mode() == media::PlayMode::Pause; }));
    view.setSoundOn(true);
    bool ended = false;
    QObject::connect(&view, &PlayerView::reachedEnd, [&] { ended = true; });
    view.pressControl(control::kFPlay);
    QElapsedTimer wall;
    wall.start();
    waitFor([&] { return ended; }, 1500);
    // A minute of sound cannot have been read in a second and a half.
    EXPECT_FALSE(ended);
    EXPECT_GT(view.sound().output(0)->writtenBytes(), 0u);
    EXPECT_LT(view.sound().output(0)->writtenBytes(), uint64_t(8 * (wall.elapsed() + 1000)));
}

TEST_F(PlayerViewTest, ASoundDeviceThatCannotBePreparedIsReported) {
    zavgen::GeneratorOptions options;
    options.channelCount = 4;
    options.layoutFamily = 3;
    options.sound = true;
    options.durationSeconds = 8;
    const std::string path = generate("sound-fail.zav", options);
    PlayerView::Options viewOptions;
    viewOptions.programFolder = (s_dir / "home").string();
    viewOptions.notifier = &m_messages;
    viewOptions.audioFactory = [](std::string*) -> std::unique_ptr<AudioDevice> { return nullptr; };
    PlayerView view(viewOptions);
    ASSERT_TRUE(view.openFile(QString::fromStdString(path)));
    ASSERT_EQ(m_messages.messages().size(), 1u);
    EXPECT_EQ(m_messages.messages()[0].text, "Audio initialize exception.");
    EXPECT_EQ(m_messages.messages()[0].caption, "Error");

    // Without a device nothing would pace reading: the sound switch stays off and play keeps its pace.
    view.setSoundOn(true);
    EXPECT_FALSE(view.model().soundOn());
    EXPECT_FALSE(view.shared().soundOn.load());
    view.pressControl(control::kFPlay);
    view.setSoundOn(true);
    EXPECT_FALSE(view.model().soundOn());
    EXPECT_TRUE(view.model().enabled(control::kFfPlay));
}

TEST_F(PlayerViewTest, AFileThatIsNotABackupLeavesTheViewWithoutPlayback) {
    const fs::path path = s_dir / "not-a-backup.zav";
    std::ofstream(path) << std::string(200000, 'x');
    auto view = makeView();
    EXPECT_FALSE(view->openFile(QString::fromStdString(path.string())));
    ASSERT_EQ(m_messages.messages().size(), 1u);
    EXPECT_EQ(m_messages.messages()[0].text, " Unknown CD ");
    EXPECT_FALSE(view->controlEnabled(control::kFPlay));
    EXPECT_FALSE(view->model().fileOpen());
}

TEST_F(PlayerViewTest, AMissingMainWindowPositionRefusesTheWindow) {
    const fs::path home = s_dir / "empty-home";
    fs::create_directories(home);
    PlayerView::Options options;
    options.programFolder = home.string();
    options.notifier = &m_messages;
    PlayerView view(options);
    EXPECT_FALSE(view.created());
    ASSERT_EQ(m_messages.messages().size(), 1u);
    EXPECT_EQ(m_messages.messages()[0].text, "Can't create window. Needs another resource.");
    EXPECT_EQ(m_messages.messages()[0].caption, "ZAV PLAYER");
}

}  // namespace
}  // namespace dvr::player
