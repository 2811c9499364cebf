#include "player/media/PictureDecode.h"

#include <algorithm>

#include "common/frame/Bytes.h"
#include "common/frame/ChannelCode.h"

namespace dvr::media {

frame::FrameHeader frameHeaderOf(const BackupHeader& header, std::span<const uint8_t> subHeader) {
    frame::FrameHeader f;
    f.marker = 0xFFFFFF00u | header.signatureByte;
    f.layoutCode = header.layoutCode;
    f.pictureLength = header.pictureLength;
    f.channel = header.channel;
    f.pictureFlags = header.pictureFlags;
    f.videoStandard = header.videoStandard;
    std::copy_n(subHeader.begin(), std::min(subHeader.size(), kSubHeaderBytes),
                f.bytes.begin() + kSectorBytes);
    f.signalWord = frame::readLe32(f.bytes, frame::header_offset::kSignalWord);
    f.bytes = frame::serializeFrameHeader(f);
    return f;
}

frame::FrameDecodeOptions playerDecodeOptions(const BackupHeader& header) {
    frame::FrameDecodeOptions options;
    options.endWindow = frame::kPlayerEndWindow;
    options.method = frame::playerMethod(header.layoutFamily());
    options.channelCount = header.channelCount() > 0 ? header.channelCount() : 16;
    options.alignByFlags = true;
    return options;
}

frame::DecodedFrame decodeDeliveredPicture(frame::FrameDecoder& decoder, const DeliveredPicture& picture,
                                           frame::DecodedPicture* into) {
    const std::span<const uint8_t> codestream = picture.codestream();
    return decoder.decodeCodestream(frameHeaderOf(*picture.header, picture.subHeader), codestream,
                                    uint32_t(codestream.size()), playerDecodeOptions(*picture.header), into);
}

}  // namespace dvr::media
