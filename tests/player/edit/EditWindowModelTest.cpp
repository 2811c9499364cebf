#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>
#include <thread>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/evidence/Verify.h"
#include "player/edit/EditWindowModel.h"
#include "player/edit/StillPrintSheet.h"
#include "player/view/PlayerFolders.h"
#include "tests/support/TempFolder.h"

namespace dvr::player {
namespace {

namespace fs = std::filesystem;
using testsupport::TempFolder;

EditPicture picture(int width, int height, uint8_t value) {
    EditPicture p;
    p.image.width = width;
    p.image.height = height;
    p.image.bgr.assign(size_t(width) * size_t(height) * 3, value);
    p.time = {2024, 3, 7, 9, 5, 1};
    p.channel = 2;
    return p;
}

TEST(EditWindowModel, CommandTextsArePaddedToTheirLengths) {
    EXPECT_EQ(editCommandText(edit::kBright), "BRIGHT" + std::string(25, ' '));
    EXPECT_EQ(editCommandText(edit::kContrastDown), "CONTRAST DOWN  ");
    EXPECT_EQ(editCommandText(edit::kPrint).size(), 33u);
    EXPECT_EQ(editCommandText(edit::kUndo), "UNDO        ");
    EXPECT_EQ(editCommandText(edit::kClose), "");
}

TEST(EditWindowModel, FiltersUndoAndRedoOverSixteenSteps) {
    EditWindowModel model(picture(8, 6, 100));
    const exporting::StillImage original = model.image();
    EXPECT_FALSE(model.command(edit::kUndo));
    EXPECT_EQ(model.commandText(), editCommandText(edit::kUndo));

    for (int i = 0; i < 16; ++i) {
        ASSERT_TRUE(model.command(edit::kBright));
    }
    EXPECT_EQ(model.image().bgr[0], 255);  // 100 + 16 x 10, limited
    EXPECT_EQ(model.commandText(), editCommandText(edit::kBright));
    for (int i = 0; i < 16; ++i) {
        ASSERT_TRUE(model.command(edit::kUndo)) << i;
    }
    EXPECT_EQ(model.image(), original);
    EXPECT_FALSE(model.canUndo());
    ASSERT_TRUE(model.command(edit::kRedo));
    EXPECT_EQ(model.image().bgr[5], 110);
    // A new filter forgets what could be redone.
    ASSERT_TRUE(model.command(edit::kDark));
    EXPECT_FALSE(model.command(edit::kRedo));
    EXPECT_EQ(model.image(), original);
}

TEST(EditWindowModel, PrintShowsItsCommandTextAndLeavesThePicture) {
    EditWindowModel model(picture(8, 6, 100));
    const exporting::StillImage original = model.image();
    model.command(edit::kPrint);
    EXPECT_EQ(model.commandText(), editCommandText(edit::kPrint));
    EXPECT_EQ(model.image(), original);
    EXPECT_FALSE(model.canUndo());
}

TEST(EditWindowModel, TextsBesideThePicture) {
    EditWindowModel model(picture(720, 480, 0));
    EXPECT_EQ(model.dateText(), "DATE : 2024 / 03 / 07");
    EXPECT_EQ(model.timeText(), "TIME : 09 : 05 : 01");
    EXPECT_EQ(model.widthText(), "WIDTH  : 720 pixel");
    EXPECT_EQ(model.heightText(), "HEIGHT: 480 pixel");
}

TEST(EditWindowModel, SaveNumbersTakenNamesAndConfirmsOnlyWrittenFiles) {
    TempFolder temp;
    EditWindowModel model(picture(360, 240, 90));
    const SaveTarget target{temp.path() + "/Backup", false};

    const SaveOutcome first = model.save(target);
    ASSERT_TRUE(first.ok) << first.message;
    EXPECT_EQ(first.path, temp.path() + "/Backup/20240307_090501.jpg");
    EXPECT_EQ(model.saveConfirmation(), "BACKUP OK!");
    EXPECT_GT(fs::file_size(first.path), 0u);

    const SaveOutcome second = model.save(target);
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(second.path, temp.path() + "/Backup/20240307_090501(1).jpg");

    // A folder that cannot be made (a file is in the way): the path and the reason, no confirmation.
    model.hideSaveConfirmation();
    std::ofstream(temp.path() + "/blocked") << "x";
    const SaveOutcome failed = model.save(SaveTarget{temp.path() + "/blocked", false});
    EXPECT_FALSE(failed.ok);
    EXPECT_NE(failed.message.find(temp.path() + "/blocked/20240307_090501.jpg"), std::string::npos);
    EXPECT_EQ(model.saveConfirmation(), "");

    // The per-user folder is named in the confirmation.
    const SaveOutcome perUser = model.save(SaveTarget{temp.path() + "/user/Backup", true});
    ASSERT_TRUE(perUser.ok);
    EXPECT_EQ(model.saveConfirmation(), "BACKUP OK! " + temp.path() + "/user/Backup");
}

// A name is taken by anything at it, a link that leads nowhere too, and by the manifest of an earlier
// picture that was moved away: that manifest is never replaced.
TEST(EditWindowModel, SaveNeverReplacesAnEarlierManifestNorStopsAtADeadLink) {
    TempFolder temp;
    EditWindowModel model(picture(360, 240, 90));
    const std::string folder = temp.path() + "/Backup";
    fs::create_directories(folder);
    std::ofstream(folder + "/20240307_090501.jpg.manifest.json") << "an earlier picture's manifest";
    fs::create_symlink(temp.path() + "/gone", folder + "/20240307_090501(1).jpg");
    const SaveOutcome saved = model.save(SaveTarget{folder, false});
    ASSERT_TRUE(saved.ok) << saved.message;
    EXPECT_EQ(saved.path, folder + "/20240307_090501(2).jpg");
    std::ifstream earlier(folder + "/20240307_090501.jpg.manifest.json");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(earlier), {}), "an earlier picture's manifest");
    EXPECT_FALSE(fs::exists(temp.path() + "/gone"));
}

