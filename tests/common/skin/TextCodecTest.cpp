#include "common/skin/TextCodec.h"

#include <gtest/gtest.h>

using namespace dvr::skin;

TEST(TextCodecTest, DetectsEncodingByByteOrderMark) {
    struct Case {
        std::string bytes;
        TextEncoding encoding;
        std::string text;
    };
    const Case cases[] = {
        {"a=b", TextEncoding::Windows1252, "a=b"},
        {"caf\xE9", TextEncoding::Windows1252, "caf\xC3\xA9"},
        {"\xEF\xBB\xBF"
         "caf\xC3\xA9",
         TextEncoding::Utf8Bom, "caf\xC3\xA9"},
        {std::string("\xFF\xFE"
                     "a\0=\0\xE9\0",
                     8),
         TextEncoding::Utf16LeBom, "a=\xC3\xA9"},
        {"\xFF", TextEncoding::Windows1252, "\xC3\xBF"},
        {"", TextEncoding::Windows1252, ""},
    };
    for (const Case& c : cases) {
        const DecodedText decoded = TextCodec::decode(c.bytes);
        EXPECT_EQ(decoded.encoding, c.encoding) << c.bytes;
        EXPECT_EQ(decoded.text, c.text) << c.bytes;
    }
}

TEST(TextCodecTest, EveryWindows1252ByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const std::string text = TextCodec::fromWindows1252(all);
    EXPECT_EQ(TextCodec::toWindows1252(text), all);
    EXPECT_TRUE(TextCodec::fitsWindows1252(text));
    EXPECT_EQ(TextCodec::fromWindows1252("\x80"), "\xE2\x82\xAC");  // euro sign
}

TEST(TextCodecTest, CharactersOutsideWindows1252BecomeHash) {
    EXPECT_EQ(TextCodec::toWindows1252("A\xE6\x97\xA5\xE6\x9C\xAC"
                                       "B"),
              "A##B");
    EXPECT_FALSE(TextCodec::fitsWindows1252("\xE6\x97\xA5"));
    EXPECT_EQ(TextCodec::toWindows1252("x\xC3"), "x#");  // cut-off UTF-8
}

TEST(TextCodecTest, Utf16RoundTripsSurrogatePairsAndLoneSurrogates) {
    // U+1F600 as a pair, then a lone high surrogate followed by 'A'.
    const std::string utf16("\x3D\xD8\x00\xDE\x3D\xD8\x41\x00", 8);
    const std::string text = TextCodec::fromUtf16Le(utf16);
    EXPECT_EQ(text.substr(0, 4), "\xF0\x9F\x98\x80");
    EXPECT_EQ(TextCodec::toUtf16Le(text), utf16);
    EXPECT_EQ(TextCodec::encode("A", TextEncoding::Utf16LeBom), std::string("\xFF\xFE"
                                                                            "A\0",
                                                                            4));
}

TEST(TextCodecTest, LeftCharsNeverSplitsACharacter) {
    EXPECT_EQ(TextCodec::leftChars("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xC3\xA9");
    EXPECT_EQ(TextCodec::leftChars("abc", 5), "abc");
    EXPECT_EQ(TextCodec::leftChars("abc", 0), "");
}
