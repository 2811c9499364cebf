// The document without a window: the order in which a file is opened over the last one, the export it
// drives (the channel's pane forced, the times it hands over, forwards play only), the picture record of
// the playback thread and the edit window's snapshot rows.
#include "player/view/PlayerDocument.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "player/view/RecentFiles.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Wait.h"
#include "tools/zavgen/BackupGenerator.h"

namespace dvr::player {
namespace {

using testsupport::waitUntil;

// What the window saw each time the document asked it to show the model.
struct Shown {
    bool modelOpen = false;
    bool documentOpen = false;
    bool playing = false;  // the playback thread was running
    uint64_t storedPictures = 0;
    bool anyPicture = false;
    int channelCount = 0;
};

class RecordingWindow final : public DocumentWindow {
public:
    void modelChanged() override {
        const PlayerDocument& d = *document;
        Shown shown{d.model().fileOpen(), d.fileOpen(), document->shared().runFlag.load() != 0,
                    d.storedPictures(),   false,        d.model().channelCount()};
        for (int c = 0; c < PlayerPictures::kChannels; ++c) {
            shown.anyPicture = shown.anyPicture || d.pictures().channelTime(c).has_value();
        }
        this->shown.push_back(shown);
    }
    void showMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + ": " + text);
        // What happens while the message box is up (its event loop runs).
        if (auto during = std::exchange(whileMessageShown, nullptr))
            during();
    }
    void newsWaiting() override {}
    void playbackAtStart() override {}
    void playbackAtEnd() override { ++endNotices; }
    void playbackMessage(const std::string&) override {}

    PlayerDocument* document = nullptr;
    std::atomic<int> endNotices{0};
    std::function<void()> whileMessageShown;
    std::vector<Shown> shown;
    std::vector<std::string> messages;
};

// An exporter that takes what it is offered and keeps the requests.
class FakeExport final : public ExportControl {
public:
    ExportOutcome start(const ExportStart& request) override {
        started = request;
        if (refuse) {
            return {false, "", "refused", 0};
        }
        m_channel.store(request.settings.channel);
        return {true, request.aviFolder + "/06_Capture.avi", "", 0};
    }
    ExportOutcome stop(std::optional<DateTime> endTime) override {
        stopped = endTime;
        m_channel.store(-1);
        return {true, "", "", 0};
    }
    bool active() const override { return m_channel.load() >= 0; }
    int channel() const override { return m_channel.load(); }
    bool admits(int64_t) const override { return true; }
    void offerStored(const PlayerPictures&, int64_t, const std::optional<evidence::Digest>& digest) override {
        std::lock_guard lock(m_mutex);
        offers += digest ? 1 : 0;
    }
    int offered() const {
        std::lock_guard lock(m_mutex);
        return offers;
    }

    bool refuse = false;
    std::optional<ExportStart> started;
    std::optional<std::optional<DateTime>> stopped;

private:
    std::atomic<int> m_channel{-1};
    mutable std::mutex m_mutex;
    int offers = 0;
};

class PlayerDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlayerDocumentOptions options;
        options.paced = false;
        options.audioFactory = [](std::string*) { return std::unique_ptr<AudioDevice>(); };
        options.settingsPath = m_folder.file("Discoro.ini");
        m_document = std::make_unique<PlayerDocument>(options, m_window, m_export);
        m_window.document = m_document.get();
    }

    std::string generate(const std::string& name, int channels, int durationSeconds = 12, bool pal = false) {
        zavgen::GeneratorOptions options;
        options.channelCount = channels;
        options.pal = pal;
        options.durationSeconds = durationSeconds;
        options.groupIntervalSeconds = 4;
        const std::string path = m_folder.file(name);
        zavgen::GeneratorReport report;
        EXPECT_TRUE(zavgen::generateBackup(path, options, report)) << report.error;
        return path;
    }

    // Opening shows the first group of pictures, then pauses.
    bool firstGroupShown(int channels) {
        return waitUntil([&] {
            return m_document->storedPictures() >= uint64_t(channels) &&
                   m_document->shared().mode() == media::PlayMode::Pause;
        });
    }

    testsupport::TempFolder m_folder;
    RecordingWindow m_window;
    FakeExport m_export;
    std::unique_ptr<PlayerDocument> m_document;
};

