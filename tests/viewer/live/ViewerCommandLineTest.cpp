#include "viewer/live/ViewerCommandLine.h"

#include <gtest/gtest.h>

namespace dvr::live {
namespace {

TEST(ViewerCommandLine, AcceptsEveryOptionInBothForms) {
    const ViewerCommandLine line = parseViewerCommandLine(
        {"--home", "/tmp/v", "--host=127.0.0.1", "--port", "50001", "--connect", "--no-arp-cleanup"});
    ASSERT_TRUE(line.ok()) << line.error;
    EXPECT_EQ(line.home, "/tmp/v");
    EXPECT_EQ(line.host, "127.0.0.1");
    EXPECT_EQ(line.port, 50001);
    EXPECT_TRUE(line.connect);
    EXPECT_FALSE(line.arpCleanup);
    EXPECT_FALSE(line.help);

    const ViewerCommandLine none = parseViewerCommandLine({});
    EXPECT_TRUE(none.ok());
    EXPECT_FALSE(none.host.has_value());
    EXPECT_FALSE(none.port.has_value());
    EXPECT_FALSE(none.connect);
    EXPECT_TRUE(none.arpCleanup);
}

TEST(ViewerCommandLine, RejectsBadArguments) {
    const std::vector<std::vector<std::string>> cases = {
        {"--port", "0"}, {"--port", "65536"}, {"--port", "12ab"}, {"--port=-1"}, {"--port"},
        {"--host"},      {"--host="},         {"--verbose"},      {"file.zav"},
    };
    for (const auto& arguments : cases) {
        const ViewerCommandLine line = parseViewerCommandLine(arguments);
        EXPECT_FALSE(line.ok()) << arguments.front();
        EXPECT_EQ(line.error.find('\n'), std::string::npos);
    }
}

TEST(ViewerCommandLine, HelpWins) {
    EXPECT_TRUE(parseViewerCommandLine({"--help"}).help);
    EXPECT_TRUE(parseViewerCommandLine({"--connect", "-h"}).help);
}

}  // namespace
}  // namespace dvr::live
