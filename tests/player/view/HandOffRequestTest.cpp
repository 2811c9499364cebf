#include "player/view/HandOffRequest.h"

#include <gtest/gtest.h>

namespace dvr::player {
namespace {

TEST(HandOffRequest, ACompleteLineIsThePathInAnyPiecesItArrives) {
    const std::string bytes = handOffRequestBytes("/media/disc/Grüße 2.zav");
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        EXPECT_EQ(parseHandOffRequest(std::string_view(bytes).substr(0, cut)).status,
                  HandOffStatus::Incomplete)
            << cut;
    }
    const HandOffRequest request = parseHandOffRequest(bytes);
    EXPECT_EQ(request.status, HandOffStatus::Complete);
    EXPECT_EQ(request.path, "/media/disc/Grüße 2.zav");
}

TEST(HandOffRequest, AnythingButOneAbsoluteUtf8PathIsRefused) {
    struct Case {
        std::string bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"\n", "not an absolute path"},
        {"relative.zav\n", "not an absolute path"},
        {"/a.zav\n/b.zav\n", "more than one request"},
        {"/a.zav\nextra", "more than one request"},
        {std::string("/a\0b.zav\n", 9), "control character in the path"},
        {"/a\r.zav\n", "control character in the path"},
        {"/caf\xE9.zav\n", "path is not UTF-8"},
        {"/\xC0\xAF.zav\n", "path is not UTF-8"},      // overlong "/"
        {"/\xED\xA0\x80.zav\n", "path is not UTF-8"},  // a surrogate
        {"/" + std::string(kMaxHandOffRequestBytes, 'a') + "\n", "request too long"},
        {"/" + std::string(kMaxHandOffRequestBytes, 'a'), "request too long"},  // no end in sight
    };
    for (const Case& c : cases) {
        const HandOffRequest request = parseHandOffRequest(c.bytes);
        EXPECT_EQ(request.status, HandOffStatus::Refused) << c.reason;
        EXPECT_EQ(request.reason, c.reason);
        EXPECT_TRUE(request.path.empty());
    }
    // The longest path taken.
    const std::string longest = "/" + std::string(kMaxHandOffRequestBytes - 1, 'a');
    EXPECT_EQ(parseHandOffRequest(longest + "\n").path, longest);
}

}  // namespace
}  // namespace dvr::player