TEST_F(PlayerDocumentTest, AFileOpensOverTheLastOneOnlyAfterItsPlaybackAndPicturesAreGone) {
    const std::string first = generate("first.zav", 4);
    const std::string second = generate("second.zav", 16);
    ASSERT_TRUE(m_document->open(first, 0));
    ASSERT_TRUE(firstGroupShown(4));
    m_window.shown.clear();

    ASSERT_TRUE(m_document->open(second, 3));
    // Shown twice: closed (no thread, no file, no picture of the last file), then the new file.
    ASSERT_EQ(m_window.shown.size(), 2u);
    const Shown closed = m_window.shown[0];
    EXPECT_FALSE(closed.playing);
    EXPECT_FALSE(closed.modelOpen);
    EXPECT_FALSE(closed.documentOpen);
    EXPECT_FALSE(closed.anyPicture);
    EXPECT_EQ(closed.storedPictures, 0u);
    const Shown opened = m_window.shown[1];
    EXPECT_TRUE(opened.modelOpen);
    EXPECT_TRUE(opened.documentOpen);
    EXPECT_EQ(opened.channelCount, 16);
    EXPECT_FALSE(opened.playing) << "the thread starts after the window shows the new file";

    EXPECT_EQ(m_document->shared().skipIndex.load(), 3);
    EXPECT_EQ(m_document->path(), second);
    ASSERT_TRUE(firstGroupShown(16));
    EXPECT_TRUE(m_document->pictures().channelTime(15).has_value());
    EXPECT_EQ(RecentFiles(m_folder.file("Discoro.ini")).files(), (std::vector<std::string>{second, first}));
    EXPECT_TRUE(m_window.messages.empty());
}

// A file handed over by a second start while an open shows its error box is opened after that open,
// not under it: the window then shows the file that plays, not "no file".
TEST_F(PlayerDocumentTest, AFileHandedOverWhileAnOpenShowsItsMessageIsOpenedAfterIt) {
    const std::string good = generate("handed.zav", 4);
    const std::string bad = m_folder.file("not-a-backup.zav");
    std::ofstream(bad) << std::string(70000, 'x');
    m_window.whileMessageShown = [&] { EXPECT_FALSE(m_document->open(good, 0)); };
    EXPECT_TRUE(m_document->open(bad, 0));
    ASSERT_EQ(m_window.messages.size(), 1u);  // the bad file's message
    EXPECT_TRUE(m_document->model().fileOpen());
    EXPECT_EQ(m_document->path(), good);
    ASSERT_FALSE(m_window.shown.empty());
    EXPECT_TRUE(m_window.shown.back().modelOpen);
    EXPECT_TRUE(firstGroupShown(4));
}

TEST_F(PlayerDocumentTest, ARefusedFileLeavesNoFileAndNoPlayback) {
    const std::string path = m_folder.file("not-a-backup.zav");
    std::ofstream(path) << std::string(200000, 'x');
    EXPECT_FALSE(m_document->open(path, 0));
    EXPECT_EQ(m_window.messages, (std::vector<std::string>{"Discoro:  Unknown CD "}));
    ASSERT_EQ(m_window.shown.size(), 2u);
    EXPECT_FALSE(m_window.shown[1].modelOpen);
    EXPECT_FALSE(m_document->fileOpen());
    EXPECT_EQ(m_document->shared().runFlag.load(), 0);
    EXPECT_TRUE(m_document->path().empty());
    EXPECT_TRUE(RecentFiles(m_folder.file("Discoro.ini")).files().empty());
}

