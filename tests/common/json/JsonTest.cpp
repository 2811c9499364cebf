// The strict JSON reader (what it takes, what it refuses, where it says the fault is) and the one JSON
// string writer, whose exact bytes signed manifests depend on.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/json/Json.h"

namespace {

using dvr::jsonString;
using dvr::JsonValue;
using dvr::lineText;
using dvr::parseJson;

TEST(Json, ReadsNestedValuesEscapesAndWholeNumbers) {
    const auto r = parseJson(
        " {\"a\": [1, -0, 2.5, 1e3, 9223372036854775807, 9223372036854775808], \"s\": "
        "\"q\\\"\\\\\\/\\n\\u00e9\\ud83d\\ude00"
        "\xc3\xa9\", \"t\": true, \"f\": false, \"n\": null, \"o\": {}} \n");
    ASSERT_TRUE(r.value) << r.error;
    const JsonValue& a = *r.value->member("a");
    ASSERT_EQ(a.items.size(), 6u);
    EXPECT_EQ(a.items[0].integer, 1);
    EXPECT_EQ(a.items[1].integer, 0);
    EXPECT_FALSE(a.items[2].integer);  // fractions and exponents are not whole numbers here
    EXPECT_FALSE(a.items[3].integer);
    EXPECT_EQ(a.items[4].integer, INT64_MAX);
    EXPECT_FALSE(a.items[5].integer);  // out of range
    EXPECT_EQ(r.value->member("s")->text, "q\"\\/\n\xc3\xa9\xf0\x9f\x98\x80\xc3\xa9");
    EXPECT_TRUE(r.value->member("t")->boolean);
    EXPECT_EQ(r.value->member("n")->kind, JsonValue::Kind::Null);
    EXPECT_EQ(r.value->member("o")->kind, JsonValue::Kind::Object);
    EXPECT_EQ(r.value->member("missing"), nullptr);
}

TEST(Json, RefusesWhatIsNotStrictJson) {
    for (const std::string& bad : std::vector<std::string>{"",
                                                           "{",
                                                           "{\"a\":1,}",
                                                           "[1,]",
                                                           "{\"a\":1}x",
                                                           "{\"a\":1,\"a\":2}",
                                                           "{a:1}",
                                                           "[01]",
                                                           "[1.]",
                                                           "[-]",
                                                           "[1e]",
                                                           "\"\\ud800\"",
                                                           "\"\\udc00\"",
                                                           "\"\\ud800\\u0041\"",
                                                           "\"tab\there\"",
                                                           "\"\\x\"",
                                                           "\"\xc3\"",
                                                           "\"\xc0\xaf\"",
                                                           "\"\xed\xa0\x80\"",
                                                           "\"\xf5\x80\x80\x80\"",
                                                           "[tru]",
                                                           "// c\n1",
                                                           "\"unterminated",
                                                           std::string("\"nul\0\"", 6),
                                                           std::string(65, '[') + std::string(65, ']')}) {
        const auto r = parseJson(bad);
        EXPECT_FALSE(r.value) << bad;
        EXPECT_FALSE(r.error.empty()) << bad;
    }
    EXPECT_TRUE(parseJson(std::string(64, '[') + std::string(64, ']')).value);
}

TEST(Json, ErrorsNameLineAndColumn) {
    const auto r = parseJson("{\n  \"a\": 1,\n  \"b\" 2\n}");
    ASSERT_FALSE(r.value);
    EXPECT_EQ(r.error.rfind("line 3 column ", 0), 0u) << r.error;
}

TEST(Json, QuotedTextReadsBackUnchanged) {
    const std::string text = std::string("a\"b\\c\n\r\t\x01\x1f ") + "\xc3\xa9/";
    const auto r = parseJson(jsonString(text));
    ASSERT_TRUE(r.value) << r.error;
    EXPECT_EQ(r.value->text, text);
}

// Every byte a string may hold, escaped exactly as the manifests (and the text their signatures cover)
// have always had it: changing any of these bytes would break the signature of every stored manifest.
// Plain line output shows control bytes as escapes and passes every other byte, UTF-8 included.
TEST(Json, LineTextShowsControlBytesAsEscapes) {
    for (int b = 0; b < 0x100; ++b) {
        const std::string in(1, char(b));
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
        EXPECT_EQ(lineText(in), (b < 0x20 || b == 0x7F) ? std::string(escaped) : in) << b;
    }
    EXPECT_EQ(lineText("caf\xC3\xA9\x1b[2K\n"), "caf\xC3\xA9\\x1B[2K\\x0A");
}

TEST(Json, WritesEveryControlCharacterAndEightBitByteExactly) {
    const char* const named[0x20] = {
        "\\u0000", "\\u0001", "\\u0002", "\\u0003", "\\u0004", "\\u0005", "\\u0006", "\\u0007",
        "\\u0008", "\\t",     "\\n",     "\\u000b", "\\u000c", "\\r",     "\\u000e", "\\u000f",
        "\\u0010", "\\u0011", "\\u0012", "\\u0013", "\\u0014", "\\u0015", "\\u0016", "\\u0017",
        "\\u0018", "\\u0019", "\\u001a", "\\u001b", "\\u001c", "\\u001d", "\\u001e", "\\u001f",
    };
    for (int b = 0; b < 0x100; ++b) {
        const std::string in(1, char(b));
        std::string body = in;
        if (b < 0x20)
            body = named[b];
        else if (b == '"')
            body = "\\\"";
        else if (b == '\\')
            body = "\\\\";
        EXPECT_EQ(jsonString(in), "\"" + body + "\"") << "byte " << b;
    }
    const struct {
        std::string in;
        std::string out;
    } texts[] = {
        {"", "\"\""},
        {"DVRJ PACKET1.44", "\"DVRJ PACKET1.44\""},
        {"Can't open file for reading :\n", "\"Can't open file for reading :\\n\""},
        {"a/b\x7f", "\"a/b\x7f\""},  // no escape for '/' or DEL
        {"caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x98\x80",
         "\"caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x98\x80\""},  // UTF-8 as is
        {"\xff\xfe", "\"\xff\xfe\""},                       // bytes that are not UTF-8 too
        {std::string("a\0b\r\n\t", 6), "\"a\\u0000b\\r\\n\\t\""},
    };
    for (const auto& t : texts)
        EXPECT_EQ(jsonString(t.in), t.out) << t.out;
}

}  // namespace
