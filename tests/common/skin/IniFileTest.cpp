#include "common/skin/IniFile.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/support/TempFolder.h"

using namespace dvr::skin;
using dvr::testsupport::TempFolder;

namespace {

std::string utf16(const std::string& ascii) {
    std::string out;
    for (const char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

unsigned modeOf(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 0777u;
}

}  // namespace

TEST(IniFileTest, MissingFileSectionOrKeyGiveTheDefault) {
    TempFolder folder;
    const IniFile missing(folder.file("none.ini"));
    EXPECT_EQ(missing.readString("A", "k", "EMPTY"), "EMPTY");
    EXPECT_EQ(missing.readInt("A", "k", 5), 5);

    const IniFile file(folder.write("opt.ini", "[A]\r\nk=7\r\nblank=\r\ntext=abc\r\n"));
    EXPECT_EQ(file.readInt("A", "k", 5), 7);
    EXPECT_EQ(file.readInt("A", "blank", 5), 5);  // an empty value reads as missing
    EXPECT_EQ(file.readInt("A", "text", 5), 0);   // a present non-number reads as 0
    EXPECT_EQ(file.readInt("B", "k", 5), 5);
    EXPECT_EQ(file.readString("A", "missing", "dflt"), "dflt");
}

TEST(IniFileTest, TextsAreCutTo259Characters) {
    TempFolder folder;
    const std::string longText(300, 'x');
    const IniFile file(folder.write("lang.ini", "[S]\nk=" + longText + "\n"));
    EXPECT_EQ(file.readString("S", "k", ""), std::string(259, 'x'));
    EXPECT_EQ(file.readString("S", "missing", longText), std::string(259, 'x'));
    EXPECT_EQ(file.readString("S", "k", "", 3), "xxx");
}

TEST(IniFileTest, WritingAKeyKeepsForeignLinesCommentsAndEightBitEncoding) {
    TempFolder folder;
    const std::string original =
        "; R\xE9glages\r\n[DDNS_INFO]\r\nDDNS=EMPTY\r\nGROUP=caf\xE9\r\n[OTHER]\r\nx=1\r\n";
    const IniFile file(folder.write("opt.ini", original));
    EXPECT_EQ(file.readString("DDNS_INFO", "GROUP", ""), "caf\xC3\xA9");
    ASSERT_TRUE(file.writeString("DDNS_INFO", "NAME",
                                 "Entr\xC3\xA9"
                                 "e"));
    EXPECT_EQ(TempFolder::read(file.path()),
              "; R\xE9glages\r\n[DDNS_INFO]\r\nDDNS=EMPTY\r\nGROUP=caf\xE9\r\nNAME=Entr\xE9"
              "e\r\n[OTHER]\r\nx=1\r\n");
}

TEST(IniFileTest, Utf16FilesStayUtf16WhenAKeyIsWritten) {
    TempFolder folder;
    const std::string original = "\xFF\xFE" + utf16("[MAIN]\r\n; note\r\nA=1\r\n");
    const IniFile file(folder.write("lang.ini", original));
    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC";
    ASSERT_TRUE(file.writeString("MAIN", "B", japanese));
    const std::string bytes = TempFolder::read(file.path());
    EXPECT_EQ(bytes, "\xFF\xFE" + utf16("[MAIN]\r\n; note\r\nA=1\r\nB=") +
                         std::string("\xE5\x65\x2C\x67", 4) + utf16("\r\n"));
    EXPECT_EQ(file.readString("MAIN", "B", ""), japanese);
    EXPECT_EQ(file.readInt("main", "a", 0), 1);
}

TEST(IniFileTest, Utf8FilesKeepTheirByteOrderMark) {
    TempFolder folder;
    const IniFile file(folder.write("res.ini", "\xEF\xBB\xBF[INFO]\nPAL=0\n"));
    ASSERT_TRUE(file.writeInt("INFO", "PAL", 1));
    EXPECT_EQ(TempFolder::read(file.path()), "\xEF\xBB\xBF[INFO]\nPAL=1\n");
}

TEST(IniFileTest, WritingCreatesMissingFolderAndFileAndKeepsPermissions) {
    TempFolder folder;
    const IniFile file(folder.file("ini/ddns.ini"));
    ASSERT_TRUE(file.writeString("DDNS", "number", "1"));
    EXPECT_EQ(TempFolder::read(file.path()), "[DDNS]\r\nnumber=1\r\n");

    ::chmod(file.path().c_str(), 0640);
    ASSERT_TRUE(file.writeString("DDNS", "number", "2"));
    EXPECT_EQ(modeOf(file.path()), 0640u);
    EXPECT_EQ(file.readInt("DDNS", "number", 0), 2);
}

TEST(IniFileTest, NewFileWithCharactersBeyondWindows1252IsWrittenAsUtf16) {
    TempFolder folder;
    const IniFile file(folder.file("cnn.ini"));
    ASSERT_TRUE(file.writeString("CNN", "name0", "\xE6\x97\xA5"));
    EXPECT_EQ(TempFolder::read(file.path()).substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(file.readString("CNN", "name0", ""), "\xE6\x97\xA5");
}

TEST(IniFileTest, WholeFileWriterProducesUtf16WithByteOrderMarkAndCrLf) {
    TempFolder folder;
    const std::string path = folder.file("ini/ddns.ini");
    ASSERT_TRUE(IniFile::writeWholeUtf16(path, {"[DDNS]", "number=1", "id0=Caf\xC3\xA9", "bad0=a\nb"}));
    EXPECT_EQ(TempFolder::read(path), "\xFF\xFE" + utf16("[DDNS]\r\nnumber=1\r\nid0=Caf") +
                                          std::string("\xE9\0", 2) + utf16("\r\nbad0=a b\r\n"));
    const IniFile file(path);
    EXPECT_EQ(file.readString("DDNS", "id0", ""), "Caf\xC3\xA9");
    EXPECT_EQ(file.readString("DDNS", "bad0", ""), "a b");
}

TEST(IniFileTest, AFolderInPlaceOfTheFileReadsAsMissingAndIsNotWritten) {
    TempFolder folder;
    std::filesystem::create_directories(folder.file("opt.ini"));
    const IniFile file(folder.file("opt.ini"));
    EXPECT_EQ(file.readInt("A", "k", 3), 3);
    EXPECT_FALSE(file.writeString("A", "k", "1"));
}
