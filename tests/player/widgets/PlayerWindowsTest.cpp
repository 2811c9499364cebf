// The image edit window and the backup (AVI export) window of Discoro, offscreen: a generated backup
// file is opened, a picture edited, saved and printed to PDF, and a channel exported to AVI and judged
// by ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "common/evidence/Manifest.h"
#include "player/view/PlayerControlIds.h"
#include "player/widgets/BackupWindow.h"
#include "player/widgets/EditWindow.h"
#include "player/widgets/PlayerView.h"
#include "tests/common/export/AviCheck.h"
#include "tests/player/widgets/PlayerWindowTestSupport.h"
#include "tests/support/FileSizeLimit.h"
#include "tools/synth/Synth.h"
#include "tools/zavgen/BackupGenerator.h"

using namespace dvr::skin;

namespace dvr::player {
namespace {

namespace fs = std::filesystem;
using testing::decodeAvi;
using testing::nearColour;
using testing::pixelAt;
using testing::probeAvi;
using testing::runCommand;
using windowtest::waitFor;

constexpr const char* kResIni = R"([MAIN POS]
POS_SKIN=<0><0><1000><640>
POS_OVERLAY_TERM=<20><30><720><480>
POS_SLIDE=<20><600><728><16>
POS_AUDIO=<760><400><220><40>
POS_SPEED_VAL=<760><300><60><20>
POS_DELAY_VAL=<760><330><60><20>
POS_BACKUP_WIN=<748><872><244><192>
[CH POS]
POS_PAGE_VAL=<760><360><60><20>
[BACKUP POS]
POS_BACKUP_SKIN=<0><0><244><192>
POS_BACKUP_CHANNEL=<118><46><112><24>
POS_BACKUP_FRAMERATE=<118><78><112><24>
POS_BACKUP_IMAGESIZE=<118><110><112><24>
POS_BACKUP_START=<14><146><104><34>
POS_BACKUP_STOP=<126><146><104><34>
[EDIT POS]
POS_OVERLAY_TERM=<12><16><720><480>
POS_SAVE_OK=<756><392><228><18>
POS_SAVE=<756><418><112><34>
POS_PRINT=<872><418><112><34>
POS_CLOSE=<756><458><228><34>
[INFO]
PAL=0
)";

class PlayerWindowsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = fs::temp_directory_path() / ("discoro-windows-" + std::to_string(::getpid()));
        fs::create_directories(s_dir);
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    void SetUp() override {
        m_home = s_dir / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(m_home);
        std::ofstream(m_home / "res.ini") << kResIni;
    }

    std::string generate(const std::string& name, const zavgen::GeneratorOptions& options) {
        return windowtest::generate(s_dir, name, options);
    }

    std::unique_ptr<PlayerView> makeView(StillPrinter* printer = nullptr) {
        return windowtest::makeView(m_home, m_messages, printer);
    }

    // A file opened and paused on its first pictures, in the one-pane layout of channel 2.
    std::unique_ptr<PlayerView> openedAtChannel(const std::string& file, StillPrinter* printer = nullptr) {
        auto view = makeView(printer);
        EXPECT_TRUE(view->openFile(QString::fromStdString(file)));
        EXPECT_TRUE(waitFor([&] { return view->pictures().channelTime(1).has_value(); }));
        EXPECT_TRUE(waitFor([&] { return view->shared().mode() == media::PlayMode::Pause; }));
        view->pressControl(control::kChannel1 + 1);
        QApplication::processEvents();
        return view;
    }

    // `zavtool verify` on an exported file, against the backup file when one is given; its exit status.
    static testing::CommandOutcome verify(const fs::path& exported, const std::string& backup = {}) {
        const char* dir = std::getenv("DVR_BIN_DIR");
        std::string command =
            std::string(dir ? dir : DVR_BIN_DIR_DEFAULT) + "/zavtool verify '" + exported.string() + "'";
        if (!backup.empty()) {
            command += " --source '" + backup + "'";
        }
        return runCommand(command + " 2>&1");
    }