TEST_F(PlayerDocumentTest, AnExportShowsItsChannelAloneTakesForwardPicturesAndEndsPaused) {
    const std::string path = generate("export.zav", 16, 40);
    ASSERT_TRUE(m_document->open(path, 0));
    ASSERT_TRUE(firstGroupShown(16));
    const std::optional<DateTime> shownTime = m_document->pictures().channelTime(5);
    ASSERT_TRUE(shownTime);

    ExportStart request;
    request.aviFolder = m_folder.file("avi");
    request.settings.channel = 5;
    const ExportOutcome started = m_document->startExport(request);
    ASSERT_TRUE(started.ok);
    ASSERT_TRUE(m_export.started);
    EXPECT_EQ(m_export.started->backupPath, path);
    EXPECT_EQ(m_export.started->sourceDigest, &m_document->sourceDigest());
    EXPECT_EQ(m_export.started->startTime, shownTime);
    EXPECT_EQ(m_export.started->aviFolder, request.aviFolder);
    const PlayerViewModel& model = m_document->model();
    EXPECT_EQ(model.layout(), 1);
    EXPECT_EQ(model.firstChannel(), 5);
    EXPECT_TRUE(model.exporting());
    EXPECT_FALSE(model.enabled(control::kMode4));
    EXPECT_EQ(m_document->shared().selectedChannel.load(), 5);

    // Paused playback plays forwards to the end of the file; the channel's pictures reach the export.
    EXPECT_NE(m_document->shared().mode(), media::PlayMode::Pause);
    ASSERT_TRUE(waitUntil(
        [&] { return m_export.offered() > 0 && m_document->shared().mode() == media::PlayMode::Pause; }));
    const std::optional<PlayerDocument::ExportEnd> end = m_document->stopExport();
    ASSERT_TRUE(end);
    EXPECT_EQ(end->channel, 5);
    ASSERT_TRUE(m_export.stopped);
    EXPECT_EQ(*m_export.stopped, m_document->pictures().channelTime(5));
    EXPECT_FALSE(model.exporting());
    EXPECT_EQ(m_document->shared().mode(), media::PlayMode::Pause);
    EXPECT_FALSE(m_document->stopExport()) << "nothing runs any more";

    // The edit window then takes the channel still shown alone, with the time of its picture.
    const uint8_t row[6] = {1, 2, 3, 4, 5, 6};
    const PlayerDocument::EditSnapshot snapshot = m_document->editSnapshot(2, 1, row, sizeof row);
    EXPECT_EQ(snapshot.channel, 5);
    EXPECT_EQ(snapshot.time, m_document->pictures().channelTime(5));
    EXPECT_EQ(snapshot.image.bgr, std::vector<uint8_t>(row, row + 6));
}

TEST_F(PlayerDocumentTest, ARefusedExportLeavesTheControlsFreeAndPlaybackPaused) {
    ASSERT_TRUE(m_document->open(generate("refused.zav", 4), 0));
    ASSERT_TRUE(firstGroupShown(4));
    m_export.refuse = true;
    ExportStart request;
    request.settings.channel = 2;
    const ExportOutcome started = m_document->startExport(request);
    EXPECT_FALSE(started.ok);
    EXPECT_EQ(started.message, "refused");
    EXPECT_FALSE(m_document->model().exporting());
    EXPECT_EQ(m_document->shared().mode(), media::PlayMode::Pause);
}

TEST_F(PlayerDocumentTest, CommandsHandTheirModeAndNewPageToThePlaybackThread) {
    ASSERT_TRUE(m_document->open(generate("commands.zav", 16), 0));
    ASSERT_TRUE(firstGroupShown(16));
    m_document->shared().requestFlag.store(0);
    EXPECT_TRUE(m_document->command(control::kMode9).newPage);
    EXPECT_EQ(m_document->shared().requestFlag.load(), 1);
    EXPECT_EQ(m_document->model().layout(), 3);

    const CommandEffects play = m_document->command(control::kFPlay);
    ASSERT_TRUE(play.mode);
    EXPECT_EQ(play.mode->mode, media::PlayMode::Forward);
    EXPECT_EQ(m_document->shared().mode(), media::PlayMode::Forward);
    m_document->pause();
    EXPECT_EQ(m_document->shared().mode(), media::PlayMode::Pause);
}

