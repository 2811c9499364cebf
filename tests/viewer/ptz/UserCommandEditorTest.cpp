// The user command editor's model: its refusals, the length box, and files
// written by the editor and read by both readers (and the other way round).
#include "viewer/ptz/PtzFiles.h"
#include "viewer/ptz/UserCommandEditor.h"

#include <gtest/gtest.h>

#include "common/fs/AtomicFile.h"
#include "tests/support/TempFolder.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace dvr::ptz {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string key(const EditorMessage& m) {
    return m ? std::string(m->key) : std::string();
}

// A file of `n` commands without block headers.
std::string commands(int n) {
    std::string text;
    for (int i = 0; i < n; ++i)
        text += "CMD" + std::to_string(i) + "/2/" + std::to_string(10 + i) + "/ff/\r\n";
    return text;
}

class EditorTest : public ::testing::Test {
protected:
    // An editor holding `n` commands read from a file.
    void load(int n) {
        writeFile(dir / "in.tl", commands(n));
        ASSERT_FALSE(editor.open((dir / "in.tl").string()));
        ASSERT_EQ(editor.entries().size(), static_cast<size_t>(n));
    }
    void addNew(const std::string& name, const std::vector<std::string>& cells) {
        editor.newCommand();
        editor.setName(name);
        for (size_t i = 0; i < cells.size(); ++i)
            editor.setCellText(static_cast<int>(i), cells[i]);
        editor.setLengthSelection(static_cast<int>(cells.size()) - 1);
    }

    testsupport::TempFolder m_folder;
    const fs::path dir = m_folder.path();
    UserCommandEditor editor;
};

TEST_F(EditorTest, AddChecksAndTheThirtyEntryLimit) {
    load(29);
    EXPECT_EQ(key(editor.addCommand()), "MSG_008");  // not in new-command mode
    addNew("", {"01"});
    EXPECT_EQ(key(editor.addCommand()), "MSG_009");
    // A name the file would read back as a camera block's header is refused.
    for (const char* header : {"7UP", " 2 preset", "+2", "<2>x", "<17>"}) {
        addNew(header, {"01"});
        EXPECT_TRUE(editor.addCommand()) << header;
    }
    addNew("A/B", {"01"});
    EXPECT_TRUE(editor.addCommand());
    EXPECT_EQ(editor.entries().size(), 29u);

    addNew("PRESET", {"a0", "1F", "zz"});
    EXPECT_FALSE(editor.addCommand());
    ASSERT_EQ(editor.entries().size(), 30u);
    EXPECT_EQ(editor.selection(), 29);
    EXPECT_TRUE(editor.selectedMode());
    EXPECT_FALSE(editor.newMode());
    EXPECT_EQ(editor.name(), "");
    const PtzCommand& added = editor.entries().back();
    EXPECT_EQ(added.name, "PRESET");
    EXPECT_EQ(added.length, 3);
    EXPECT_EQ(added.bytes[0], 0xA0);
    EXPECT_EQ(added.bytes[1], 0x1F);
    EXPECT_EQ(added.bytes[2], 0x00);  // a cell without hexadecimal digits

    addNew("ONE_TOO_MANY", {"01"});
    const EditorMessage full = editor.addCommand();
    EXPECT_EQ(key(full), "MSG_010");
    EXPECT_EQ(full->defaultText, "User Pantilt Cmd is full(100)");
    EXPECT_EQ(editor.entries().size(), 30u);
}

TEST_F(EditorTest, DeleteKeepsTheDefaultCommands) {
    load(15);
    EXPECT_EQ(key(editor.deleteSelected()), "MSG_011");
    editor.selectEntry(12);
    EXPECT_EQ(key(editor.deleteSelected()), "MSG_012");
    editor.selectEntry(13);
    EXPECT_FALSE(editor.deleteSelected());
    ASSERT_EQ(editor.entries().size(), 14u);
    EXPECT_EQ(editor.entries()[13].name, "CMD14");
    EXPECT_EQ(editor.selection(), 0);
}