// SAVE leaves a manifest beside the picture naming its time and the backup file it came from.
TEST(EditWindowModel, SaveWritesAManifestThatVerifies) {
    TempFolder temp;
    const std::string backup = temp.path() + "/backup.zav";
    std::ofstream(backup) << std::string(2048, 'b');
    EditPicture source = picture(360, 240, 40);
    source.backupPath = backup;
    EditWindowModel model(std::move(source));
    model.command(edit::kBright);
    const SaveOutcome saved = model.save(SaveTarget{temp.path() + "/Backup", false});
    ASSERT_TRUE(saved.ok) << saved.message;
    ASSERT_TRUE(fs::exists(saved.path + ".manifest.json"));

    evidence::VerifyOptions options;
    options.filePath = saved.path;
    options.sourcePath = backup;
    const evidence::VerifyOutcome outcome = evidence::verifyExport(options);
    ASSERT_EQ(outcome.status, evidence::VerifyStatus::Ok) << outcome.message;
    EXPECT_TRUE(outcome.sourceChecked);
    ASSERT_TRUE(outcome.manifest);
    EXPECT_EQ(outcome.manifest->frames.size(), 0u);

    // The picture changed after SAVE no longer matches.
    std::ofstream(saved.path, std::ios::app) << "x";
    EXPECT_EQ(evidence::verifyExport(options).status, evidence::VerifyStatus::Mismatch);
}

