#include "common/skin/IniDocument.h"

#include <gtest/gtest.h>

using namespace dvr::skin;

namespace {

const char* const kSample =
    "; skin of the live view\r\n"
    "stray=before any section\r\n"
    "[MAIN]\r\n"
    "  LIVE_SKIN  =  skin\\live.bmp  \r\n"
    "live_skin=second wins never\r\n"
    "ratio=a=b\r\n"
    ";COMMENTED=1\r\n"
    "no equals sign\r\n"
    "empty=\r\n"
    "\r\n"
    "[Main Pos]\r\n"
    "POS_EXIT=<1><2><3><4>\r\n"
    "[MAIN]\r\n"
    "LATE=in the second MAIN\r\n"
    "[open header\r\n"
    "K=v\r\n";

}  // namespace

TEST(IniDocumentTest, LooksUpLikeThePrivateProfileFunctions) {
    const IniDocument document = IniDocument::parse(kSample);
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"MAIN", "LIVE_SKIN", "skin\\live.bmp"},    // blanks around key and value dropped
        {"main", "live_skin", "skin\\live.bmp"},    // names ignore case; the first entry wins
        {" MAIN ", "LIVE_SKIN", "skin\\live.bmp"},  // the asked names are trimmed too
        {"MAIN", "ratio", "a=b"},                   // the value runs from the first '='
        {"MAIN", "empty", ""},
        {"MAIN", ";COMMENTED", std::nullopt},  // comment lines never match
        {"MAIN", "no equals sign", std::nullopt},
        {"MAIN", "LATE", std::nullopt},   // only the first section of a name counts
        {"MAIN", "stray", std::nullopt},  // lines before any section belong to none
        {"MAIN POS", "POS_EXIT", "<1><2><3><4>"},
        {"open header", "K", "v"},  // a header without ']' runs to the line end
        {"MISSING", "POS_EXIT", std::nullopt},
        {"MAIN POS", "MISSING", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(document.value(c.section, c.key), c.value) << c.section << " / " << c.key;
    }
    EXPECT_EQ(document.keyNames("main"),
              (std::vector<std::string>{"LIVE_SKIN", "live_skin", "ratio", "empty"}));
    EXPECT_EQ(document.sectionNames(), (std::vector<std::string>{"MAIN", "Main Pos", "MAIN", "open header"}));
}

TEST(IniDocumentTest, ReadsIntegersLikeTheProfileIntegerFunction) {
    struct Case {
        const char* text;
        int value;
    };
    const Case cases[] = {
        {"12", 12},  {" -7x", -7}, {"+5", 5},         {"abc", 0},
        {"0x10", 0}, {"", 0},      {"4294967297", 1}, {"-2147483648", -2147483647 - 1},
        {"08", 8},   {"- 3", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseProfileInt(c.text), c.value) << c.text;
    }
}

TEST(IniDocumentTest, UnchangedDocumentsSerializeToTheSameBytes) {
    const std::string inputs[] = {
        kSample,
        "[A]\nk=v\n",
        "[A]\rk=v\r\n\nlast line without end",
        "",
        "\xEF\xBB\xBF[A]\r\nk=\xC3\xA9\r\n",
        std::string("\xFF\xFE[\0A\0]\0\r\0\n\0", 12),
        "bytes \x81\x8D\x8F\x90\x9D kept",
    };
    for (const std::string& input : inputs) {
        EXPECT_EQ(IniDocument::parse(input).serialize(), input);
    }
}

TEST(IniDocumentTest, ReplacingAValueKeepsEveryOtherLine) {
    IniDocument document = IniDocument::parse(kSample);
    document.setValue("main pos", "pos_exit", "<9><9><9><9>");
    std::string expected = kSample;
    expected.replace(expected.find("POS_EXIT=<1><2><3><4>"), 21, "POS_EXIT=<9><9><9><9>");
    EXPECT_EQ(document.serialize(), expected);
}

TEST(IniDocumentTest, NewKeysGoAfterTheSectionsLastEntryAndNewSectionsAtTheEnd) {
    IniDocument document = IniDocument::parse("[A]\nx=1\n\n; about B\n[B]\ny=2");
    document.setValue("A", "z", "3");
    document.setValue("C", "w", "4");
    EXPECT_EQ(document.serialize(), "[A]\nx=1\nz=3\n\n; about B\n[B]\ny=2\n[C]\nw=4\n");

    IniDocument empty;
    empty.setValue("NETWORK_SPEED", "DIVISION1", "2");
    EXPECT_EQ(empty.serialize(), "[NETWORK_SPEED]\r\nDIVISION1=2\r\n");
}

TEST(IniDocumentTest, WrittenValuesCannotAddLines) {
    IniDocument document;
    document.setValue("DDNS", "name0", "evil\r\n[Setting]\r\nnumber=99");
    EXPECT_EQ(document.value("DDNS", "name0"), "evil  [Setting]  number=99");
    EXPECT_FALSE(document.hasSection("Setting"));
}

TEST(IniDocumentTest, EightBitDocumentsSwitchToUtf16RatherThanLoseCharacters) {
    IniDocument document = IniDocument::parse("[A]\r\nk=caf\xE9\r\n");
    document.setValue("A", "k", "caf\xC3\xA9!");
    EXPECT_EQ(document.encoding(), TextEncoding::Windows1252);
    EXPECT_EQ(document.serialize(), "[A]\r\nk=caf\xE9!\r\n");

    document.setValue("A", "name", "\xE6\x97\xA5");  // a character Windows-1252 has no byte for
    EXPECT_EQ(document.encoding(), TextEncoding::Utf16LeBom);
    const IniDocument reread = IniDocument::parse(document.serialize());
    EXPECT_EQ(reread.value("A", "name"), "\xE6\x97\xA5");
    EXPECT_EQ(reread.value("A", "k"), "caf\xC3\xA9!");
}

TEST(IniDocumentTest, RemovesOnlyTheNamedEntry) {
    IniDocument document = IniDocument::parse("[A]\nk=1\nj=2\n");
    EXPECT_TRUE(document.removeKey("a", "K"));
    EXPECT_FALSE(document.removeKey("a", "K"));
    EXPECT_EQ(document.serialize(), "[A]\nj=2\n");
}
