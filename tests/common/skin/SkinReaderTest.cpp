#include "common/skin/SkinReader.h"

#include <gtest/gtest.h>

#include <tuple>

#include "common/skin/IniFile.h"
#include "common/skin/LanguageFile.h"
#include "common/skin/PlayerInfo.h"
#include "common/skin/PlayerSkinReader.h"
#include "tests/support/TempFolder.h"

using namespace dvr::skin;
using dvr::testsupport::TempFolder;

TEST(SkinValuesTest, ParsesPositionValues) {
    struct Case {
        const char* value;
        SkinRect rect;
    };
    const Case cases[] = {
        {"<10><20><30><40>", {10, 20, 40, 60}},
        {"<5><6>", {5, 6, 5, 6}},              // missing tokens count as 0
        {"<x><20><30><40>", {0, 20, 30, 60}},  // a non-numeric token counts as 0
        {"<12px><1><1><1>", {12, 1, 13, 2}},   // a number ends at the first other character
        {"<1><2><3><4><5><6>", {1, 2, 4, 6}},  // tokens after the fourth are ignored
        {"< 7 >< -3 ><10><10>", {7, -3, 17, 7}},
        {" <1><2><3><4>", {0, 1, 2, 4}},         // a blank before the first bracket is a token
        {"<<0>><<0>><20><10>", {0, 0, 20, 10}},  // runs of brackets separate once
        {"EMPTY", {0, 0, 0, 0}},
        {"", {0, 0, 0, 0}},
        {"<2147483647><0><1><0>", {2147483647, 0, -2147483647 - 1, 0}},  // wraps, never overflows
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SkinValues::parsePosition(c.value), c.rect) << c.value;
    }
}

TEST(SkinValuesTest, BitmapValuesStartingWithUpperCaseEAreEmpty) {
    EXPECT_TRUE(SkinValues::isEmptyBitmap("EMPTY"));
    EXPECT_TRUE(SkinValues::isEmptyBitmap("Exit.bmp"));
    EXPECT_TRUE(SkinValues::isEmptyBitmap(""));
    EXPECT_FALSE(SkinValues::isEmptyBitmap("exit.bmp"));
    EXPECT_FALSE(SkinValues::isEmptyBitmap("skin\\live.bmp"));
}

TEST(SkinReaderTest, MissingSkinFileReportsOnceAndAnswersNothing) {
    TempFolder folder;
    RecordingSkinNotifier notifier;
    SkinReader reader(folder.path(), &notifier);
    EXPECT_FALSE(reader.open(folder.file("ini/res.ini")));
    EXPECT_EQ(reader.readString("MAIN", "LIVE_SKIN"), std::nullopt);
    EXPECT_EQ(reader.readPosition("MAIN POS", "POS_EXIT"), SkinRect{});
    EXPECT_EQ(reader.readBitmapPath("MAIN", "LIVE_SKIN"), std::nullopt);
    EXPECT_EQ(reader.readButtonImages("BTN_CONNECT").normal, std::nullopt);
    ASSERT_EQ(notifier.messages().size(), 1u);
    EXPECT_EQ(notifier.messages()[0].text, "Can't open file for reading :\n");
}

