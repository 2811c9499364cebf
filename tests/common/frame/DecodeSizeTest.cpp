#include "common/frame/DecodeSize.h"

#include <gtest/gtest.h>

#include <string>

#include "common/frame/FrameDecoder.h"
#include "common/frame/J2kDecoder.h"
#include "tools/synth/Synth.h"

using namespace dvr::frame;
using namespace dvr::synth;

namespace {

// The pane sizes of the 16-, 9- and 4-pane layouts and one pane.
constexpr ShownSize kSixteen{180, 120};
constexpr ShownSize kNine{240, 160};
constexpr ShownSize kFour{360, 240};
constexpr ShownSize kOne{720, 480};

uint32_t flagsOf(PictureKind kind) {
    return pictureFlagsFor(kind, 3);
}

TEST(DecodeSize, ChoosesTheLargestReductionThatStillCoversThePaneAsDrawn) {
    struct Case {
        PictureKind kind;
        int height;
        ShownSize shown;
        int reduction;
    };
    const Case cases[] = {
        // A field counts twice in height: 720 x 240 drawn 720 x 480, 180 x 60 covers 180 x 120.
        {PictureKind::Single, 240, kSixteen, 2},
        {PictureKind::Single, 288, kSixteen, 2},
        {PictureKind::Single, 240, kNine, 1},
        {PictureKind::Single, 240, kFour, 1},
        {PictureKind::Single, 240, kOne, 0},
        // A whole frame counts once: 720 x 480 at two halvings is 180 x 120.
        {PictureKind::FullHeight, 480, kSixteen, 2},
        {PictureKind::FullHeight, 480, kNine, 1},
        {PictureKind::FullHeight, 480, kFour, 1},
        // Pair channels are 360 wide; quad channels 360 x half the picture.
        {PictureKind::Pair, 240, kSixteen, 1},
        {PictureKind::Pair, 240, kNine, 0},
        {PictureKind::Quad, 240, kSixteen, 1},
        {PictureKind::Quad, 240, kNine, 0},
        {PictureKind::Quad, 480, kSixteen, 1},
        // No size asks for full resolution.
        {PictureKind::Single, 240, ShownSize{}, 0},
        {PictureKind::Single, 240, ShownSize{180, 0}, 0},
        // A pane one pixel larger than a reduction gives the level above it.
        {PictureKind::Single, 240, ShownSize{181, 120}, 1},
        {PictureKind::Single, 240, ShownSize{180, 121}, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reductionFor(flagsOf(c.kind), 720, c.height, c.shown), c.reduction)
            << int(c.kind) << " " << c.height << " in " << c.shown.width << "x" << c.shown.height;
    }
}

// Every picture kind (full, pair and quad as fields and as whole frames), every channel of 16- and
// 8-channel recorders, both ways of reading the channel: a picture decoded one or two levels below full
// size names the same channel as the full-size decode, and that is the channel the picture carries.
TEST(DecodeSize, ReducedPicturesNameTheSameChannelAsFullDecodes) {
    CodestreamCache cache;
    J2kDecoder decoder;
    DecodedPicture full;
    DecodedPicture reduced;
    const PictureKind kinds[] = {PictureKind::Single, PictureKind::Pair, PictureKind::Quad};
    const int heights[] = {240, 288, 480};
    const int channelCounts[] = {16, 8};
    int checked = 0;
    for (const PictureKind kind : kinds) {
        for (const int height : heights) {
            for (const int channelCount : channelCounts) {
                const int step = kind == PictureKind::Pair ? 2 : kind == PictureKind::Quad ? 4 : 1;
                for (int channel = 0; channel < channelCount; channel += step) {
                    const PictureShape shape{kind, channel, channelCount, height};
                    const auto codestream = cache.get(shape, defaultCodestreamBytes(height));
                    const std::string what = "kind " + std::to_string(int(kind)) + " height " +
                                             std::to_string(height) + " channel " + std::to_string(channel) +
                                             " of " + std::to_string(channelCount);
                    ASSERT_TRUE(decoder.decode(*codestream, full)) << what;
                    for (const ChannelMethod method : {ChannelMethod::LineCode, ChannelMethod::PatchCode}) {
                        const int fullChannel = readPictureChannel(full, method, channelCount);
                        ASSERT_EQ(fullChannel, codedChannel(shape)) << what;
                        for (const int reduction : {1, 2}) {
                            ASSERT_TRUE(decoder.decodeReduced(*codestream, reduced, reduction)) << what;
                            ASSERT_EQ(reduced.reduction, reduction);
                            EXPECT_EQ(reduced.width, reducedExtent(720, reduction));
                            EXPECT_EQ(reduced.height, reducedExtent(height, reduction));
                            EXPECT_EQ(readPictureChannel(reduced, method, channelCount), fullChannel)
                                << what << " method " << int(method) << " reduction " << reduction;
                            ++checked;
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(checked, 3 * 2 * 2 * (16 + 8 + 8 + 4 + 4 + 2));
}

TEST(DecodeSize, FrameDecoderDecodesAtTheShownSizeAndFullSizeWithoutOne) {
    const PictureShape shape{PictureKind::Single, 11, 16, 240};
    const std::vector<uint8_t> codestream = encodeJ2k(drawPicture(shape), defaultCodestreamBytes(240));
    RecordHeaderFields fields;
    fields.pictureFlags = flagsOf(PictureKind::Single);
    const std::vector<uint8_t> record = buildWireRecord(makeHeader(fields, codestream.size()), codestream);

    FrameDecoder decoder;
    FrameDecodeOptions options;
    const DecodedFrame whole = decoder.decodeRecord(record, options);
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(whole.picture->width, 720);
    EXPECT_EQ(whole.picture->height, 240);
    EXPECT_EQ(whole.picture->reduction, 0);
    const std::vector<uint8_t> fullPixels(whole.picture->image().begin(), whole.picture->image().end());

    options.shown = kSixteen;
    const DecodedFrame small = decoder.decodeRecord(record, options);
    ASSERT_TRUE(small.ok());
    EXPECT_EQ(small.picture->width, 180);
    EXPECT_EQ(small.picture->height, 60);
    EXPECT_EQ(small.picture->fullWidth, 720);
    EXPECT_EQ(small.channel, 11);

    // Back to full size: the same pixels as the first full decode, not a leftover of the reduced one.
    options.shown = ShownSize{};
    const DecodedFrame again = decoder.decodeRecord(record, options);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.picture->reduction, 0);
    EXPECT_TRUE(std::equal(fullPixels.begin(), fullPixels.end(), again.picture->image().begin(),
                           again.picture->image().end()));
}

}  // namespace