// What the last file's playback thread left for the window and the window never took does not act on the
// next file: neither its end notice nor the skin switch its pictures asked for.
TEST_F(PlayerDocumentTest, NewsOfTheLastFileLeftUntakenDoesNotActOnTheNextOne) {
    const std::string first = generate("first.zav", 4, 12, true);
    const std::string second = generate("second.zav", 4, 12, true);
    ASSERT_TRUE(m_document->open(first, 0));
    ASSERT_TRUE(firstGroupShown(4));
    ASSERT_FALSE(m_document->model().pal());
    m_document->command(control::kFPlay);
    ASSERT_TRUE(waitUntil([&] { return m_window.endNotices.load() == 1; }));

    // The window was busy: the second file opens before it took the end or the switch to PAL.
    ASSERT_TRUE(m_document->open(second, 0));
    ASSERT_TRUE(firstGroupShown(4));
    EXPECT_EQ(m_document->endReached(), PlayerDocument::EndReached::Stale);
    EXPECT_TRUE(m_document->model().enabled(control::kFPlay));
    EXPECT_EQ(m_document->takeNews().switchToPal, std::optional<bool>(true));

    // The second file's own end acts.
    m_document->command(control::kFPlay);
    ASSERT_TRUE(waitUntil([&] { return m_window.endNotices.load() == 2; }));
    EXPECT_EQ(m_document->endReached(), PlayerDocument::EndReached::Shown);
    EXPECT_FALSE(m_document->model().enabled(control::kFPlay));
}

TEST(PlayerDocument, ThePictureRecordCarriesTheHeadersFieldsAndTheCodestream) {
    media::BackupHeader header;
    header.layoutCode = 0x30016;
    header.pictureFlags = 2;
    header.videoStandard = 1;
    header.channel = 4;
    header.time = {30, 5, 17, 12, 34, 56};
    const std::vector<uint8_t> bytes = {0xFF, 0x4F, 1, 2, 0xFF, 0xD9, 7, 7};
    media::DeliveredPicture delivered;
    delivered.header = &header;
    delivered.fieldCode = 1;
    delivered.bytes = bytes;
    delivered.endMarkerIndex = 5;
    const PictureRecord record = pictureRecord(delivered, 8);
    EXPECT_EQ(record.layoutCode, 0x30016u);
    EXPECT_EQ(record.pictureFlags, 2u);
    EXPECT_EQ(record.videoStandard, 1u);
    EXPECT_EQ(record.recordChannel, 4);
    EXPECT_EQ(record.fieldCode, 1);
    EXPECT_EQ(record.channelCount, 8);
    EXPECT_EQ(record.time, (DateTime{2026, 5, 17, 12, 34, 56}));
    EXPECT_EQ(std::vector<uint8_t>(record.codestream.begin(), record.codestream.end()),
              std::vector<uint8_t>(bytes.begin(), bytes.begin() + 6));
}

TEST(PlayerDocument, AnExportTakesOnlyItsChannelsPicturesWhilePlayingForwards) {
    using media::PlayMode;
    for (PlayMode mode : {PlayMode::Forward, PlayMode::FastForward, PlayMode::StepForward}) {
        EXPECT_TRUE(exportTakes(mode, 3, 1u << 3));
        EXPECT_FALSE(exportTakes(mode, 3, 1u << 2)) << "another channel's picture";
        EXPECT_FALSE(exportTakes(mode, -1, 0xFFFF)) << "no export";
    }
    for (PlayMode mode : {PlayMode::Pause, PlayMode::Backward, PlayMode::FastBackward, PlayMode::StepBackward,
                          PlayMode::GoToStart, PlayMode::GoToEnd}) {
        EXPECT_FALSE(exportTakes(mode, 3, 1u << 3));
    }
}

TEST(PlayerDocument, TheSnapshotKeepsEachRowsPixelsAndDropsTheRowPadding) {
    // Two rows of two pixels, each row padded to eight bytes.
    const std::vector<uint8_t> rows = {1, 2, 3, 4, 5, 6, 0xEE, 0xEE, 7, 8, 9, 10, 11, 12, 0xEE, 0xEE};
    const exporting::StillImage still = stillFromRows(2, 2, rows.data(), 8);
    EXPECT_EQ(still.width, 2);
    EXPECT_EQ(still.height, 2);
    EXPECT_EQ(still.bgr, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_TRUE(stillFromRows(0, 2, rows.data(), 8).empty());
    EXPECT_TRUE(stillFromRows(2, 2, nullptr, 8).empty());
}

}  // namespace
}  // namespace dvr::player