TEST_F(EditorTest, StoreOperateAndTheLengthBox) {
    load(14);
    std::optional<PtzCommand> operated;
    EXPECT_EQ(key(editor.operate(&operated)), "MSG_011");
    EXPECT_EQ(key(editor.storeSelected()), "MSG_011");
    EXPECT_FALSE(operated);

    addNew("EIGHT", {"01", "02", "03", "04", "05", "06", "07", "08"});
    ASSERT_FALSE(editor.addCommand());
    editor.selectEntry(14);
    EXPECT_EQ(editor.lengthSelection(), 7);
    EXPECT_EQ(editor.cells()[7], "08");
    editor.setLengthSelection(2);               // shorten 8 -> 3
    EXPECT_EQ(editor.entries()[14].length, 3);  // at once, before Store
    EXPECT_EQ(editor.cells()[2], "03");
    for (int i = 3; i < 8; ++i)
        EXPECT_EQ(editor.cells()[static_cast<size_t>(i)], "") << i;
    editor.setLengthSelection(4);  // lengthen again: the stored bytes come back
    EXPECT_EQ(editor.cells()[4], "05");

    editor.setCellText(0, "aa");
    editor.setName("RENAMED");
    EXPECT_FALSE(editor.storeSelected());
    EXPECT_EQ(editor.entries()[14].name, "RENAMED");
    EXPECT_EQ(editor.entries()[14].bytes[0], 0xAA);
    EXPECT_EQ(editor.entries()[14].length, 5);

    EXPECT_FALSE(editor.operate(&operated));
    ASSERT_TRUE(operated);
    EXPECT_EQ(operated->name, "RENAMED");
}

TEST_F(EditorTest, SavedEntryReadsBackInBothReaders) {
    const std::string path = (dir / "user_command.tl").string();
    addNew("UP", {"a0", "1f"});
    ASSERT_FALSE(editor.addCommand());
    ASSERT_FALSE(editor.saveFile(path));
    EXPECT_EQ(editor.filePath(), path);
    const auto text = readWholeFile(path);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "<1>\r\nUP/2/a0/1f/\r\n");

    UserCommandEditor second;
    ASSERT_FALSE(second.loadFile(path));
    ASSERT_EQ(second.entries().size(), 1u);
    EXPECT_EQ(second.entries()[0], editor.entries()[0]);

    PtzCommandTable table;
    EXPECT_EQ(readBlockFile(*text, table), 1);
    EXPECT_EQ(table.at(0, 0), editor.entries()[0]);
}

TEST_F(EditorTest, SavingKeepsTheOtherCameraBlocks) {
    const auto shipped = readWholeFile(std::string(DVR_PTZ_SOURCE_DIR) + "/pelcoD.tl");
    ASSERT_TRUE(shipped);
    const fs::path path = dir / "cameras.tl";
    writeFile(path, *shipped);
    ASSERT_FALSE(editor.loadFile(path.string()));
    ASSERT_EQ(editor.entries().size(), 13u);  // camera 1's block only
    editor.selectEntry(0);
    editor.setCellText(6, "ee");
    ASSERT_FALSE(editor.storeSelected());
    ASSERT_FALSE(editor.saveFile(path.string()));

    const auto saved = readWholeFile(path.string());
    ASSERT_TRUE(saved);
    const size_t from = shipped->find("<2>");
    EXPECT_EQ(saved->substr(saved->find("<2>")), shipped->substr(from));
    PtzCommandTable before, after;
    readBlockFile(*shipped, before);
    EXPECT_EQ(readBlockFile(*saved, after), kPtzCameras);
    EXPECT_EQ(after.at(0, 0).bytes[6], 0xEE);
    for (int camera = 1; camera < kPtzCameras; ++camera)
        for (int slot = 0; slot < kPtzSlots; ++slot)
            EXPECT_EQ(after.at(camera, slot), before.at(camera, slot));
}

