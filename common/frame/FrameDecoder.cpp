#include "common/frame/FrameDecoder.h"

#include "common/frame/Bytes.h"
#include "common/frame/EndMarker.h"

namespace dvr::frame {

FrameDecoder::FrameDecoder() : m_data(new uint8_t[kMaxCodestreamBytes]) {}

DecodedFrame FrameDecoder::inspect(std::span<const uint8_t> record) {
    DecodedFrame frame;
    const std::optional<FrameHeader> header = parseFrameHeader(record);
    if (!header)
        return frame;  // BadLength
    frame.header = *header;
    if (turnedSize(record.size() - kFrameHeaderBytes) > kMaxCodestreamBytes)
        return frame;  // BadLength
    frame.status = hasPicture(header->marker) ? DecodeStatus::Decoded : DecodeStatus::NoPicture;
    return frame;
}

DecodedFrame FrameDecoder::prepare(std::span<const uint8_t> record) {
    m_dataBytes = 0;
    const DecodedFrame frame = inspect(record);
    if (frame.status == DecodeStatus::BadLength)
        return frame;
    m_dataBytes = turnByteOrder(record.subspan(kFrameHeaderBytes), {m_data.get(), kMaxCodestreamBytes});
    return frame;
}

DecodedFrame FrameDecoder::decodePrepared(const FrameHeader& header, uint32_t pictureLength,
                                          const FrameDecodeOptions& options, DecodedPicture* into) {
    return finish(header, {m_data.get(), m_dataBytes}, pictureLength, options, into, true);
}

DecodedFrame FrameDecoder::decodeCodestream(const FrameHeader& header, std::span<const uint8_t> codestream,
                                            uint32_t pictureLength, const FrameDecodeOptions& options,
                                            DecodedPicture* into) {
    return finish(header, codestream, pictureLength, options, into, false);
}

DecodedFrame FrameDecoder::finish(const FrameHeader& header, std::span<const uint8_t> codestream,
                                  uint32_t pictureLength, const FrameDecodeOptions& options,
                                  DecodedPicture* into, bool clearEndMarker) {
    DecodedFrame frame;
    frame.header = header;
    if (!hasPicture(header.marker)) {
        frame.status = DecodeStatus::NoPicture;
        return frame;
    }
    DecodedPicture& picture = into ? *into : m_picture;
    const std::optional<size_t> end = findEndMarker(codestream, pictureLength, options.endWindow);
    if (!end) {
        frame.status = DecodeStatus::NoEndMarker;
        return frame;
    }
    int reduction = 0;
    if (!options.shown.fullSize()) {
        if (const std::optional<CodestreamShape> shape = J2kDecoder::declaredShape(codestream))
            reduction =
                reductionFor(header.pictureFlags, int(shape->width), int(shape->height), options.shown);
    }
    picture.reduction = 0;
    const bool decoded = reduction > 0 ? m_pictureDecoder->decodeReduced(codestream, picture, reduction)
                                       : m_pictureDecoder->decode(codestream, picture);
    if (clearEndMarker) {
        // A later, shorter record must not find this record's end marker in the reused buffer.
        m_data[*end - 1] = 0;
        m_data[*end] = 0;
    }
    if (!decoded) {
        frame.status = DecodeStatus::DecodeFailed;
        return frame;
    }
    int channel = readPictureChannel(picture, options.method, options.channelCount);
    if (options.alignByFlags)
        channel = alignChannel(channel, header.pictureFlags);
    frame.status = DecodeStatus::Decoded;
    frame.channel = channel;
    frame.picture = &picture;
    return frame;
}

}  // namespace dvr::frame
