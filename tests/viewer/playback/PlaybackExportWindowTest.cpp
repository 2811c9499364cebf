// The playback window's Save, Print and AVI buttons on the offscreen platform: the files they write,
// judged by what they hold, what zavtool verify, ffprobe and pdftotext say of them.
#include "viewer/playback/widgets/PlaybackWindow.h"

#include "viewer/playback/EventList.h"

#include "common/skin/widgets/SkinButton.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/viewer/playback/PlaybackWindowTestSupport.h"
#include "tools/synth/Synth.h"

#include <gtest/gtest.h>

#include <fstream>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace dvr::playback {
namespace {

namespace fs = std::filesystem;

class FakeDesktop : public DesktopServices {
public:
    void openFolder(const std::string& folder) override { opened.push_back(folder); }
    std::vector<std::string> opened;
};

using windowtest::binFolder;

// Runs a command; its exit code and output (standard error joined).
int run(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    std::string text;
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        text.append(buffer, n);
    const int status = pclose(pipe);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

std::vector<fs::path> filesEndingIn(const fs::path& folder, const std::string& ending) {
    std::vector<fs::path> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() >= ending.size() &&
            name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
            found.push_back(entry.path());
    }
    return found;
}

class PlaybackExportWindowTest : public windowtest::PlaybackWindowFixture {
protected:
    void SetUp() override {
        PlaybackWindowFixture::SetUp();
        if (!window)
            return;
        const DateTime start{2006, 1, 2, 3, 4, 5};
        controller.pictureTime(link::packPictureDateWord(start), (2u << 24) | (3u << 16) | (4u << 8) | 5u);
        window->refresh();
        window->show();
        deliver(frame::PictureKind::Quad, 0);
        setup.saveFolder = (fs::path(scratch.path().toStdString()) / "rec" / "sub").string();
        setup.programFolder = scratch.path().toStdString();
        setup.recorderAddress = "127.0.0.1";
        setup.recorderPort = 50000;
        setup.recorderVersion = "4.2";
        setup.desktop = &desktop;
        setup.clockMs = [this] { return nowMs; };
        setup.tickMs = [this] { return tick++; };
        window->setExportSetup(setup);
    }

    std::string verify(const fs::path& file, int* code) {
        std::string out;
        *code = run(quoted(binFolder() + "/zavtool") + " verify " + quoted(file.string()), &out);
        return out;
    }

    QTemporaryDir scratch;
    FakeDesktop desktop;
    ExportSetup setup;
    int64_t nowMs = 0;
    uint64_t tick = 12345;
};

TEST_F(PlaybackExportWindowTest, SaveWritesThePictureAreaWithAManifestThatVerifies) {
    const std::string first = window->exporter().saveSnapshot();
    const std::string second = window->exporter().saveSnapshot();
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first, second);  // the same second of picture time, another name
    EXPECT_EQ(fs::path(first).parent_path().string(), setup.saveFolder);  // made when missing
    EXPECT_EQ(fs::path(first).filename().string().rfind("CAM0_2006-01-02 03-04-05_", 0), 0u) << first;

    const QImage saved(QString::fromStdString(first));
    ASSERT_FALSE(saved.isNull());
    const QRect pane = window->paneRect(0);
    const QRect area = window->pictureArea();
    EXPECT_EQ(saved.size(), area.size());  // the area at its own size
    // The pane's picture is where the window shows it (away from the stamp texts).
    const QImage shown = window->grab().toImage();
    const QPoint inPane = pane.topLeft() + QPoint(pane.width() / 8, pane.height() * 3 / 8);
    const QPoint inArea = inPane - area.topLeft();
    EXPECT_EQ(synth::nearestSignatureChannel(saved.pixel(inArea) & 0xFFFFFF),
              synth::nearestSignatureChannel(shown.pixel(inPane) & 0xFFFFFF));

    ASSERT_TRUE(fs::exists(first + ".manifest.json"));
    QFile manifest(QString::fromStdString(first + ".manifest.json"));
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    const QByteArray json = manifest.readAll();
    EXPECT_TRUE(json.contains("127.0.0.1")) << json.constData();
    EXPECT_TRUE(json.contains("2006-01-02 03:04:05")) << json.constData();
    int code = -1;
    const std::string said = verify(first, &code);
    EXPECT_EQ(code, 0) << said;
    EXPECT_EQ(desktop.opened.size(), 2u);

    // Busy: nothing.
    controller.setBusy(true);
    EXPECT_TRUE(window->exporter().saveSnapshot().empty());
}