TEST_F(EditorTest, FileWithoutHeadersGainsOneOnSave) {
    writeFile(dir / "plain.tl", commands(3));
    ASSERT_FALSE(editor.loadFile((dir / "plain.tl").string()));
    ASSERT_EQ(editor.entries().size(), 3u);
    ASSERT_FALSE(editor.saveFile((dir / "plain.tl").string()));
    const auto saved = readWholeFile((dir / "plain.tl").string());
    EXPECT_EQ(*saved, "<1>\r\n" + commands(3));
}

TEST_F(EditorTest, FailuresLeaveTheListAndTheFile) {
    load(13);
    const std::string missing = (dir / "nope.tl").string();
    const EditorMessage unread = editor.loadFile(missing);
    ASSERT_TRUE(unread);
    EXPECT_EQ(unread->text, "Can not Read File : " + missing);
    EXPECT_EQ(editor.entries().size(), 13u);

    // A half-typed new command blocks the save.
    editor.newCommand();
    editor.setCellText(0, "01");
    EXPECT_EQ(key(editor.saveCheck()), "MSG_006");
    EXPECT_EQ(key(editor.saveFile((dir / "out.tl").string())), "MSG_006");
    EXPECT_FALSE(fs::exists(dir / "out.tl"));

    // A file that cannot be created is reported with its path and reason.
    editor.newCommand();
    const std::string unwritable = (dir / "no" / "such" / "folder.tl").string();
    const EditorMessage failed = editor.saveFile(unwritable);
    ASSERT_TRUE(failed);
    EXPECT_NE(failed->text.find(unwritable), std::string::npos);
    EXPECT_NE(failed->text.find('('), std::string::npos);
    EXPECT_EQ(editor.filePath(), (dir / "in.tl").string());
}

TEST_F(EditorTest, ASaveThatFailsOrMeetsPlantedLinksLeavesEveryOtherFileAlone) {
    writeFile(dir / "cameras.tl", "<1>\r\n" + commands(2) + "<2>\r\nOTHER/1/01/\r\n");
    ASSERT_FALSE(editor.loadFile((dir / "cameras.tl").string()));
    const std::string before = *readWholeFile((dir / "cameras.tl").string());
    editor.selectEntry(0);
    editor.setCellText(6, "ee");
    ASSERT_FALSE(editor.storeSelected());
    {
        // The rename fails: the old file stays whole, and no write in place follows.
        dvr::fs::testing::ScopedFault fault(dvr::fs::testing::Step::Rename, EIO);
        const EditorMessage failed = editor.saveFile((dir / "cameras.tl").string());
        ASSERT_TRUE(failed);
        EXPECT_NE(failed->text.find(std::strerror(EIO)), std::string::npos) << failed->text;
    }
    EXPECT_EQ(*readWholeFile((dir / "cameras.tl").string()), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // no temporary left

    // Links planted at the old temporary name and at the target: their targets are never written.
    writeFile(dir / "victim", "precious");
    fs::create_symlink(dir / "victim", dir / "cameras.tl.tmp");
    fs::create_symlink(dir / "victim", dir / "linked.tl");
    ASSERT_FALSE(editor.saveFile((dir / "cameras.tl").string()));
    EXPECT_FALSE(editor.saveFile((dir / "linked.tl").string()));
    EXPECT_EQ(*readWholeFile((dir / "victim").string()), "precious");
    EXPECT_NE(readWholeFile((dir / "cameras.tl").string())->find("<2>\r\nOTHER/1/01/"), std::string::npos);
}

TEST(EditorBlock, ReadsTheFirstBlockAndAtMostThirtyLines) {
    EXPECT_EQ(readEditorBlock("junk/1/01/\n<4>\nA/1/01/\nB/1/02/\n<5>\nC/1/03/\n").size(), 2u);
    EXPECT_EQ(readEditorBlock(commands(40)).size(), 30u);
    EXPECT_TRUE(readEditorBlock("").empty());
    // A header without a line end at the end of the file still gets one.
    EXPECT_EQ(replaceEditorBlock("<1>", {parseCommandLine("S/1/01/")}), "<1>\r\nS/1/01/\r\n");
}

}  // namespace
}  // namespace dvr::ptz
