#include "tools/cli/JsonText.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonText, QuotesEscapesAndKeepsEightBitText) {
    const struct {
        std::string_view in;
        std::string out;
    } cases[] = {
        {"", "\"\""},
        {"DVRJ PACKET1.44", "\"DVRJ PACKET1.44\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"Can't open file for reading :\n", "\"Can't open file for reading :\\n\""},
        {std::string_view("\x01\x1f\t", 3), "\"\\u0001\\u001f\\u0009\""},
        {"caf\xc3\xa9", "\"caf\xc3\xa9\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dvr::cli::jsonQuote(c.in), c.out) << c.out;
}

}  // namespace