TEST(SkinReaderTest, ReadsPositionsBitmapsAndButtonSections) {
    TempFolder folder;
    const std::string path = folder.write("ini/res.ini",
                                          "[MAIN]\r\nLIVE_SKIN=skin\\live.bmp\r\nPLAYBACK_SKIN=EMPTY\r\n"
                                          "[MAIN POS]\r\nPOS_LIVE_SKIN=<0><0><800><600>\r\n"
                                          "[BTN_LIVE_EXIT]\r\nNORMAL=btn\\\\exit_n.bmp\r\nDOWN=Exit.bmp\r\n"
                                          "DISABLE=btn/exit_d.bmp\r\n");
    RecordingSkinNotifier notifier;
    SkinReader reader(folder.path(), &notifier);
    ASSERT_TRUE(reader.open(path));
    EXPECT_TRUE(notifier.messages().empty());

    EXPECT_EQ(reader.readPosition("main pos", "POS_LIVE_SKIN"), (SkinRect{0, 0, 800, 600}));
    EXPECT_EQ(reader.readPosition("MAIN POS", "POS_EXIT"), SkinRect{});  // missing: "EMPTY"
    EXPECT_EQ(reader.readString("MAIN", "SLIDERUP"), "EMPTY");
    EXPECT_EQ(reader.readBitmapPath("MAIN", "LIVE_SKIN"), folder.path() + "/skin/live.bmp");
    EXPECT_EQ(reader.readBitmapPath("MAIN", "PLAYBACK_SKIN"), std::nullopt);

    const ButtonImageFiles images = reader.readButtonImages("BTN_LIVE_EXIT");
    EXPECT_EQ(images.normal, folder.path() + "/btn/exit_n.bmp");
    EXPECT_EQ(images.down, std::nullopt);  // "Exit.bmp" reads as "EMPTY"
    EXPECT_EQ(images.disable, folder.path() + "/btn/exit_d.bmp");
    EXPECT_EQ(images.dnCheck, std::nullopt);

    EXPECT_EQ(readViewerSkinPosition(path, "MAIN POS", "POS_LIVE_SKIN"), (SkinRect{0, 0, 800, 600}));
    EXPECT_EQ(readViewerSkinPosition(folder.file("none.ini"), "MAIN POS", "POS_LIVE_SKIN"), SkinRect{});
}

// The viewer's and the player's readers look strings, bitmaps and button images up alike; only a missing
// position differs (the player's default window).
TEST(SkinReaderTest, BothProgramsReadersAnswerOneFileAlike) {
    TempFolder folder;
    const std::string text = "[MAIN]\nLONG=" + std::string(300, 'x') +
                             "\nLIVE_SKIN=skin/live.bmp\n[BTN_OPEN]\nNORMAL=o_n.bmp\nDNCHECK=o_c.bmp\n";
    const std::string viewerPath = folder.write("ini/res.ini", text);
    folder.write("res.ini", text);
    SkinReader viewer(folder.path(), nullptr);
    ASSERT_TRUE(viewer.open(viewerPath));
    const PlayerSkinReader player(folder.path(), nullptr);

    EXPECT_EQ(viewer.readString("MAIN", "LONG"), std::string(259, 'x'));
    EXPECT_EQ(player.readString("MAIN", "LONG"), std::string(259, 'x'));
    EXPECT_EQ(viewer.readString("MAIN", "NONE"), player.readString("MAIN", "NONE"));
    EXPECT_EQ(viewer.readBitmapPath("MAIN", "LIVE_SKIN"), player.readBitmapPath("MAIN", "LIVE_SKIN"));
    const ButtonImageFiles a = viewer.readButtonImages("BTN_OPEN");
    const ButtonImageFiles b = player.readButtonImages("BTN_OPEN");
    EXPECT_EQ(a.normal, folder.path() + "/o_n.bmp");
    EXPECT_EQ(a.dnCheck, folder.path() + "/o_c.bmp");
    EXPECT_EQ(std::tie(a.normal, a.down, a.disable, a.dnCheck),
              std::tie(b.normal, b.down, b.disable, b.dnCheck));
    EXPECT_EQ(viewer.readPosition("MAIN POS", "POS_EXIT"), SkinRect{});
    EXPECT_EQ(player.readPosition("MAIN POS", "POS_EXIT"), (SkinRect{0, 0, 20, 10}));
}

