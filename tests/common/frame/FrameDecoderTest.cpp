#include "common/frame/FrameDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/frame/Bytes.h"
#include "common/frame/SourceRect.h"
#include "tools/synth/Synth.h"

using namespace dvr::frame;
using namespace dvr::synth;

namespace {

CodestreamCache& cache() {
    static CodestreamCache c;
    return c;
}

struct KindCase {
    PictureKind kind;
    int height;
    const char* name;
};

constexpr KindCase kKinds[] = {
    {PictureKind::Single, 240, "single"},
    {PictureKind::Pair, 288, "pair"},
    {PictureKind::Quad, 240, "quad"},
    {PictureKind::FullHeight, 480, "full-height"},
};

std::vector<uint8_t> wireRecord(const PictureShape& shape, uint32_t layoutCode, uint32_t standard) {
    const auto cs = cache().get(shape, defaultCodestreamBytes(shape.height));
    RecordHeaderFields r;
    r.layoutCode = layoutCode;
    r.pictureFlags = pictureFlagsFor(shape.kind, 3);
    r.videoStandard = standard;
    r.channel = uint32_t(codedChannel(shape));
    return buildWireRecord(makeHeader(r, cs->size()), *cs);
}

// The channel whose signature colour fills the rectangle, sampled near its bottom-left corner (away from
// the number in the middle and the code marks at the top).
int channelShownIn(const DecodedPicture& p, PixelRect rect) {
    const int x = rect.x + 12;
    const int y = rect.y + rect.height - 12;
    const uint8_t* px = p.pixels.data() + size_t(y) * p.stride() + size_t(x) * 4;
    return nearestSignatureChannel(uint32_t(px[2]) << 16 | uint32_t(px[1]) << 8 | px[0]);
}

}  // namespace

// Synthesiser -> wire record -> decode -> channel read, for every channel, both methods and every kind.
TEST(FrameDecoder, RoundTripEveryChannelKindAndMethod) {
    FrameDecoder decoder;
    for (const KindCase& k : kKinds) {
        for (int channel = 0; channel < 16; ++channel) {
            const PictureShape shape{k.kind, channel, 16, k.height};
            const uint32_t standard = k.height % 288 == 0 ? 0 : kSixtyFieldStandard;
            const auto record = wireRecord(shape, 0x20016, standard);
            SCOPED_TRACE(std::string(k.name) + " channel " + std::to_string(channel));

            FrameDecodeOptions options;
            options.method = ChannelMethod::LineCode;
            options.channelCount = 16;
            const DecodedFrame line = decoder.decodeRecord(record, options);
            ASSERT_TRUE(line.ok()) << int(line.status);
            ASSERT_EQ(720, line.picture->width);
            ASSERT_EQ(k.height, line.picture->height);
            const int base = codedChannel(shape);
            EXPECT_EQ(base, line.channel);
            EXPECT_EQ(base, readPatchCode(line.picture->image()));

            options.method = ChannelMethod::PatchCode;
            options.alignByFlags = true;
            const DecodedFrame patch = decoder.decodeRecord(record, options);
            ASSERT_TRUE(patch.ok());
            EXPECT_EQ(alignChannel(channel, patch.header.pictureFlags), patch.channel);

            // Every carried channel shows its own colour where the shared rectangle rule places it.
            const uint32_t flags = patch.header.pictureFlags;
            for (int i = 0; i < channelsPerPicture(flags); ++i) {
                const PixelRect rect = channelSourceRect(flags, base + i, 720, k.height);
                EXPECT_EQ(base + i, channelShownIn(*patch.picture, rect)) << "carried channel " << i;
            }
        }
    }
}

TEST(FrameDecoder, LineCodeOnSmallerRecorders) {
    FrameDecoder decoder;
    for (int count : {4, 8}) {
        for (int channel = 0; channel < count; ++channel) {
            const auto record = wireRecord({PictureKind::Single, channel, count, 240},
                                           0x20000u | (count == 4 ? 4 : 8), kSixtyFieldStandard);
            FrameDecodeOptions options;
            options.method = viewerMethod(2);
            options.channelCount = count;
            const DecodedFrame f = decoder.decodeRecord(record, options);
            ASSERT_TRUE(f.ok());
            EXPECT_EQ(channel, f.channel) << channel << " of " << count;
        }
    }
}

