#include "common/frame/FormatText.h"

#include <gtest/gtest.h>

using namespace dvr::frame;

TEST(FormatText, QualityAndSizeTables) {
    struct Case {
        uint32_t flags;
        bool sixty;
        std::string_view quality;
        std::string_view size;
    };
    const Case cases[] = {
        {0x03000001, true, "FINE", "@360*240"},       {0x00000000, false, "BASIC", "@720*288"},
        {0x04000002, true, "SUPER FINE", "@360*120"}, {0x02000004, false, "ENHANCED", "@720*576"},
        {0x01000003, false, "NORMAL", "@360*288"},    {0x05000006, true, "", "@360*120"},
        {0xFF000000, true, "", "@720*240"},           {0x00000004, true, "BASIC", "@720*480"},
        {0x00000002, false, "BASIC", "@360*144"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.quality, qualityWord(c.flags)) << std::hex << c.flags;
        EXPECT_EQ(c.size, sizeText(c.flags, c.sixty)) << std::hex << c.flags;
    }
}

TEST(FormatText, LiveTextPadsQualityToEighteen) {
    FormatText live(FormatTextStyle::Live);
    EXPECT_TRUE(live.update(0x03000001, 0xFFFF0000));
    EXPECT_EQ("FINE              \n@360*240", live.text());
    EXPECT_TRUE(live.update(0x03000004, 0));
    EXPECT_EQ("FINE              \n@720*576", live.text());
    EXPECT_TRUE(live.update(0x04000000, 0));
    EXPECT_EQ("SUPER FINE        \n@720*288", live.text());
    // An unknown quality keeps the previous quality line.
    EXPECT_TRUE(live.update(0x09000002, 0xFFFF0000));
    EXPECT_EQ("SUPER FINE        \n@360*120", live.text());
}

TEST(FormatText, RebuiltOnlyWhenFlagsOrStandardChange) {
    FormatText live(FormatTextStyle::Live);
    EXPECT_TRUE(live.update(0, 0));  // the first picture always builds the text
    EXPECT_EQ("BASIC             \n@720*288", live.text());
    EXPECT_FALSE(live.update(0, 0));
    EXPECT_TRUE(live.update(0, 0xFFFF0000));
    EXPECT_EQ("BASIC             \n@720*240", live.text());
    live.clear();
    EXPECT_EQ("", live.text());
    EXPECT_TRUE(live.update(0, 0xFFFF0000));
}

TEST(FormatText, PlaybackTextPadsTheSizeLine) {
    FormatText playback(FormatTextStyle::Playback);
    playback.update(0x03000001, 0xFFFF0000);
    EXPECT_EQ("FINE@360*240            \n", playback.text());
    playback.update(0x02000004, 0xFFFF0001);
    EXPECT_EQ("ENHANCED@720*576           \n", playback.text());
    playback.update(0x07000000, 0xFFFF0001);
    EXPECT_EQ("ENHANCED@720*288           \n", playback.text());
    EXPECT_EQ(12u + 8 + 1, paddedSizeLine(0, true).size());
    EXPECT_EQ(11u + 8 + 1, paddedSizeLine(0, false).size());
}

TEST(FormatText, PlayerTextHasNoPaddingAndNoStaleQuality) {
    FormatText player(FormatTextStyle::Player);
    player.update(0x01000002, 0xFFFF0001);
    EXPECT_EQ("NORMAL@360*144", player.text());
    player.update(0x08000002, 0xFFFF0000);
    EXPECT_EQ("@360*120", player.text());
}