TEST(PlayerSkinReaderTest, MissingPositionsAre20By10AtTheOriginAndCanMoveDown) {
    TempFolder folder;
    folder.write("res.ini", "[MAIN POS]\nPOS_EXIT=<700><10><30><20>\n[MAIN]\nLOGO=logo.bmp\nOVERLAY=EMPTY\n");
    RecordingSkinNotifier notifier;
    const PlayerSkinReader reader(folder.path(), &notifier);
    EXPECT_EQ(reader.readPosition("MAIN POS", "POS_OPEN"), (SkinRect{0, 0, 20, 10}));
    EXPECT_EQ(reader.readPosition("MAIN POS", "POS_OPEN", true), (SkinRect{0, 104, 20, 114}));
    EXPECT_EQ(reader.readPosition("MAIN POS", "POS_EXIT", true), (SkinRect{700, 114, 730, 134}));
    EXPECT_EQ(reader.readBitmapPath("MAIN", "LOGO"), folder.path() + "/logo.bmp");
    EXPECT_EQ(reader.readBitmapPath("MAIN", "OVERLAY"), std::nullopt);
    EXPECT_EQ(reader.readString("TOOL_TIP", "TTIP_EXIT"), "EMPTY");
}

TEST(PlayerSkinReaderTest, MainFrameRefusesAMissingWindowPosition) {
    TempFolder folder;
    RecordingSkinNotifier notifier;
    const PlayerSkinReader withoutFile(folder.path(), &notifier);
    EXPECT_FALSE(withoutFile.fileFound());
    EXPECT_EQ(withoutFile.readMainFramePosition(), std::nullopt);
    ASSERT_EQ(notifier.messages().size(), 1u);
    EXPECT_EQ(notifier.messages()[0].text, "Can't create window. Needs another resource.");
    EXPECT_EQ(notifier.messages()[0].caption, "ZAV PLAYER");

    folder.write("res.ini", "[MAIN POS]\nPOS_SKIN=<0><0><1024><768>\n");
    const PlayerSkinReader withFile(folder.path(), &notifier);
    EXPECT_EQ(withFile.readMainFramePosition(), (SkinRect{0, 0, 1024, 768}));
    EXPECT_EQ(notifier.messages().size(), 1u);
}

TEST(LanguageFileTest, FallsBackToTheBuiltInEnglishTexts) {
    TempFolder folder;
    const LanguageFile missing(folder.path());
    EXPECT_EQ(missing.errorMessage(19), "Another instance of this program exists");
    EXPECT_EQ(missing.errorMessage(1), " Can't find Printer's driver!");
    EXPECT_EQ(missing.text("MAIN", "Vistrel"), "Vistrel");
    EXPECT_EQ(LanguageFile::errorMessageKey(3), "MSG_003");

    // A translated file in UTF-16 with a text longer than a lookup may return.
    std::string text =
        "[ERR_MSG]\r\nMSG_019=Une autre instance est d\xC3\xA9j\xC3\xA0 lanc\xC3\xA9"
        "e\r\n"
        "[CONFIG_MAIN]\r\nCancel=" +
        std::string(300, 'y') + "\r\n";
    folder.write("ini/lang.ini", TextCodec::encode(text, TextEncoding::Utf16LeBom));
    const LanguageFile translated(folder.path());
    EXPECT_EQ(translated.errorMessage(19),
              "Une autre instance est d\xC3\xA9j\xC3\xA0 lanc\xC3\xA9"
              "e");
    EXPECT_EQ(translated.errorMessage(20), "ERROR");
    EXPECT_EQ(translated.text("CONFIG_MAIN", "Cancel"), std::string(259, 'y'));
}

TEST(PlayerInfoTest, ReadsInfoAndWritesModeAndPalBack) {
    TempFolder folder;
    const std::string path = folder.file("res.ini");
    EXPECT_EQ(PlayerInfoStore::read(path).pal, 0);

    folder.write("res.ini", "[MAIN]\r\nLOGO=logo.bmp\r\n[INFO]\r\nPAL=1\r\nFILTER=2\r\nTOOLTIP_ON=1\r\n");
    const PlayerInfo info = PlayerInfoStore::read(path);
    EXPECT_EQ(info.pal, 1);
    EXPECT_EQ(info.filter, 2);
    EXPECT_EQ(info.tooltipOn, 1);

    ASSERT_TRUE(PlayerInfoStore::write(path, 3, 0));
    EXPECT_EQ(TempFolder::read(path),
              "[MAIN]\r\nLOGO=logo.bmp\r\n[INFO]\r\nPAL=0\r\nFILTER=2\r\nTOOLTIP_ON=1\r\nMODE=3\r\n");
}