TEST(FrameDecoder, EndMarkerPositionDecides) {
    const auto cs = cache().get({PictureKind::Single, 5, 16, 240}, defaultCodestreamBytes(240));
    FrameDecoder decoder;
    FrameDecodeOptions options;
    const auto decodeWithLength = [&](size_t extra) {
        // The codestream followed by `extra` zero bytes, all counted in the picture length.
        std::vector<uint8_t> padded(*cs);
        padded.resize(cs->size() + extra, 0);
        RecordHeaderFields r;
        return decoder.decodeRecord(buildWireRecord(makeHeader(r, padded.size()), padded), options).status;
    };
    EXPECT_EQ(DecodeStatus::Decoded, decodeWithLength(0));  // marker exactly at the end
    EXPECT_EQ(DecodeStatus::Decoded, decodeWithLength(63));
    EXPECT_EQ(DecodeStatus::NoEndMarker, decodeWithLength(64));  // marker 65 bytes before the end

    options.endWindow = kPlayerEndWindow;
    EXPECT_EQ(DecodeStatus::Decoded, decodeWithLength(31));
    EXPECT_EQ(DecodeStatus::NoEndMarker, decodeWithLength(32));
}

TEST(FrameDecoder, BadRecordsGiveNoPicture) {
    const auto cs = cache().get({PictureKind::Single, 2, 16, 240}, defaultCodestreamBytes(240));
    RecordHeaderFields r;
    const auto good = buildWireRecord(makeHeader(r, cs->size()), *cs);
    FrameDecoder decoder;
    FrameDecodeOptions options;
    ASSERT_TRUE(decoder.decodeRecord(good, options).ok());

    const auto withHeaderWord = [&](size_t offset, uint32_t value) {
        auto rec = good;
        writeLe32(rec, offset, value);
        return rec;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> record;
        DecodeStatus status;
    };
    std::vector<Case> cases;
    cases.push_back(
        {"short header", std::vector<uint8_t>(good.begin(), good.begin() + 527), DecodeStatus::BadLength});
    cases.push_back({"wrong marker", withHeaderWord(0, 0xFFFFFFFC), DecodeStatus::NoPicture});
    cases.push_back(
        {"length past the data", withHeaderWord(60, uint32_t(cs->size() + 1000)), DecodeStatus::NoEndMarker});
    cases.push_back({"huge length", withHeaderWord(60, 0xFFFFFFFF), DecodeStatus::NoEndMarker});
    cases.push_back({"length below the window", withHeaderWord(60, 10), DecodeStatus::NoEndMarker});
    cases.push_back(
        {"truncated", std::vector<uint8_t>(good.begin(), good.end() - 400), DecodeStatus::NoEndMarker});
    std::vector<uint8_t> oversized(kMaxFrameRecordBytes + 4, 0);
    writeLe32(oversized, 0, kMarkerPictureA);
    cases.push_back({"oversized", oversized, DecodeStatus::BadLength});
    auto corrupt = good;
    // Main header segments overwritten.
    std::fill(corrupt.begin() + kFrameHeaderBytes + 4, corrupt.begin() + kFrameHeaderBytes + 48,
              uint8_t(0xFF));
    cases.push_back({"corrupt", corrupt, DecodeStatus::DecodeFailed});
    for (const Case& c : cases) {
        const DecodedFrame f = decoder.decodeRecord(c.record, options);
        EXPECT_EQ(c.status, f.status) << c.name;
        EXPECT_EQ(-1, f.channel) << c.name;
        EXPECT_EQ(nullptr, f.picture) << c.name;
    }
    EXPECT_TRUE(decoder.decodeRecord(good, options).ok()) << "the decoder recovers";
}

TEST(FrameDecoder, ConsumerDecidesAndPicturesGoWhereAsked) {
    const auto cs = cache().get({PictureKind::Pair, 6, 16, 240}, defaultCodestreamBytes(240));
    RecordHeaderFields r;
    r.pictureFlags = pictureFlagsFor(PictureKind::Pair, 1);
    const auto record = buildWireRecord(makeHeader(r, cs->size()), *cs);
    FrameDecoder decoder;
    FrameDecodeOptions options;

    int asked = 0;
    const DecodedFrame skipped = decoder.decodeRecord(record, options, [&](const FrameHeader& h) {
        ++asked;
        EXPECT_EQ(r.pictureFlags, h.pictureFlags);
        return false;
    });
    EXPECT_EQ(1, asked);
    EXPECT_EQ(DecodeStatus::Skipped, skipped.status);

    DecodedPicture mine;
    const DecodedFrame f = decoder.decodeRecord(record, options, &mine);
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(&mine, f.picture);
    EXPECT_EQ(6, f.channel);
    EXPECT_EQ(720, mine.width);
    EXPECT_EQ(0, decoder.picture().width) << "the decoder's own picture is untouched";
}

