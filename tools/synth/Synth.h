#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <tuple>
#include <vector>

#include "common/frame/FrameHeader.h"
#include "common/frame/SourceRect.h"

// Picture synthesiser: recognisable channel pictures carrying both channel codes, JPEG 2000 codestreams
// of them, and frame records in wire and backup-file form. For tests, the recorder simulator and the
// backup writer; the two programs never link it.
namespace dvr::synth {

// A picture in the decoded format: B, G, R, X bytes, rows top-down, rows of width * 4 bytes.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    uint32_t rgbAt(int x, int y) const;  // 0x00RRGGBB
};

// 16 well separated colours, one per channel (0x00RRGGBB); channels outside 0..15 wrap.
uint32_t signatureColour(int channel);

// The channel whose signature colour lies nearest to the given colour.
int nearestSignatureChannel(uint32_t rgb);

// Rows at the top of every picture that carry the channel-code marks.
inline constexpr int kCodeRows = 12;

struct PictureShape {
    frame::PictureKind kind = frame::PictureKind::Single;
    int channel = 0;        // a channel of the picture; pair and quad pictures start at its base channel
    int channelCount = 16;  // the recorder's channel count: selects the line-code mapping
    int height = 240;       // picture height: the field height (240/288), or 480/576 for full height
    friend auto operator<=>(const PictureShape&, const PictureShape&) = default;
};

// The picture flags of a kind with a quality code in bits 24-31.
uint32_t pictureFlagsFor(frame::PictureKind kind, int qualityCode = 3);

// The first channel a picture of this shape carries (the channel its codes name).
int codedChannel(const PictureShape& shape);

// Draws a whole picture, 720 pixels wide: each carried channel's face (flat signature colour and its
// number, channel + 1, in large digits) in its source rectangle, then the code marks of the first channel.
Picture drawPicture(const PictureShape& shape);

// Fills a rectangle with a channel's face.
void drawChannelFace(Picture& picture, frame::PixelRect rect, int channel);

// Draws the marks of both channel codes for `channel` into the top kCodeRows rows: the line code in the
// first 240 pixels, the patch code from pixel 260 to 387. Each mark is wide and several rows tall so that
// lossy compression keeps it readable.
void drawChannelCode(Picture& picture, int channel, int channelCount);

// Encodes the picture with OpenJPEG as a raw J2K codestream (lossy, RGB with colour transform) of about
// targetBytes (never more), with `resolutions` wavelet resolution levels. Ends with FF D9. Empty on failure.
std::vector<uint8_t> encodeJ2k(const Picture& picture, size_t targetBytes, int resolutions = 6);

// Header fields of a synthesised record.
struct RecordHeaderFields {
    uint32_t marker = frame::kMarkerPictureA;
    uint32_t layoutCode = 0x10016;
    uint32_t pictureFlags = 0x03000000;
    uint32_t videoStandard = frame::kSixtyFieldStandard;
    uint32_t channel = 0;
    uint32_t channelMaskA = 0xFFFF0000;
    uint32_t channelMaskB = 0xFFFF0000;
    uint32_t signalWord = 0;
};

// A header with the fields of `shape` and the picture length of the codestream.
frame::FrameHeader makeHeader(const RecordHeaderFields& shape, size_t codestreamBytes);

// Wire form: the 528 header bytes, then the codestream with the byte order of every 4-byte group turned
// (a short last group zero-padded).
std::vector<uint8_t> buildWireRecord(const frame::FrameHeader& header, std::span<const uint8_t> codestream);

// Backup-file form: the first 512 header bytes as they are, then the last 16 header bytes (the picture
// sub-header), the codestream and `trailer` (a sound block, placed at the very end) with every 4-byte
// group turned, padded with zeros to whole 512-byte sectors. The record length in sectors is written at
// header offset 0x40.
std::vector<uint8_t> buildFileRecord(const frame::FrameHeader& header, std::span<const uint8_t> codestream,
                                     std::span<const uint8_t> trailer = {});

// Encoding is slow (tens of milliseconds per picture); this cache encodes each (picture, size) once.
// Safe to share between threads.
class CodestreamCache {
public:
    std::shared_ptr<const std::vector<uint8_t>> get(const PictureShape& shape, size_t targetBytes);

private:
    std::mutex m_mutex;  // guards m_entries
    std::map<std::tuple<PictureShape, size_t>, std::shared_ptr<const std::vector<uint8_t>>> m_entries;
};

// A convenient default size of a codestream for a picture height: about 20 KB per 240 lines.
size_t defaultCodestreamBytes(int pictureHeight);

}  // namespace dvr::synth