// SAVE in steps, as the window runs it while the backup file's digest is still being worked out: the
// picture at once (no confirmation yet), the manifest from another thread, then the confirmation.
TEST(EditWindowModel, TheManifestCanFollowThePictureFromAnotherThread) {
    TempFolder temp;
    const std::string backup = temp.path() + "/backup.zav";
    std::ofstream(backup) << std::string(2048, 'b');
    EditPicture source = picture(360, 240, 40);
    source.backupPath = backup;
    EditWindowModel model(std::move(source));
    const SaveTarget target{temp.path() + "/Backup", false};
    SaveOutcome still = model.writeStill(target);
    ASSERT_TRUE(still.ok) << still.message;
    EXPECT_TRUE(fs::exists(still.path));
    EXPECT_FALSE(fs::exists(still.path + ".manifest.json"));
    model.showSaveProgress("waiting");
    evidence::ManifestWrite manifest;
    std::thread writer([&] { manifest = model.writeManifest(still.path); });
    writer.join();
    const SaveOutcome done = model.finishSave(still, manifest, target);
    ASSERT_TRUE(done.ok) << done.message;
    EXPECT_EQ(model.saveConfirmation(), "BACKUP OK!");
    evidence::VerifyOptions options;
    options.filePath = done.path;
    options.sourcePath = backup;
    EXPECT_EQ(evidence::verifyExport(options).status, evidence::VerifyStatus::Ok);

    // A manifest that could not be written: the picture's save is reported as failed, by the manifest.
    evidence::ManifestWrite failed;
    failed.message = "disk full";
    const SaveOutcome refused = model.finishSave(model.writeStill(target), failed, target);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.message.rfind("Can not save ", 0), 0u);
    EXPECT_NE(refused.message.find(".manifest.json : disk full"), std::string::npos) << refused.message;
    EXPECT_EQ(model.saveConfirmation(), "");
}

TEST(PlayerFolders, ProgramFolderWhileWritableElsePerUser) {
    auto yes = [](const std::string&) { return true; };
    auto no = [](const std::string&) { return false; };
    EXPECT_EQ(chooseOutputFolder("/opt/d", "/home/u/.local/share/Discoro", "Backup", yes).path,
              "/opt/d/Backup");
    const OutputFolder fallback = chooseOutputFolder("/opt/d", "/home/u/.local/share/Discoro", "avi", no);
    EXPECT_EQ(fallback.path, "/home/u/.local/share/Discoro/avi");
    EXPECT_TRUE(fallback.perUser);
    // Without a per-user folder the program folder is tried anyway (and its failure reported).
    EXPECT_EQ(chooseOutputFolder("/opt/d", "", "avi", no).path, "/opt/d/avi");
}

TEST(StillPrintSheet, LayoutInPrintUnitsOfThePrinter) {
    using exporting::PrintText;
    using exporting::printUnit;
    PrintFacts facts;
    facts.backupStart = {2024, 1, 2, 3, 4, 5};
    facts.backupEnd = {2024, 1, 2, 13, 14, 15};
    facts.pictureTime = {2024, 1, 2, 8, 0, 9};
    facts.printTime = {2026, 12, 8, 23, 1, 2};
    facts.channel = 4;
    facts.width = 720;
    facts.height = 480;
    const exporting::PrintPage page =
        exporting::layoutPrintPage({600, 600, 5100, 40, 60}, stillPrintSheet(facts));
    EXPECT_EQ(page.title, "ZAV IMAGE PRINT");
    EXPECT_EQ(page.fontHeightPx, 71);
    EXPECT_EQ(page.pictureWidth, 5100 - 1200 - 300);
    EXPECT_EQ(page.pictureHeight, page.pictureWidth * 3 / 4);
    EXPECT_EQ(page.pictureX, 600);
    EXPECT_EQ(page.pictureY, 600 + printUnit(120, 600));

    auto find = [&](const std::string& text) -> const PrintText* {
        for (const PrintText& t : page.texts) {
            if (t.text == text) {
                return &t;
            }
        }
        return nullptr;
    };
    const PrintText* header = find("ZAV IMAGE EDIT");
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->x, 600);
    EXPECT_EQ(header->y, 600);
    const PrintText* version = find("VER 1.4");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->x, 600 + printUnit(430, 600) + 40);
    const PrintText* start = find("2024-01-02 03:04:05");
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->y,
              600 + (printUnit(1, 600) + 60) + (printUnit(10, 600) + 60) + (printUnit(4, 600) + 60));
    const PrintText* channel = find("05 CH");
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(channel->y, page.pictureY + page.pictureHeight);
    const PrintText* size = find("720 * 480 PIXEL");
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->y, channel->y + printUnit(300, 600) + 60 + printUnit(6, 600) + 60);
    EXPECT_NE(find("2026-12-08 23:01:02"), nullptr);
    EXPECT_NE(find("2024-01-02 08:00:09"), nullptr);
}

}  // namespace
}  // namespace dvr::player