    // The picture times of an export's frames, from its manifest.
    static std::vector<std::string> frameTimes(const fs::path& avi) {
        const auto parsed = evidence::parseManifest(readAll(avi.string() + ".manifest.json"));
        EXPECT_TRUE(parsed.manifest) << parsed.error;
        std::vector<std::string> times;
        if (parsed.manifest) {
            for (const auto& f : parsed.manifest->frames) {
                times.push_back(f.time);
            }
        }
        return times;
    }
    static std::string readAll(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    static inline fs::path s_dir;
    fs::path m_home;
    RecordingSkinNotifier m_messages;
};

zavgen::GeneratorOptions fourChannels() {
    zavgen::GeneratorOptions options;
    options.channelCount = 4;
    options.durationSeconds = 40;
    options.groupIntervalSeconds = 2;
    return options;
}

TEST_F(PlayerWindowsTest, EditWithoutAFileOnlyTellsSo) {
    auto view = makeView();
    view->pressControl(control::kEdit);
    ASSERT_EQ(m_messages.messages().size(), 1u);
    EXPECT_EQ(m_messages.messages()[0].text, "Can not command. It need pictuer for save.  ");
    EXPECT_EQ(m_messages.messages()[0].caption, "backup");
    EXPECT_EQ(view->editWindow(), nullptr);
}

TEST_F(PlayerWindowsTest, EditFiltersUndoSaveAndClose) {
    const std::string file = generate("edit.zav", fourChannels());
    auto view = openedAtChannel(file);
    ASSERT_TRUE(view->controlEnabled(control::kEdit));
    view->pressControl(control::kEdit);
    EditWindow* edit = view->editWindow();
    ASSERT_NE(edit, nullptr);
    EXPECT_FALSE(view->isVisible());
    EXPECT_EQ(view->shared().mode(), media::PlayMode::Pause);

    // The picture as shown: channel 2's colour at the pane's size.
    const exporting::StillImage original = edit->model().image();
    ASSERT_EQ(original.width, 720);
    ASSERT_EQ(original.height, 480);
    const size_t probe = (size_t(240) * 720 + 650) * 3;
    const uint32_t shown = uint32_t(original.bgr[probe + 2]) << 16 | uint32_t(original.bgr[probe + 1]) << 8 |
                           original.bgr[probe];
    EXPECT_EQ(synth::nearestSignatureChannel(shown), 1) << std::hex << shown;
    EXPECT_EQ(edit->model().channel(), 1);

    edit->pressControl(edit::kBright);
    edit->pressControl(edit::kSharpen);
    EXPECT_NE(edit->model().image(), original);
    QKeyEvent undo(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier);
    QApplication::sendEvent(edit, &undo);
    QApplication::sendEvent(edit, &undo);
    EXPECT_EQ(edit->model().image(), original);
    QKeyEvent redo(QEvent::KeyPress, Qt::Key_Y, Qt::ControlModifier);
    QApplication::sendEvent(edit, &redo);
    EXPECT_EQ(edit->model().commandText(), editCommandText(edit::kRedo));
    const exporting::StillImage brightened = edit->model().image();

    edit->pressControl(edit::kSave);
    // The manifest may wait for the backup file's digest, off the window thread.
    ASSERT_TRUE(waitFor([&] { return !edit->saving(); }));
    ASSERT_TRUE(m_messages.messages().empty()) << m_messages.messages()[0].text;
    EXPECT_EQ(edit->model().saveConfirmation(), "BACKUP OK!");
    const fs::path saved = edit->lastSaved();
    EXPECT_EQ(saved.parent_path(), m_home / "Backup");
    EXPECT_EQ(saved.filename().string().size(), std::string("20260517_120000.jpg").size());
    const QImage written(QString::fromStdString(saved.string()));
    ASSERT_FALSE(written.isNull());
    EXPECT_EQ(written.width(), 720);
    EXPECT_EQ(written.height(), 480);
    const QRgb back = written.pixel(650, 240);
    const uint32_t wanted = uint32_t(brightened.bgr[probe + 2]) << 16 |
                            uint32_t(brightened.bgr[probe + 1]) << 8 | brightened.bgr[probe];
    EXPECT_TRUE(nearColour(back & 0xFFFFFF, wanted, 12)) << std::hex << back << " " << wanted;
    // The manifest beside the picture checks against it and the backup file it came from.
    ASSERT_TRUE(fs::exists(saved.string() + ".manifest.json"));
    const testing::CommandOutcome plain = verify(saved);
    EXPECT_EQ(plain.status, 0) << plain.out;
    const testing::CommandOutcome sourced = verify(saved, file);
    EXPECT_EQ(sourced.status, 0) << sourced.out;
    // The confirmation goes after a second.
    ASSERT_TRUE(waitFor([&] { return edit->model().saveConfirmation().empty(); }, 5000));

    edit->pressControl(edit::kClose);
    ASSERT_TRUE(waitFor([&] { return view->editWindow() == nullptr; }));
    EXPECT_TRUE(view->isVisible());
}

// Closed by the window manager (its close button, Alt+F4), the edit window acts as CLOSE: the player
// comes back.
TEST_F(PlayerWindowsTest, APalStillKeepsItsRowsInTheEditWindow) {
    zavgen::GeneratorOptions options = fourChannels();
    options.pal = true;
    auto view = openedAtChannel(generate("edit-pal.zav", options));
    ASSERT_TRUE(waitFor([&] { return view->model().pal(); }));
    view->pressControl(control::kEdit);
    EditWindow* edit = view->editWindow();
    ASSERT_NE(edit, nullptr);
    const exporting::StillImage& still = edit->model().image();
    ASSERT_EQ(still.height, 576);
    // The still is drawn at its own scale down to its last rows, not squeezed into NTSC's 480.
    QApplication::processEvents();
    const QImage shot = edit->grab().toImage();
    ASSERT_GE(shot.height(), 16 + 576);
    for (int row : {100, 470, 560}) {
        const size_t at = (size_t(row) * 720 + 700) * 3;
        const uint32_t wanted =
            uint32_t(still.bgr[at + 2]) << 16 | uint32_t(still.bgr[at + 1]) << 8 | still.bgr[at];
        EXPECT_EQ(synth::nearestSignatureChannel(wanted), 1) << row;
        EXPECT_TRUE(nearColour(shot.pixel(12 + 1 + 700, 16 + 1 + row) & 0xFFFFFF, wanted, 12)) << row;
    }
}

TEST_F(PlayerWindowsTest, ClosingTheEditWindowFromTheWindowManagerBringsThePlayerBack) {
    const std::string file = generate("close.zav", fourChannels());
    auto view = openedAtChannel(file);
    view->pressControl(control::kEdit);
    EditWindow* edit = view->editWindow();
    ASSERT_NE(edit, nullptr);
    ASSERT_FALSE(view->isVisible());
    edit->close();
    ASSERT_TRUE(waitFor([&] { return view->editWindow() == nullptr; }, 5000));
    EXPECT_TRUE(view->isVisible());
}

// The backup window takes its size from POS_BACKUP_WIN, whatever the size of its background.
TEST_F(PlayerWindowsTest, BackupWindowTakesItsSizeFromItsPlace) {
    std::string ini = kResIni;
    const std::string shipped = "POS_BACKUP_WIN=<748><872><244><192>";
    ini.replace(ini.find(shipped), shipped.size(), "POS_BACKUP_WIN=<748><872><300><210>");
    std::ofstream(m_home / "res.ini", std::ios::trunc) << ini;
    const std::string file = generate("place.zav", fourChannels());
    auto view = makeView();
    ASSERT_TRUE(view->openFile(QString::fromStdString(file)));
    ASSERT_TRUE(waitFor([&] { return view->shared().mode() == media::PlayMode::Pause; }));
    view->pressControl(control::kBackup);
    BackupWindow* window = view->backupWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->size(), QSize(300, 210));
    const QPoint origin = view->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(window->pos(), QPoint(origin.x() + 748, origin.y() + 872 - view->height()));
}

