#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "common/frame/ChannelCode.h"
#include "common/frame/DecodeSize.h"
#include "common/frame/DecodedPicture.h"
#include "common/frame/FrameHeader.h"
#include "common/frame/FrameLimits.h"
#include "common/frame/J2kDecoder.h"
#include "common/frame/PictureDecoder.h"

namespace dvr::frame {

struct FrameDecodeOptions {
    size_t endWindow = kViewerEndWindow;  // 64 for the viewer, 32 for the backup player
    ChannelMethod method = ChannelMethod::PatchCode;
    int channelCount = 16;      // modulus of the line code (the recorder's channel count)
    bool alignByFlags = false;  // remote playback and the backup player align the channel by the flags
    // The size the picture's channels are drawn at: the decode stops at the largest reduction that still
    // covers it. Empty (the default): full resolution.
    ShownSize shown;
};

// Why a record gave no picture, or Decoded when it did.
enum class DecodeStatus {
    Decoded,
    BadLength,     // fewer than 528 bytes, or more data after the header than a picture can hold
    NoPicture,     // the marker announces no picture
    Skipped,       // the consumer chose not to decode
    NoEndMarker,   // no FF D9 in the search window (or the picture length lies past the data)
    DecodeFailed,  // the JPEG 2000 decoder refused the codestream (corrupt, truncated, too large)
};

struct DecodedFrame {
    DecodeStatus status = DecodeStatus::BadLength;
    FrameHeader header;
    int channel = -1;                         // read from the pixels; -1 without a picture
    const DecodedPicture* picture = nullptr;  // the picture decoded into; valid until the next decode
    bool ok() const { return status == DecodeStatus::Decoded; }
};

// A whole picture record as a link received it (528-byte header, then the codestream in turned byte
// order), its parsed header and the settings to decode it by. The bytes are borrowed from the link's
// receive buffer.
struct PictureRecord {
    std::span<const uint8_t> bytes;
    FrameHeader header;
    FrameDecodeOptions options;
};

// The common per-record steps: copy the header aside, turn the byte order of the data after it into the
// decoder's own data buffer, check the marker, ask the consumer, search the end marker, decode, read the
// channel. Buffers are allocated once (the data buffer when the decoder is made, its own picture at the
// largest size on the first decode into it) and reused.
class FrameDecoder {
public:
    FrameDecoder();

    // Whole record in wire form: 528-byte header, then the codestream in turned byte order.
    // shouldDecode(const FrameHeader&) -> bool is asked after the marker check.
    template <typename ShouldDecode>
    DecodedFrame decodeRecord(std::span<const uint8_t> record, const FrameDecodeOptions& options,
                              ShouldDecode&& shouldDecode, DecodedPicture* into = nullptr) {
        DecodedFrame frame = prepare(record);
        if (frame.status != DecodeStatus::Decoded)
            return frame;
        if (!shouldDecode(static_cast<const FrameHeader&>(frame.header))) {
            frame.status = DecodeStatus::Skipped;
            return frame;
        }
        return decodePrepared(frame.header, frame.header.pictureLength, options, into);
    }

    DecodedFrame decodeRecord(std::span<const uint8_t> record, const FrameDecodeOptions& options,
                              DecodedPicture* into = nullptr) {
        return decodeRecord(
            record, options, [](const FrameHeader&) { return true; }, into);
    }

    // The place where a received picture record becomes a picture: decoded with the record's own
    // settings, after shouldDecode(const FrameHeader&) -> bool agreed.
    template <typename ShouldDecode>
    DecodedFrame decode(const PictureRecord& record, ShouldDecode&& shouldDecode,
                        DecodedPicture* into = nullptr) {
        return decodeRecord(record.bytes, record.options, std::forward<ShouldDecode>(shouldDecode), into);
    }
    DecodedFrame decode(const PictureRecord& record, DecodedPicture* into = nullptr) {
        return decodeRecord(record.bytes, record.options, into);
    }

    // Steps 1 and 3 without touching the data: the header, and Decoded when the record carries a picture
    // that prepare() would accept. Nothing is kept.
    static DecodedFrame inspect(std::span<const uint8_t> record);

    // Steps 1-3 on their own: parse the header, turn the data into the data buffer, check the marker.
    // status is Decoded when the record carries a picture and may go on to decodePrepared().
    DecodedFrame prepare(std::span<const uint8_t> record);

    // Steps 5-7 on the prepared data buffer with the given picture length (the header's, or a length the
    // consumer corrected).
    DecodedFrame decodePrepared(const FrameHeader& header, uint32_t pictureLength,
                                const FrameDecodeOptions& options, DecodedPicture* into = nullptr);

    // Steps 5-7 on a codestream already in natural byte order (a backup record after its own turn).
    // The two end-marker bytes are not cleared (the span is read-only).
    DecodedFrame decodeCodestream(const FrameHeader& header, std::span<const uint8_t> codestream,
                                  uint32_t pictureLength, const FrameDecodeOptions& options,
                                  DecodedPicture* into = nullptr);

    // Decodes codestreams with `decoder` from now on; nullptr goes back to the built-in JPEG 2000
    // decoder. The given decoder must outlive its use here.
    void setPictureDecoder(PictureDecoder* decoder) { m_pictureDecoder = decoder ? decoder : &m_decoder; }

    // The decoder's own picture (the default target of every decode).
    const DecodedPicture& picture() const { return m_picture; }
    DecodedPicture& picture() { return m_picture; }

    // The turned data of the last prepared record.
    std::span<const uint8_t> data() const { return {m_data.get(), m_dataBytes}; }

private:
    DecodedFrame finish(const FrameHeader& header, std::span<const uint8_t> codestream,
                        uint32_t pictureLength, const FrameDecodeOptions& options, DecodedPicture* into,
                        bool clearEndMarker);

    J2kDecoder m_decoder;
    PictureDecoder* m_pictureDecoder = &m_decoder;
    // Left uninitialised: only the first m_dataBytes are ever read, and a decoder made per connection
    // (or per fuzz input) need not touch all of it.
    std::unique_ptr<uint8_t[]> m_data;
    size_t m_dataBytes = 0;
    // Sized by its first decode: a decoder made per connection (or per fuzz input) that never decodes
    // into its own picture does not pay for one.
    DecodedPicture m_picture{DecodedPicture::Unsized{}};
};

}  // namespace dvr::frame
