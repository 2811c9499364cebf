// Live pictures decoded at the size of the panes they land in: the stored picture and the part drawn
// from it in the 16-pane layout, the full-size decode of the kept record when the layout grows, and the
// one-pane layout's pixels against a full decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "common/frame/FrameDecoder.h"
#include "tests/support/LiveControllerFixture.h"
#include "tools/synth/Synth.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/LiveController.h"

namespace dvr::live {
namespace {

class DrawScreen : public LiveScreen {
public:
    void repaint(uint32_t) override {}
    void drawPane(const PaneDraw& draw, const frame::DecodedPicture& buffer) override {
        draws.push_back({draw, buffer.reduction, buffer.width, buffer.height});
    }
    void clearPanes() override {}
    void buttonsChanged() override {}

    struct Draw {
        PaneDraw draw;
        int reduction;
        int width;
        int height;
    };
    std::vector<Draw> draws;
};

struct Record {
    std::vector<uint8_t> bytes;
    frame::FrameHeader header;

    frame::PictureRecord picture() const { return {bytes, header, frame::FrameDecodeOptions{}}; }
};

Record makeRecord(frame::PictureKind kind, int channel) {
    const synth::PictureShape shape{kind, channel, 16, 240};
    const std::vector<uint8_t> codestream =
        synth::encodeJ2k(synth::drawPicture(shape), synth::defaultCodestreamBytes(240));
    synth::RecordHeaderFields fields;
    fields.pictureFlags = synth::pictureFlagsFor(kind, 3);
    Record record;
    record.header = synth::makeHeader(fields, codestream.size());
    record.bytes = synth::buildWireRecord(record.header, codestream);
    return record;
}

frame::PixelRect cropped(frame::PixelRect source) {
    EXPECT_TRUE(cropForLayoutCode(0x10016, source));
    return source;
}

class LiveDecodeSizeTest : public testing::LiveControllerFixture<DrawScreen> {
protected:
    void connect() {
        live().pressConnect();
        live().session()->onConnectResult(0);
        ASSERT_EQ(live().connectionState(), link::ConnectionState::Established);
    }
    void doubleClickPane(int channel) {
        const PaneRect pane = live().layout().paneRect(channel);
        live().onDoubleClick((pane.left + pane.right) / 2, (pane.top + pane.bottom) / 2);
    }
};

TEST_F(LiveDecodeSizeTest, SixteenPanesStoreAReducedPictureAndDrawItsPart) {
    connect();
    live().livePicture(makeRecord(frame::PictureKind::Single, 5).picture());
    const frame::DecodedPicture& buffer = live().pictureBuffer(5);
    EXPECT_EQ(buffer.reduction, 2);
    EXPECT_EQ(buffer.width, 180);
    EXPECT_EQ(buffer.height, 60);
    // The layout keeps the picture's full height: the panes' parts stay those of a full picture.
    EXPECT_EQ(live().layout().pictureHeight(), 240);
    ASSERT_EQ(m_screen.draws.size(), 1u);
    const PaneDraw& draw = m_screen.draws[0].draw;
    EXPECT_EQ(draw.paneChannel, 5);
    ASSERT_TRUE(draw.hasSource);
    // 4..704 by 3..237 at full size: the same part a quarter as large, inside the stored picture.
    EXPECT_EQ(cropped({0, 0, 720, 240}), (frame::PixelRect{4, 3, 700, 234}));
    EXPECT_EQ(draw.source, (frame::PixelRect{1, 1, 175, 58}));
    EXPECT_EQ(draw.source, frame::reducedRect(cropped({0, 0, 720, 240}), 2));

    // A quad picture: a channel is a quarter of it, so one halving still covers a pane; each of its four
    // panes draws its quarter of the reduced picture.
    m_screen.draws.clear();
    live().livePicture(makeRecord(frame::PictureKind::Quad, 8).picture());
    ASSERT_EQ(m_screen.draws.size(), 4u);
    for (int q = 0; q < 4; ++q) {
        const PaneDraw& quarter = m_screen.draws[size_t(q)].draw;
        EXPECT_EQ(quarter.paneChannel, 8 + q);
        EXPECT_EQ(quarter.bufferChannel, 8);
        EXPECT_EQ(m_screen.draws[size_t(q)].reduction, 1);
        const frame::PixelRect part{(q & 1) * 360, (q >> 1) * 120, 360, 120};
        EXPECT_EQ(quarter.source, frame::reducedRect(cropped(part), 1)) << "quarter " << q;
    }
}

TEST_F(LiveDecodeSizeTest, ZoomDecodesTheKeptRecordAtFullSizeAtOnce) {
    connect();
    live().livePicture(makeRecord(frame::PictureKind::Quad, 4).picture());
    ASSERT_EQ(live().pictureBuffer(4).reduction, 1);
    m_screen.draws.clear();

    // Zoom to pane 6: without a new record, the kept one is drawn again from a full-size decode.
    doubleClickPane(6);
    ASSERT_EQ(live().splitCode(), kSplitOne);
    ASSERT_EQ(m_screen.draws.size(), 1u);
    EXPECT_EQ(m_screen.draws[0].draw.paneChannel, 6);
    EXPECT_EQ(m_screen.draws[0].draw.bufferChannel, 4);
    EXPECT_EQ(m_screen.draws[0].reduction, 0);
    EXPECT_EQ(m_screen.draws[0].width, 720);
    EXPECT_EQ(m_screen.draws[0].draw.source, cropped({0, 120, 360, 120}));

    // Back to 16 panes: nothing is decoded again until the next record, which is reduced.
    m_screen.draws.clear();
    doubleClickPane(6);
    ASSERT_EQ(live().splitCode(), kSplitSixteen);
    EXPECT_TRUE(m_screen.draws.empty());
    live().livePicture(makeRecord(frame::PictureKind::Quad, 4).picture());
    ASSERT_EQ(m_screen.draws.size(), 4u);
    EXPECT_EQ(m_screen.draws[0].reduction, 1);
}

TEST_F(LiveDecodeSizeTest, OnePaneKeepsTheFullDecodeByteForByte) {
    connect();
    live().onCommand(command::kModeFirst);
    ASSERT_EQ(live().splitCode(), kSplitOne);
    const Record record = makeRecord(frame::PictureKind::Pair, 0);
    live().livePicture(record.picture());
    ASSERT_EQ(m_screen.draws.size(), 1u);

    frame::FrameDecoder reference;
    const frame::DecodedFrame full = reference.decode(record.picture());
    ASSERT_TRUE(full.ok());
    const frame::DecodedPicture& buffer = live().pictureBuffer(0);
    EXPECT_EQ(buffer.reduction, 0);
    ASSERT_EQ(buffer.width, full.picture->width);
    ASSERT_EQ(buffer.height, full.picture->height);
    EXPECT_TRUE(
        std::equal(full.picture->image().begin(), full.picture->image().end(), buffer.pixels.begin()));
    EXPECT_EQ(m_screen.draws[0].draw.source, cropped({0, 0, 360, 240}));
}

}  // namespace
}  // namespace dvr::live