TEST_F(PlayerWindowsTest, SaveIntoABackupFolderThatCannotBeUsedTellsWhyAndWritesNothing) {
    std::ofstream(m_home / "Backup") << "a file where the folder should be";
    const std::string file = generate("edit-blocked.zav", fourChannels());
    auto view = openedAtChannel(file);
    view->pressControl(control::kEdit);
    ASSERT_NE(view->editWindow(), nullptr);
    view->editWindow()->pressControl(edit::kSave);
    ASSERT_EQ(m_messages.messages().size(), 1u);
    EXPECT_NE(m_messages.messages()[0].text.find((m_home / "Backup").string()), std::string::npos);
    EXPECT_EQ(view->editWindow()->model().saveConfirmation(), "");
    EXPECT_EQ(view->editWindow()->lastSaved(), "");
    EXPECT_TRUE(fs::is_regular_file(m_home / "Backup"));
}

TEST_F(PlayerWindowsTest, PrintsThePageToPdfAndACancelledDialogPrintsNothing) {
    const std::string pdf = (m_home / "page.pdf").string();
    PdfStillPrinter printer(QString::fromStdString(pdf));
    const std::string file = generate("print.zav", fourChannels());
    auto view = openedAtChannel(file, &printer);
    view->pressControl(control::kEdit);
    EditWindow* edit = view->editWindow();
    ASSERT_NE(edit, nullptr);

    printer.setCancel(true);
    edit->pressControl(edit::kPrint);
    EXPECT_FALSE(fs::exists(pdf));
    EXPECT_TRUE(m_messages.messages().empty());
    EXPECT_EQ(edit->model().commandText(), editCommandText(edit::kPrint));  // the command line shows PRINT

    printer.setCancel(false);
    edit->pressControl(edit::kPrint);
    ASSERT_TRUE(fs::exists(pdf));
    const auto text = runCommand("pdftotext -layout '" + pdf + "' - 2>&1");
    ASSERT_EQ(text.status, 0) << text.out;
    EXPECT_NE(text.out.find("ZAV IMAGE EDIT"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("BACKUP DATE/TIME"), std::string::npos);
    EXPECT_NE(text.out.find("2026-05-17 12:00:00"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("02 CH"), std::string::npos);
    EXPECT_NE(text.out.find("720 * 480 PIXEL"), std::string::npos);
    const auto info = runCommand("pdfinfo '" + pdf + "' 2>&1");
    EXPECT_NE(info.out.find("ZAV IMAGE PRINT"), std::string::npos) << info.out;
    EXPECT_TRUE(m_messages.messages().empty());

    // A page whose file is cut off as it is written (the disk full) is not taken as printed.
    fs::remove(pdf);
    {
        const dvr::testsupport::FileSizeLimit full(4096);
        edit->pressControl(edit::kPrint);
    }
    ASSERT_EQ(m_messages.messages().size(), 1u);
    EXPECT_EQ(m_messages.messages()[0].text, "No Printer Driver is installed");
}

TEST_F(PlayerWindowsTest, BackupWindowDefaultsAndOpenStaysDisabled) {
    zavgen::GeneratorOptions options = fourChannels();
    options.channelCount = 8;
    const std::string file = generate("eight.zav", options);
    auto view = makeView();
    ASSERT_TRUE(view->openFile(QString::fromStdString(file)));
    ASSERT_TRUE(waitFor([&] { return view->shared().mode() == media::PlayMode::Pause; }));
    view->pressControl(control::kBackup);
    BackupWindow* window = view->backupWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->model().channelItems().size(), 8u);
    const ExportSettings settings = window->model().settings();
    EXPECT_EQ(settings.channel, 0);
    EXPECT_EQ(settings.framesPerSecond, 10);
    EXPECT_EQ(settings.width, 360);
    EXPECT_EQ(settings.height, 240);
    EXPECT_FALSE(view->controlEnabled(control::kOpen));
    EXPECT_FALSE(view->controlEnabled(control::kEdit));

    // Start and stop at once: a valid file without frames, and the window says so.
    window->pressControl(backup::kStart);
    ASSERT_TRUE(view->exporter().active());
    window->pressControl(backup::kStop);
    const fs::path avi = m_home / "avi" / "01_Capture.avi";
    ASSERT_EQ(m_messages.messages().size(), 1u);
    EXPECT_EQ(m_messages.messages()[0].text, noFrameMessage(0, avi.string()));
    const auto facts = probeAvi(avi.string());
    EXPECT_EQ(facts.codec, "mjpeg") << facts.errors;
    EXPECT_EQ(facts.frames, 0);
    EXPECT_TRUE(fs::exists(m_home / "avi" / "01_Capture.log"));

    // BACKUP again closes the window and gives OPEN back.
    view->pressControl(control::kBackup);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(view->controlEnabled(control::kOpen));
    EXPECT_EQ(m_messages.messages().size(), 1u);
}

TEST_F(PlayerWindowsTest, ExportsTheChannelsPartOfQuadPicturesAtTheChosenSize) {
    zavgen::GeneratorOptions options = fourChannels();
    options.layout = zavgen::PictureLayout::Quad;
    options.durationSeconds = 60;  // forward play reaches the first 20 or so
    const std::string file = generate("quad.zav", options);
    auto view = makeView();
    ASSERT_TRUE(view->openFile(QString::fromStdString(file)));
    ASSERT_TRUE(waitFor([&] { return view->shared().mode() == media::PlayMode::Pause; }));
    bool ended = false;
    QObject::connect(view.get(), &PlayerView::reachedEnd, [&] { ended = true; });

    view->pressControl(control::kBackup);
    BackupWindow* window = view->backupWindow();
    ASSERT_NE(window, nullptr);
    window->choose(backup::kChannelList, 2);
    window->choose(backup::kFrameRateList, 14);
    window->choose(backup::kSizeList, 1);
    window->pressControl(backup::kStart);
    ASSERT_TRUE(view->exporter().active());
    EXPECT_EQ(view->model().layout(), 1);
    EXPECT_EQ(view->model().firstChannel(), 2);
    EXPECT_FALSE(view->controlEnabled(control::kMode4));
    EXPECT_NE(view->shared().mode(), media::PlayMode::Pause);
    ASSERT_TRUE(waitFor([&] { return ended; }, 60000));
    window->pressControl(backup::kStop);
    ASSERT_TRUE(m_messages.messages().empty()) << m_messages.messages()[0].text;
    EXPECT_TRUE(view->controlEnabled(control::kMode4));

    const fs::path avi = m_home / "avi" / "03_Capture.avi";
    const auto facts = probeAvi(avi.string());
    EXPECT_EQ(facts.codec, "mjpeg") << facts.errors;
    EXPECT_EQ(facts.width, 720);
    EXPECT_EQ(facts.height, 480);
    EXPECT_EQ(facts.rate, "15/1");
    ASSERT_GT(facts.frames, 0);
    const auto frames = decodeAvi(avi.string(), 720, 480);
    ASSERT_EQ(long(frames.size()), facts.frames);
    const uint32_t colour = synth::signatureColour(2);
    for (size_t i = 0; i < frames.size(); ++i) {
        const uint32_t seen = pixelAt(frames[i], 720, 720 * 93 / 100, 480 * 45 / 100);
        ASSERT_TRUE(nearColour(seen, colour, 24)) << "frame " << i << std::hex << " " << seen;
    }
    EXPECT_EQ(readAll(m_home / "avi" / "03_Capture.log").substr(0, 36),
              "RECORD START : 2026/05/17 12:00:00 \n");
    const std::string log = readAll(m_home / "avi" / "03_Capture.log");
    EXPECT_NE(log.find("CHANNEL      : 03 \nFRAME RATE   : 15 Frame \nRECORD SIZE  : 720 * 480 Pixel \n"),
              std::string::npos)
        << log;
    // Every frame is in the manifest beside the file, and each names the backup record it was made from.
    const testing::CommandOutcome plain = verify(avi);
    EXPECT_EQ(plain.status, 0) << plain.out;
    const testing::CommandOutcome sourced = verify(avi, file);
    EXPECT_EQ(sourced.status, 0) << sourced.out;
    // Play to the end: every picture forward play reaches after the one on screen at the start, once, in
    // file order (never the pictures shown again on reaching the end): all but the first of those
    // zavtool exports in the forward range.
    const std::vector<std::string> times = frameTimes(avi);
    EXPECT_EQ(long(times.size()), facts.frames);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_EQ(std::set<std::string>(times.begin(), times.end()).size(), times.size());
    const char* bin = std::getenv("DVR_BIN_DIR");
    const testing::CommandOutcome forward = runCommand(
        std::string(bin ? bin : DVR_BIN_DIR_DEFAULT) + "/zavtool export '" + file +
        "' --channel 2 --no-stamp --forward-range --out '" + (m_home / "forward.avi").string() + "' 2>&1");
    ASSERT_EQ(forward.status, 0) << forward.out;
    ASSERT_FALSE(times.empty());
    EXPECT_NE(forward.out.find(": " + std::to_string(times.size() + 1) + " pictures of channel 2"),
              std::string::npos)
        << forward.out;
    EXPECT_EQ(times.front(), "2026-05-17 12:00:02");
    EXPECT_NE(forward.out.find("to " + times.back() + ", 0 from past"), std::string::npos) << forward.out;
}

// A channel no picture of which has been shown yet (the first group holds two of four channels) is
// shown for the export, so its records are decoded and exported.
TEST_F(PlayerWindowsTest, ExportsAChannelNotSeenYet) {
    zavgen::GeneratorOptions options = fourChannels();
    options.framesPerGroup = 2;
    options.durationSeconds = 60;
    const std::string file = generate("unseen.zav", options);
    auto view = makeView();
    ASSERT_TRUE(view->openFile(QString::fromStdString(file)));
    ASSERT_TRUE(waitFor([&] { return view->shared().mode() == media::PlayMode::Pause; }));
    ASSERT_FALSE(view->pictures().channelTime(3).has_value());
    bool ended = false;
    QObject::connect(view.get(), &PlayerView::reachedEnd, [&] { ended = true; });
    view->pressControl(control::kBackup);
    BackupWindow* window = view->backupWindow();
    ASSERT_NE(window, nullptr);
    window->choose(backup::kChannelList, 3);
    window->pressControl(backup::kStart);
    ASSERT_TRUE(view->exporter().active());
    EXPECT_EQ(view->model().firstChannel(), 3);
    ASSERT_TRUE(waitFor([&] { return ended; }, 60000));
    window->pressControl(backup::kStop);
    ASSERT_TRUE(m_messages.messages().empty()) << m_messages.messages()[0].text;
    const fs::path avi = m_home / "avi" / "04_Capture.avi";
    const std::vector<std::string> times = frameTimes(avi);
    ASSERT_FALSE(times.empty());
    EXPECT_EQ(long(times.size()), probeAvi(avi.string()).frames);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
}

TEST_F(PlayerWindowsTest, AnAviFolderThatCannotBeMadeIsReported) {
    std::ofstream(m_home / "avi") << "a file where the folder should be";
    const std::string file = generate("blocked.zav", fourChannels());
    auto view = makeView();
    ASSERT_TRUE(view->openFile(QString::fromStdString(file)));
    ASSERT_TRUE(waitFor([&] { return view->shared().mode() == media::PlayMode::Pause; }));
    view->pressControl(control::kBackup);
    view->backupWindow()->pressControl(backup::kStart);
    EXPECT_FALSE(view->exporter().active());
    ASSERT_EQ(m_messages.messages().size(), 1u);
    EXPECT_EQ(m_messages.messages()[0].text.rfind("ERROR : CreateAVIFile.", 0), 0u);
    EXPECT_NE(m_messages.messages()[0].text.find((m_home / "avi").string()), std::string::npos);
    EXPECT_FALSE(view->backupWindow()->isVisible());
    EXPECT_TRUE(view->controlEnabled(control::kOpen));
}

}  // namespace
}  // namespace dvr::player
