// Feeds arbitrary bytes as a received frame record through the whole decode path: header parse, byte-order
// turn, marker check, end-marker search, JPEG 2000 decode with its size guard (at full size or reduced to a
// pane), channel read, format text
// and the JPEG encoder on a rectangle of the picture.
#include <cstddef>
#include <cstdint>
#include <span>

#include "common/frame/FormatText.h"
#include "common/frame/FrameDecoder.h"
#include "common/frame/JpegEncoder.h"
#include "common/frame/SourceRect.h"

using namespace dvr::frame;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FrameDecoder decoder;
    static JpegEncoder encoder;
    const std::span<const uint8_t> record(data, size);

    const std::optional<FrameHeader> header = parseFrameHeader(record);
    FrameDecodeOptions options;
    if (header) {
        const int family = layoutFamily(header->layoutCode);
        // The viewer's choices for even channel words, the player's for odd ones.
        const bool player = header->channel & 1;
        options.endWindow = player ? kPlayerEndWindow : kViewerEndWindow;
        options.method = player ? playerMethod(family) : viewerMethod(family);
        options.channelCount = channelCapacity(header->layoutCode);
        options.alignByFlags = player;
        // Bits 4-5 of the channel word ask for the size of a 4-, 9- or 16-pane layout: a reduced decode,
        // with the channel read where the full-size offsets fall.
        constexpr ShownSize kPanes[] = {{}, {360, 240}, {240, 160}, {180, 120}};
        options.shown = kPanes[(header->channel >> 4) & 3];

        FormatText text(player ? FormatTextStyle::Playback : FormatTextStyle::Live);
        text.update(header->pictureFlags, header->videoStandard);
    }

    const DecodedFrame frame = decoder.decodeRecord(record, options);
    if (frame.ok()) {
        const DecodedPicture& picture = *frame.picture;
        if (frame.channel < 0 || frame.channel > 15 || picture.width <= 0 ||
            picture.width > kMaxPictureWidth || picture.height <= 0 || picture.height > kMaxPictureHeight)
            __builtin_trap();
        if (picture.width * picture.height <= 64 * 64) {
            const PixelRect rect = channelSourceRect(
                frame.header.pictureFlags, int(frame.header.channel & 0xF), picture.width, picture.height);
            encoder.encode(picture, rect, int(frame.header.channel >> 8) - 20);
        }
    }
    return 0;
}