// Four panes are "CAM0"; nine and sixteen are named after the first channel shown, one pane after its
// channel.
TEST_F(PlaybackExportWindowTest, SnapshotNamesFollowTheLayout) {
    const auto name = [&] { return fs::path(window->exporter().saveSnapshot()).filename().string(); };
    EXPECT_EQ(name().rfind("CAM0_", 0), 0u);
    window->press(command::kModePlus);  // nine panes
    EXPECT_EQ(name().rfind("CAM1_", 0), 0u);
    window->press(command::kChannelFirst + 9);  // channels 8 to 16
    ASSERT_EQ(controller.layout().firstChannel(), 7);
    EXPECT_EQ(name().rfind("CAM8_", 0), 0u);
    window->press(command::kModePlus);  // sixteen
    EXPECT_EQ(name().rfind("CAM1_", 0), 0u);
    window->press(command::kModeOne);
    window->press(command::kChannelFirst + 4);
    EXPECT_EQ(name().rfind("CAM5_", 0), 0u);
}

TEST_F(PlaybackExportWindowTest, UnwritableSaveFolderGivesAMessageAndNoFile) {
    const fs::path blocker = fs::path(scratch.path().toStdString()) / "file";
    {
        std::FILE* f = std::fopen(blocker.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    setup.saveFolder = (blocker / "rec").string();  // under a file: cannot be made
    window->setExportSetup(setup);
    QSignalSpy messages(window.get(), &PlaybackWindow::messageRequested);
    window->press(command::kSave);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0][0].toString().contains(QString::fromStdString(setup.saveFolder)));
    EXPECT_TRUE(desktop.opened.empty());
}

TEST_F(PlaybackExportWindowTest, PrintHoldsTheTitleAndTimesAndCancelPrintsNothing) {
    const QString pdf = scratch.filePath(QStringLiteral("page.pdf"));
    PdfPrinterChooser printer(pdf);
    setup.printer = &printer;
    setup.localTime = [] { return DateTime{2026, 12, 8, 9, 10, 11}; };
    window->setExportSetup(setup);
    QSignalSpy messages(window.get(), &PlaybackWindow::messageRequested);

    printer.setCancel(true);
    window->press(command::kPrint);
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(messages.size(), 0);

    printer.setCancel(false);
    window->press(command::kPrint);
    ASSERT_TRUE(QFile::exists(pdf));
    std::string text;
    ASSERT_EQ(run("pdftotext -layout " + quoted(pdf.toStdString()) + " -", &text), 0) << text;
    EXPECT_NE(text.find("Vistrel"), std::string::npos) << text;
    EXPECT_NE(text.find("2006-01-02 03-04-05"), std::string::npos) << text;  // range start
    EXPECT_NE(text.find("2006-01-02 04-04-05"), std::string::npos) << text;  // range end
    EXPECT_NE(text.find("2026-12-08 09-10-11"), std::string::npos) << text;  // time of printing
    // The picture area's own size on both size lines, its top row left out of the picture only.
    const QSize area = window->pictureArea().size();
    const std::string size = std::to_string(area.width()) + " * " + std::to_string(area.height()) + " PIXEL";
    EXPECT_NE(text.find(size), std::string::npos) << text;
    char padded[40];
    std::snprintf(padded, sizeof padded, "%03d * %03d PIXEL", area.width(), area.height());
    EXPECT_NE(text.find(padded), std::string::npos) << text;
    EXPECT_EQ(messages.size(), 0);
    std::string info;
    run("pdfinfo " + quoted(pdf.toStdString()), &info);
    EXPECT_NE(info.find("Vistrel PRINT"), std::string::npos) << info;

    // Busy: no dialog, no page.
    QFile::remove(pdf);
    controller.setBusy(true);
    window->press(command::kPrint);
    EXPECT_FALSE(QFile::exists(pdf));
    controller.setBusy(false);

    // A document that cannot be started: the printer-driver message, nothing printed.
    const QString nowhere = scratch.filePath(QStringLiteral("missing/folder/page.pdf"));
    PdfPrinterChooser broken(nowhere);
    setup.printer = &broken;
    window->setExportSetup(setup);
    window->press(command::kPrint);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0][0].toString().contains(QStringLiteral("Printer")))
        << messages[0][0].toString().toStdString();
    EXPECT_FALSE(QFile::exists(nowhere));

    // A document cut off as it is written (the disk full): the same message, not a page taken as printed.
    PdfPrinterChooser cut(scratch.filePath(QStringLiteral("cut.pdf")));
    setup.printer = &cut;
    window->setExportSetup(setup);
    {
        const dvr::testsupport::FileSizeLimit full(4096);
        window->press(command::kPrint);
    }
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1][0].toString().contains(QStringLiteral("Printer")))
        << messages[1][0].toString().toStdString();
}

