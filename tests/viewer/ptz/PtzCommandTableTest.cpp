// The command table: built-in protocols byte for byte, the block file reader
// on good and malformed files, and the shipped command file.
#include "viewer/ptz/PtzCommandTable.h"
#include "viewer/ptz/PtzFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dvr::ptz {
namespace {

std::vector<uint8_t> bytesOf(const PtzCommand& c) {
    return {c.view().begin(), c.view().end()};
}

TEST(PtzBuiltins, FramesOfTheThreeProtocols) {
    PtzCommandTable table;
    fillProtocolA(table, 0);
    EXPECT_EQ(bytesOf(table.at(0, kRight)),
              (std::vector<uint8_t>{0xA0, 0x00, 0x00, 0x02, 0x40, 0x00, 0xAF, 0x4D}));
    EXPECT_EQ(bytesOf(table.at(0, kFocusIn)),
              (std::vector<uint8_t>{0xA0, 0x00, 0x02, 0x00, 0x00, 0x00, 0xAF, 0x0D}));
    fillProtocolB(table, 2);
    EXPECT_EQ(bytesOf(table.at(2, kLeft)), (std::vector<uint8_t>{0x03, 0xF0, 24, 1, 7, 0xED}));
    // The diagonals hold their horizontal move.
    EXPECT_EQ(table.at(2, kLeftUp), table.at(2, kLeft));
    EXPECT_EQ(table.at(2, kRightDown), table.at(2, kRight));
    EXPECT_EQ(bytesOf(protocolBStop(2, kUp)), (std::vector<uint8_t>{0x03, 0xF0, 20, 0, 0, 0x03 ^ 0xF0 ^ 20}));
    EXPECT_EQ(bytesOf(protocolBStop(2, kRight))[2], 19);
    EXPECT_EQ(bytesOf(protocolBStop(2, kZoomOut))[3], 4);
    EXPECT_EQ(bytesOf(protocolBStop(2, kFocusIn))[2], 37);
    fillProtocolC(table, 0);
    EXPECT_EQ(bytesOf(table.at(0, kUp)), (std::vector<uint8_t>{0xE5, 0x10, 0x01, 0x00, 0x00, 0x3F, 0x90}));
}

TEST(PtzBuiltins, ChecksumsHoldForEveryCameraAndSlot) {
    for (int camera = 0; camera < kPtzCameras; ++camera) {
        PtzCommandTable a, b, c;
        fillProtocolA(a, camera);
        fillProtocolB(b, camera);
        fillProtocolC(c, camera);
        for (int slot = 0; slot < kPtzSlots; ++slot) {
            const auto fa = bytesOf(a.at(camera, slot));
            ASSERT_EQ(fa.size(), 8u);
            EXPECT_EQ(fa[1], camera);
            EXPECT_EQ(fa[0] ^ fa[1] ^ fa[2] ^ fa[3] ^ fa[4] ^ fa[5] ^ fa[6], fa[7]);
            const auto fb = bytesOf(b.at(camera, slot));
            ASSERT_EQ(fb.size(), 6u);
            EXPECT_EQ(fb[0], camera + 1);
            EXPECT_EQ(fb[0] ^ fb[1] ^ fb[2] ^ fb[3] ^ fb[4], fb[5]);
            const auto fc = bytesOf(c.at(camera, slot));
            ASSERT_EQ(fc.size(), 7u);
            EXPECT_EQ(fc[2], camera + 1);
            EXPECT_EQ(((fc[0] + fc[1] + fc[2] + fc[3] + fc[4] + fc[5]) & 0xFF) ^ 0xA5, fc[6]);
            // Slots past the moves hold the stop command.
            if (slot >= kPtzMoveCodes) {
                EXPECT_EQ(a.at(camera, slot).bytes, a.at(camera, kStop).bytes);
                EXPECT_EQ(c.at(camera, slot).bytes, c.at(camera, kStop).bytes);
            }
        }
    }
}

TEST(PtzBuiltins, FillOnlyTheCurrentCamera) {
    PtzCommandTable table;
    fillProtocolA(table, 3);
    EXPECT_FALSE(table.at(3, kLeft).empty());
    EXPECT_TRUE(table.at(2, kLeft).empty());
    EXPECT_TRUE(table.at(4, kLeft).empty());
    // Out-of-range positions read empty and ignore writes.
    fillProtocolA(table, 16);
    EXPECT_TRUE(table.at(16, 0).empty());
    EXPECT_TRUE(table.at(0, 30).empty());
}

TEST(PtzTypes, SourcesByType) {
    EXPECT_EQ(ptzSourceForType(0).fileName, "pelcoD.tl");
    EXPECT_EQ(ptzSourceForType(7).fileName, "pelcoD.tl");
    EXPECT_EQ(ptzSourceForType(8).fileName, "ljd_dominator.tl");
    EXPECT_EQ(ptzSourceForType(1).kind, PtzSourceKind::BuiltinA);
    EXPECT_EQ(ptzSourceForType(9).kind, PtzSourceKind::BuiltinB);
    EXPECT_EQ(ptzSourceForType(10).kind, PtzSourceKind::BuiltinC);
    EXPECT_EQ(ptzSourceForType(11).kind, PtzSourceKind::None);
    EXPECT_EQ(ptzSourceForType(-1).kind, PtzSourceKind::None);
    EXPECT_EQ(ptzCodeForButton(1033), kZoomOut);
    EXPECT_EQ(ptzCodeForButton(1035), kFocusOut);
    EXPECT_EQ(ptzCodeForButton(1330), kRight);
    EXPECT_FALSE(ptzCodeForButton(1333));
    EXPECT_EQ(ptzCodeFromName("right-down"), kRightDown);
    EXPECT_FALSE(ptzCodeFromName("sideways"));
}

TEST(PtzBlockFile, HeadersSelectCamerasAndSlotsFollowInOrder) {
    const std::string text =
        "ignored before any header/1/ff/\r\n"
        "<1>\r\n"
        "STOP/3/a0/00/af/\r\n"
        "LEFT/2/01/02\r\n"  // no trailing slash
        "<3>\n"             // LF line ends too
        "STOP/1/7F/\n"
        "\n"  // an empty line is an empty slot
        "RIGHT/1/0x1f/\n";
    PtzCommandTable table;
    EXPECT_EQ(readBlockFile(text, table), 2);
    EXPECT_EQ(table.at(0, 0).name, "STOP");
    EXPECT_EQ(bytesOf(table.at(0, 0)), (std::vector<uint8_t>{0xA0, 0x00, 0xAF}));
    EXPECT_EQ(bytesOf(table.at(0, 1)), (std::vector<uint8_t>{0x01, 0x02}));
    EXPECT_TRUE(table.at(0, 2).empty());
    EXPECT_EQ(bytesOf(table.at(2, 0)), (std::vector<uint8_t>{0x7F}));
    EXPECT_TRUE(table.at(2, 1).empty());
    EXPECT_EQ(bytesOf(table.at(2, 2)), (std::vector<uint8_t>{0x1F}));
    EXPECT_TRUE(table.at(1, 0).empty());
}

TEST(PtzBlockFile, AHeaderAbove16EndsReadingAndABlockHoldsThirtyLines) {
    std::string text = "<1>\r\nSTOP/1/01/\r\n<17>\r\n<2>\r\nSTOP/1/02/\r\n";
    PtzCommandTable table;
    EXPECT_EQ(readBlockFile(text, table), 1);
    EXPECT_FALSE(table.at(0, 0).empty());
    EXPECT_TRUE(table.at(1, 0).empty());

    std::string block = "<5>\n";
    for (int i = 0; i < 31; ++i)
        block += "C" + std::to_string(i) + "/1/" + std::to_string(i % 10) + "/\n";
    block += "<6>\nSTOP/1/66/\n";
    PtzCommandTable second;
    readBlockFile(block, second);
    EXPECT_EQ(second.at(4, 29).name, "C29");
    EXPECT_EQ(bytesOf(second.at(5, 0)), (std::vector<uint8_t>{0x66}));  // the 31st line went nowhere
}

TEST(PtzBlockFile, HeaderNumbers) {
    struct Case {
        const char* line;
        std::optional<int> number;
    };
    const Case cases[] = {
        {"<3>", 3},
        {"3", 3},
        {">12<", 12},
        {"<16>  ", 16},
        {"<0>", std::nullopt},
        {"<-2>", std::nullopt},
        {"STOP/7/ff/", std::nullopt},
        {"", std::nullopt},
        {"<>", std::nullopt},
        {"9LIVES/1/ff/", 9},  // a name beginning with a digit reads as a header
        {"<99999999999999999999>", 1000000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(blockHeaderNumber(c.line), c.number) << c.line;
}

TEST(PtzBlockFile, MalformedLinesNeverSendMoreThanTheyHold) {
    std::string forty;
    for (int i = 0; i < 40; ++i)
        forty += "ab/";
    struct Case {
        std::string line;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"X/5/01/02/", {0x01, 0x02}},                       // a count above the bytes given
        {"X/2/01/02/03/", {0x01, 0x02}},                    // the count limits what is sent
        {"X/40/" + forty, std::vector<uint8_t>(32, 0xAB)},  // at most 32
        {"X/3/01/zz/03/", {0x01}},                          // a non-hexadecimal field ends the bytes
        {"X/3/1FF/Ab/c/", {0xFF, 0xAB, 0x0C}},              // modulo 256, either case
        {"X/ 2 / 0x10 / 20/", {0x10, 0x20}},                // blanks around fields
        {"X", {}},                                          // no count
        {"X/", {}},
        {"X/abc/01/", {}},       // unreadable count
        {"X/-3/01/02/03/", {}},  // negative count
        {"X/0/01/", {}},
        {"/1/ff/", {0xFF}},  // empty name
        {"X/2//01/", {}},    // an empty byte field ends the bytes
    };
    for (const Case& c : cases) {
        const PtzCommand cmd = parseCommandLine(c.line);
        EXPECT_EQ(bytesOf(cmd), c.bytes) << c.line;
        EXPECT_LE(cmd.length, kPtzMaxBytes);
    }
    EXPECT_EQ(parseCommandLine(std::string(100, 'N') + "/1/01/").name.size(), kPtzMaxNameChars);
}

TEST(PtzBlockFile, OverlongLinesAreCutNotCarriedIntoTheNextSlot) {
    std::string line = "LONG/3/01/02/03/";
    line += std::string(400, '9');  // far past 256 characters
    const std::string text = "<1>\n" + line + "\nNEXT/1/42/\n";
    PtzCommandTable table;
    readBlockFile(text, table);
    EXPECT_EQ(bytesOf(table.at(0, 0)), (std::vector<uint8_t>{0x01, 0x02, 0x03}));
    EXPECT_EQ(table.at(0, 1).name, "NEXT");
}

TEST(PtzShippedFile, DFramesForEveryCameraAndCommand) {
    const auto text = readWholeFile(std::string(DVR_PTZ_SOURCE_DIR) + "/pelcoD.tl");
    ASSERT_TRUE(text);
    PtzCommandTable table;
    EXPECT_EQ(readBlockFile(*text, table), kPtzCameras);
    for (int camera = 0; camera < kPtzCameras; ++camera) {
        for (int code = 0; code < kPtzMoveCodes; ++code) {
            const auto f = bytesOf(table.at(camera, code));
            ASSERT_EQ(f.size(), 7u) << camera << " " << code;
            EXPECT_EQ(f[0], 0xFF);
            EXPECT_EQ(f[1], camera + 1);
            EXPECT_EQ((f[1] + f[2] + f[3] + f[4] + f[5]) & 0xFF, f[6]);
        }
        EXPECT_TRUE(table.at(camera, kPtzMoveCodes).empty());
    }
    EXPECT_EQ(bytesOf(table.at(0, kRight)), (std::vector<uint8_t>{0xFF, 0x01, 0x00, 0x02, 0x20, 0x00, 0x23}));
    EXPECT_EQ(bytesOf(table.at(15, kDown)), (std::vector<uint8_t>{0xFF, 0x10, 0x00, 0x10, 0x00, 0x20, 0x40}));
    EXPECT_EQ(bytesOf(table.at(0, kStop)), (std::vector<uint8_t>{0xFF, 0x01, 0, 0, 0, 0, 0x01}));
}

}  // namespace
}  // namespace dvr::ptz
