#include "player/view/RecentFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace dvr::player {
namespace {

TEST(RecentFiles, KeepsTheLastFourNewestFirstWithoutDuplicates) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("discoro-recent-" + std::to_string(::getpid()));
    const RecentFiles recent((dir / "Discoro" / "Discoro.ini").string());
    EXPECT_TRUE(recent.files().empty());
    for (const char* file : {"/a.zav", "/b.zav", "/c.zav", "/d.zav", "/e.zav", "/c.zav"}) {
        ASSERT_TRUE(recent.add(file));
    }
    EXPECT_EQ(recent.files(), (std::vector<std::string>{"/c.zav", "/e.zav", "/d.zav", "/b.zav"}));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace dvr::player