TEST_F(PlaybackExportWindowTest, RecordingGivesAnMjpegFileAtTenFramesASecondThatVerifies) {
    window->press(command::kSaveAvi);
    PlaybackExporter& exporter = window->exporter();
    ASSERT_TRUE(exporter.recording());
    EXPECT_TRUE(window->button(command::kSaveAvi)->checked());
    EXPECT_TRUE(exporter.timer().isActive());
    RecordingController& recording = exporter.recordingController();
    for (int i = 1; i <= 5; ++i) {
        nowMs = i * 100;
        recording.onTick();
    }
    nowMs = 1000;  // late: four frames repeated, one new
    recording.onTick();
    EXPECT_EQ(recording.framesWritten(), 10u);
    window->press(command::kPlayFirst + int(PlayButton::Pause));  // PAUSE stops the recording
    EXPECT_FALSE(exporter.recording());
    EXPECT_FALSE(window->button(command::kSaveAvi)->checked());
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.opened[0], setup.saveFolder);

    const auto avis = filesEndingIn(setup.saveFolder, ".avi");
    ASSERT_EQ(avis.size(), 1u);
    EXPECT_EQ(avis[0].filename().string(), "2006-01-02 03-04-05.avi");
    std::string probe;
    ASSERT_EQ(run("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                  "stream=codec_name,r_frame_rate,nb_read_frames -of default=nw=1 " +
                      quoted(avis[0].string()),
                  &probe),
              0)
        << probe;
    EXPECT_NE(probe.find("codec_name=mjpeg"), std::string::npos) << probe;
    EXPECT_NE(probe.find("r_frame_rate=10/1"), std::string::npos) << probe;
    EXPECT_NE(probe.find("nb_read_frames=10"), std::string::npos) << probe;
    int code = -1;
    const std::string said = verify(avis[0], &code);
    EXPECT_EQ(code, 0) << said;
    QFile manifest(QString::fromStdString(avis[0].string() + ".manifest.json"));
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    const QJsonArray frames =
        QJsonDocument::fromJson(manifest.readAll()).object().value(QLatin1String("frames")).toArray();
    EXPECT_EQ(frames.size(), 10);  // a repeated frame has its own entry
}

// Exit while playing and the jump to an event pause as PAUSE does, and so stop the recording.
TEST_F(PlaybackExportWindowTest, EveryPauseStopsTheRecording) {
    const std::string base = setup.saveFolder;
    const auto record = [&](const std::string& folder) {
        setup.saveFolder = base + "/" + folder;
        window->setExportSetup(setup);
        window->press(command::kSaveAvi);
        return window->exporter().recording();
    };
    window->press(command::kPlayFirst + int(PlayButton::Forward));
    ASSERT_TRUE(controller.playing());
    ASSERT_TRUE(record("exit"));
    window->press(command::kExit);
    EXPECT_TRUE(controller.isOpen());
    EXPECT_FALSE(window->exporter().recording());
    EXPECT_FALSE(window->button(command::kSaveAvi)->checked());

    // Paused, recording, then an event is picked.
    ASSERT_TRUE(record("event"));
    controller.jumpTo(packEventTime({2006, 1, 2, 3, 30, 0}));
    window->refresh();
    EXPECT_TRUE(controller.playing());
    EXPECT_FALSE(window->exporter().recording());
    EXPECT_FALSE(window->button(command::kSaveAvi)->checked());
    EXPECT_EQ(filesEndingIn(base + "/exit", ".avi").size(), 1u);
    EXPECT_EQ(filesEndingIn(base + "/event", ".avi").size(), 1u);

    // The connection is lost while recording: the file ends there, whole, with its manifest.
    ASSERT_TRUE(record("lost"));
    controller.onConnectionLost(false);
    window->refresh();
    EXPECT_FALSE(window->exporter().recording());
    EXPECT_FALSE(window->exporter().timer().isActive());
    EXPECT_FALSE(window->button(command::kSaveAvi)->checked());
    EXPECT_EQ(filesEndingIn(base + "/lost", ".avi").size(), 1u);
    EXPECT_EQ(filesEndingIn(base + "/lost", ".manifest.json").size(), 1u);
}

TEST_F(PlaybackExportWindowTest, RecordingThatCannotCreateItsFileReportsAndStaysUp) {
    // Files stand where the "Record Path" folder's parent and the program's RECORD folder should be:
    // no folder can be made for the recording.
    const fs::path blocked = fs::path(setup.saveFolder).parent_path();
    std::ofstream(blocked.string()) << "a file in the way";
    std::ofstream((fs::path(setup.programFolder) / "RECORD").string()) << "a file in the way";
    QSignalSpy messages(window.get(), &PlaybackWindow::messageRequested);
    window->press(command::kSaveAvi);
    EXPECT_FALSE(window->exporter().recording());
    EXPECT_FALSE(window->exporter().timer().isActive());
    EXPECT_FALSE(window->button(command::kSaveAvi)->checked());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0][0].toString().contains(QStringLiteral("RECORD")))
        << messages[0][0].toString().toStdString();
    EXPECT_TRUE(fs::is_regular_file(blocked));
    EXPECT_TRUE(desktop.opened.empty());
}

