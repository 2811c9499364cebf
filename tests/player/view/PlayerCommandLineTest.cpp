#include "player/view/PlayerCommandLine.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dvr::player {
namespace {

TEST(PlayerCommandLine, TakesTheHomeFolderAndOneFile) {
    const PlayerCommandLine both = parsePlayerCommandLine({"--home", "/opt/d", "\"my disc.zav\""});
    ASSERT_TRUE(both.ok()) << both.error;
    EXPECT_EQ(both.home, std::optional<std::string>("/opt/d"));
    EXPECT_EQ(both.file, std::optional<std::string>("my disc.zav"));
    EXPECT_FALSE(both.help);

    EXPECT_EQ(parsePlayerCommandLine({"disc.zav", "--home=/x"}).home, std::optional<std::string>("/x"));
    EXPECT_EQ(parsePlayerCommandLine({"--", "-odd.zav"}).file, std::optional<std::string>("-odd.zav"));

    const PlayerCommandLine none = parsePlayerCommandLine({});
    EXPECT_TRUE(none.ok());
    EXPECT_FALSE(none.file);
    EXPECT_FALSE(none.home);
    // A name that is only quotes names no file.
    EXPECT_FALSE(parsePlayerCommandLine({"\"\""}).file);
}

TEST(PlayerCommandLine, RejectsBadArgumentsOnOneLine) {
    const std::vector<std::vector<std::string>> cases = {
        {"--verbose"}, {"-x", "a.zav"}, {"--home"}, {"--home="}, {"--home", ""}, {"a.zav", "b.zav"},
    };
    for (const auto& arguments : cases) {
        const PlayerCommandLine line = parsePlayerCommandLine(arguments);
        EXPECT_FALSE(line.ok()) << arguments.front();
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(answerPlayerCommandLine(line, out, err), 2) << arguments.front();
        EXPECT_TRUE(out.str().empty());
        const std::string message = err.str();
        EXPECT_TRUE(message.starts_with("discoro: "));
        EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
    }
}

TEST(PlayerCommandLine, HelpIsAnsweredAndAValidLineGoesOn) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(answerPlayerCommandLine(parsePlayerCommandLine({"disc.zav", "-h"}), out, err), 0);
    EXPECT_EQ(out.str(), playerUsage());
    EXPECT_TRUE(err.str().empty());
    EXPECT_EQ(answerPlayerCommandLine(parsePlayerCommandLine({"disc.zav"}), out, err), -1);
}

}  // namespace
}  // namespace dvr::player
