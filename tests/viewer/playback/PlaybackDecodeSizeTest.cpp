// Playback pictures decoded at the size of the panes they land in: the reduced picture and its parts in
// the 16-pane layout, the full-size decode of the kept record after a zoom, and one pane against a full
// decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tools/synth/Synth.h"
#include "viewer/playback/PlaybackController.h"
#include "viewer/playback/PlaybackControllerHost.h"

namespace dvr::playback {
namespace {

class ConnectedRequests : public PlaybackRequests {
public:
    bool request(RequestKind) override { return true; }
    void setPlayRequest(uint32_t, uint32_t, uint32_t) override {}
    void setFollowUp(RequestKind) override {}
    RequestKind followUp() const override { return RequestKind::NextPlaybackPicture; }
    bool connected() const override { return true; }
    bool connect() override { return true; }
    void disconnect() override {}
    int protocolLevel() const override { return 3; }
};

class DrawingHost : public PlaybackControllerHost {
public:
    using PlaybackControllerHost::PlaybackControllerHost;
    struct Drawn {
        int channel;
        int reduction;
        std::vector<uint8_t> pixels;
        PaneDrawList draws;
    };
    std::vector<Drawn> drawn;

protected:
    void pictureDrawn(int channel, const frame::FrameHeader&, const frame::DecodedPicture& picture,
                      const PaneDrawList& draws) override {
        drawn.push_back(
            {channel, picture.reduction, {picture.image().begin(), picture.image().end()}, draws});
    }
};

struct Record {
    std::vector<uint8_t> bytes;
    frame::FrameHeader header;
    frame::PictureRecord picture() const { return {bytes, header, frame::FrameDecodeOptions{}}; }
};

Record pairRecord(int channel) {
    const synth::PictureShape shape{frame::PictureKind::Pair, channel, 16, 240};
    const std::vector<uint8_t> codestream =
        synth::encodeJ2k(synth::drawPicture(shape), synth::defaultCodestreamBytes(240));
    synth::RecordHeaderFields fields;
    fields.pictureFlags = synth::pictureFlagsFor(frame::PictureKind::Pair, 3);
    Record record;
    record.header = synth::makeHeader(fields, codestream.size());
    record.bytes = synth::buildWireRecord(record.header, codestream);
    return record;
}

// The recorder's border trimmed from a full-size part (layout family 1).
frame::PixelRect trimmed(frame::PixelRect r) {
    return {r.x + 4, r.y + 3, r.width - 20, r.height - 6};
}

class PlaybackDecodeSizeTest : public ::testing::Test {
protected:
    // Pictures until the format settled and one is drawn (bounded).
    void deliverUntilDrawn(const Record& record) {
        for (int i = 0; i < 8 && host.drawn.empty(); ++i)
            host.playbackPicture(record.picture());
        ASSERT_FALSE(host.drawn.empty());
    }

    ConnectedRequests requests;
    PlaybackController controller{requests, [] { return DateTime{2010, 1, 1}; }};
    DrawingHost host{controller};
};

TEST_F(PlaybackDecodeSizeTest, SixteenPanesDrawReducedPartsAndAZoomDecodesTheKeptRecordAtFullSize) {
    controller.open(kSplitSixteen, 0x10016);
    const Record record = pairRecord(2);
    deliverUntilDrawn(record);
    ASSERT_EQ(host.drawn.size(), 1u);
    // A channel is half the picture's width: one halving still covers a 180 x 120 pane.
    EXPECT_EQ(host.drawn[0].reduction, 1);
    const PaneDrawList& draws = host.drawn[0].draws;
    ASSERT_EQ(draws.count, 2);
    EXPECT_EQ(draws.draws[0].source, frame::reducedRect(trimmed({0, 0, 360, 240}), 1));
    EXPECT_EQ(draws.draws[1].source, frame::reducedRect(trimmed({360, 0, 360, 240}), 1));
    EXPECT_EQ(draws.draws[1].source, (frame::PixelRect{182, 2, 170, 117}));
    EXPECT_EQ(controller.layout().repaintAll().draws[0].source, draws.draws[0].source);

    // Zoom to pane 3: the kept record is decoded at full size and drawn without a new picture.
    const Rect pane = controller.layout().paneRect(3);
    ASSERT_TRUE(
        controller.layout().onDoubleClick((pane.left + pane.right) / 2, (pane.top + pane.bottom) / 2, true));
    controller.layoutApplied();
    ASSERT_EQ(host.drawn.size(), 2u);
    EXPECT_EQ(host.drawn[1].reduction, 0);
    ASSERT_EQ(host.drawn[1].draws.count, 1);
    EXPECT_EQ(host.drawn[1].draws.draws[0].channel, 3);
    EXPECT_EQ(host.drawn[1].draws.draws[0].source, trimmed({360, 0, 360, 240}));
    // Repaints now cut the full-size part too.
    EXPECT_EQ(controller.layout().repaintAll().draws[0].source, trimmed({360, 0, 360, 240}));

    // Back to 16 panes: nothing to decode again.
    ASSERT_TRUE(
        controller.layout().onDoubleClick((pane.left + pane.right) / 2, (pane.top + pane.bottom) / 2, true));
    controller.layoutApplied();
    EXPECT_EQ(host.drawn.size(), 2u);
}

TEST_F(PlaybackDecodeSizeTest, OnePaneKeepsTheFullDecodeByteForByte) {
    controller.open(kSplitOne, 0x10016);
    const Record record = pairRecord(0);
    deliverUntilDrawn(record);
    frame::FrameDecoder reference;
    const frame::DecodedFrame full = reference.decode(record.picture());
    ASSERT_TRUE(full.ok());
    EXPECT_EQ(host.drawn[0].reduction, 0);
    EXPECT_TRUE(std::equal(full.picture->image().begin(), full.picture->image().end(),
                           host.drawn[0].pixels.begin(), host.drawn[0].pixels.end()));
}

}  // namespace
}  // namespace dvr::playback