// Recording twice while paused (the same picture time): two files, the first kept; a name taken by
// anything, even a folder, is passed over.
TEST_F(PlaybackExportWindowTest, RecordingTwiceWhilePausedGivesTwoFiles) {
    fs::create_directories(fs::path(setup.saveFolder) / "2006-01-02 03-04-05(1).avi");
    // The manifest of an earlier recording whose file was moved away takes its name too.
    const fs::path earlier = fs::path(setup.saveFolder) / "2006-01-02 03-04-05(2).avi.manifest.json";
    std::ofstream(earlier) << "earlier";
    RecordingController& recording = window->exporter().recordingController();
    for (int take = 0; take < 2; ++take) {
        window->press(command::kSaveAvi);
        ASSERT_TRUE(window->exporter().recording());
        nowMs += 100;
        recording.onTick();
        window->press(command::kSaveAvi);
        ASSERT_FALSE(window->exporter().recording());
    }
    const fs::path first = fs::path(setup.saveFolder) / "2006-01-02 03-04-05.avi";
    const fs::path second = fs::path(setup.saveFolder) / "2006-01-02 03-04-05(3).avi";
    ASSERT_TRUE(fs::is_regular_file(first));
    ASSERT_TRUE(fs::is_regular_file(second));
    EXPECT_EQ(filesEndingIn(setup.saveFolder, ".avi").size(), 3u);  // with the folder
    std::ifstream kept(earlier);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "earlier");
    for (const fs::path& file : {first, second}) {
        int code = -1;
        const std::string said = verify(file, &code);
        EXPECT_EQ(code, 0) << file << ": " << said;
    }
}

// A recording whose writing failed keeps what its last consistent point holds, and no manifest speaks
// for it (the frames added since need not be in the file).
TEST_F(PlaybackExportWindowTest, ARecordingWhoseWritingFailedGetsNoManifest) {
    window->press(command::kSaveAvi);
    ASSERT_TRUE(window->exporter().recording());
    RecordingController& recording = window->exporter().recordingController();
    {
        const dvr::testsupport::FileSizeLimit full(200000);
        for (int tick = 0; tick < 5000 && window->exporter().recording(); ++tick) {
            nowMs += 100;
            recording.onTick();
        }
    }
    EXPECT_FALSE(window->exporter().recording());
    const fs::path avi = fs::path(setup.saveFolder) / "2006-01-02 03-04-05.avi";
    EXPECT_TRUE(fs::is_regular_file(avi));
    EXPECT_FALSE(fs::exists(avi.string() + ".manifest.json"));
}

TEST_F(PlaybackExportWindowTest, FullDiskStopsTheRecordingUnchecksAndReports) {
    // Sinks that fill up as a full disk would: at once, then after a few frames.
    setup.openSink = [](const std::string&, std::string*) -> std::unique_ptr<exporting::ByteSink> {
        auto sink = std::make_unique<exporting::MemorySink>();
        sink->setLimitBytes(0);
        return sink;
    };
    window->setExportSetup(setup);
    QSignalSpy messages(window.get(), &PlaybackWindow::messageRequested);
    window->press(command::kSaveAvi);
    // Headers do not fit: the file cannot be started.
    EXPECT_FALSE(window->exporter().recording());
    ASSERT_EQ(messages.size(), 1);

    setup.openSink = [](const std::string&, std::string*) -> std::unique_ptr<exporting::ByteSink> {
        auto sink = std::make_unique<exporting::MemorySink>();
        sink->setLimitBytes(200000);
        return sink;
    };
    window->setExportSetup(setup);
    window->press(command::kSaveAvi);
    ASSERT_TRUE(window->exporter().recording());
    ASSERT_TRUE(window->button(command::kSaveAvi)->checked());
    // Ticks come from the window's timer, as in the program; the sink fills within a few hundred frames.
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(30000);
    while (window->exporter().recording() && guard.isActive()) {
        nowMs += 100;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 150);
    }
    EXPECT_FALSE(window->exporter().recording());
    EXPECT_FALSE(window->exporter().timer().isActive());
    EXPECT_FALSE(window->button(command::kSaveAvi)->checked());
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1][0].toString().contains(QStringLiteral("2006-01-02 03-04-05.avi")));
    EXPECT_GT(window->exporter().recordingController().framesWritten(), 0u);
    EXPECT_TRUE(desktop.opened.empty());
}

}  // namespace
}  // namespace dvr::playback