TEST(FrameDecoder, AnotherPictureDecoderTakesOverUntilReset) {
    // Fills a small picture of channel 0's face; counts its calls and can be told to fail.
    class FakeDecoder final : public PictureDecoder {
    public:
        bool decode(std::span<const uint8_t> codestream, DecodedPicture& out) override {
            ++calls;
            lastBytes = codestream.size();
            out.width = 0;
            out.height = 0;
            if (fail)
                return false;
            out.width = 32;
            out.height = 16;
            if (out.pixels.size() < out.imageBytes())
                out.pixels.resize(kMaxPictureBytes);
            std::fill_n(out.pixels.begin(), out.imageBytes(), uint8_t(0x40));
            out.bitmapInfo = makeBitmapInfo(out.width, out.height);
            return true;
        }
        int calls = 0;
        size_t lastBytes = 0;
        bool fail = false;
    };

    const auto cs = cache().get({PictureKind::Single, 2, 16, 240}, defaultCodestreamBytes(240));
    RecordHeaderFields r;
    r.pictureFlags = pictureFlagsFor(PictureKind::Single, 3);
    const auto record = buildWireRecord(makeHeader(r, cs->size()), *cs);
    FrameDecoder decoder;
    FakeDecoder fake;
    decoder.setPictureDecoder(&fake);

    const DecodedFrame f = decoder.decodeRecord(record, {});
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(1, fake.calls);
    EXPECT_GE(fake.lastBytes, cs->size()) << "the codestream after its turn, end marker included";
    EXPECT_EQ(32, f.picture->width);
    EXPECT_EQ(16, f.picture->height);

    fake.fail = true;
    EXPECT_EQ(DecodeStatus::DecodeFailed, decoder.decodeRecord(record, {}).status);
    EXPECT_EQ(2, fake.calls);

    decoder.setPictureDecoder(nullptr);
    const DecodedFrame real = decoder.decodeRecord(record, {});
    ASSERT_TRUE(real.ok());
    EXPECT_EQ(2, fake.calls) << "the built-in decoder is back";
    EXPECT_EQ(720, real.picture->width);
    EXPECT_EQ(2, real.channel);
}

TEST(FrameDecoder, BackupFileRecordDecodesAfterItsOwnTurn) {
    const PictureShape shape{PictureKind::Quad, 13, 16, 288};
    const auto cs = cache().get(shape, defaultCodestreamBytes(288));
    RecordHeaderFields r;
    r.layoutCode = 0x30016;
    r.pictureFlags = pictureFlagsFor(PictureKind::Quad, 2);
    r.videoStandard = kFiftyFieldStandard;
    r.channel = 12;
    FrameHeader header = makeHeader(r, cs->size());
    header.bytes[512 + 11] = 0xF0;  // field code in the picture sub-header
    const std::vector<uint8_t> sound(1024, 0x7F);
    const auto file = buildFileRecord(header, *cs, sound);
    ASSERT_EQ(0u, file.size() % 512);
    EXPECT_EQ(file.size() / 512, readLe32(file, 0x40));
    EXPECT_EQ(0xFA, file[0]);

    std::vector<uint8_t> natural(file.size() - 512);
    turnByteOrder(std::span(file).subspan(512), natural);
    EXPECT_EQ(0xF0, natural[11]);
    EXPECT_TRUE(std::equal(sound.begin(), sound.end(), natural.end() - 1024));

    std::vector<uint8_t> headerBytes(kFrameHeaderBytes);
    std::copy_n(file.begin(), 512, headerBytes.begin());
    std::copy_n(natural.begin(), 16, headerBytes.begin() + 512);
    const auto parsed = parseFrameHeader(headerBytes);
    ASSERT_TRUE(parsed);
    FrameDecoder decoder;
    FrameDecodeOptions options;
    options.endWindow = kPlayerEndWindow;
    options.method = playerMethod(layoutFamily(parsed->layoutCode));
    options.alignByFlags = true;
    const auto codestream = std::span(natural).subspan(16, parsed->pictureLength);
    const DecodedFrame f = decoder.decodeCodestream(*parsed, codestream, parsed->pictureLength, options);
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(12, f.channel);
    EXPECT_EQ(288, f.picture->height);
}
