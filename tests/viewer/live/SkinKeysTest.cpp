#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/LiveLayout.h"
#include "viewer/live/LiveSkinKeys.h"
#include "viewer/playback/PlaybackCommandIds.h"
#include "viewer/playback/PlaybackLayout.h"
#include "viewer/playback/PlaybackSkinKeys.h"

namespace dvr {
namespace {

// A window finds its buttons by command id and its bitmaps by section: each appears once per window, and
// no two buttons share a place.
void expectDistinct(const std::vector<skin::SkinButtonKeys>& buttons) {
    std::set<int> ids;
    std::set<std::string> sections;
    std::set<std::string> places;
    for (const skin::SkinButtonKeys& b : buttons) {
        EXPECT_TRUE(ids.insert(b.commandId).second) << b.section << " repeats command " << b.commandId;
        EXPECT_TRUE(sections.insert(b.section).second) << b.section;
        EXPECT_TRUE(places.insert(b.positionSection + "/" + b.positionKey).second) << b.positionKey;
    }
}

std::set<int> idsOf(const std::vector<skin::SkinButtonKeys>& buttons) {
    std::set<int> ids;
    for (const skin::SkinButtonKeys& b : buttons)
        ids.insert(b.commandId);
    return ids;
}

TEST(SkinKeysTest, TheLiveWindowHasEveryModeChannelAndPtzButtonOnce) {
    const auto& buttons = live::skinkeys::buttons();
    expectDistinct(buttons);
    const std::set<int> ids = idsOf(buttons);
    for (int k = 0; k < live::kModeButtonCount; ++k)
        EXPECT_TRUE(ids.count(live::command::kModeFirst + k)) << k;
    for (int c = 0; c < live::kChannelCount; ++c)
        EXPECT_TRUE(ids.count(live::command::kChannelFirst + c)) << c;
    for (int id = live::command::kPtzFirst; id <= live::command::kPtzLast; ++id)
        EXPECT_TRUE(ids.count(id)) << id;
    // The PTZ buttons load their checked image and report holds; the PTZ channel buttons carry their values.
    for (const skin::SkinButtonKeys& b : buttons) {
        const bool ptz = b.section.rfind("BTN_PTZ_", 0) == 0;
        EXPECT_EQ(b.load == skin::ButtonLoad::Ptz, ptz) << b.section;
        if (ptz) {
            EXPECT_EQ(b.kind, skin::ButtonKind::Hold) << b.section;
        }
    }
    EXPECT_EQ(buttons.size(), 47u);
}

TEST(SkinKeysTest, ThePlaybackWindowHasEveryChannelAndPlayButtonOnce) {
    const auto& buttons = playback::skinkeys::buttons();
    expectDistinct(buttons);
    const std::set<int> ids = idsOf(buttons);
    for (int c = 0; c < playback::kPaneCount; ++c)
        EXPECT_TRUE(ids.count(playback::command::kChannelFirst + c)) << c;
    for (int k = 0; k < 5; ++k)
        EXPECT_TRUE(ids.count(playback::command::kPlayFirst + k)) << k;
    for (const skin::SkinButtonKeys& b : buttons)
        EXPECT_EQ(b.load, skin::ButtonLoad::Standard) << b.section;
    EXPECT_EQ(buttons.size(), 35u);
}

}  // namespace
}  // namespace dvr
