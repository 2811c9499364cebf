#include "tools/synth/Synth.h"

#include <openjpeg.h>

#include <algorithm>
#include <cstring>

#include "common/frame/Bytes.h"
#include "common/frame/ChannelCode.h"

namespace dvr::synth {

namespace {

constexpr int kPictureWidth = 720;

constexpr uint32_t kSignatureColours[16] = {
    0xE6194B, 0x3CB44B, 0xFFE119, 0x4363D8, 0xF58231, 0x911EB4, 0x42D4F4, 0xF032E6,
    0xBFEF45, 0xFABED4, 0x469990, 0xDCBEFF, 0x9A6324, 0xFFFAC8, 0x800000, 0x000075,
};

// 5 x 7 digit glyphs, one byte per row, bit 4 = leftmost column.
constexpr uint8_t kDigits[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};

constexpr uint32_t kBright = 0xFFFFFF;
constexpr uint32_t kDark = 0x000000;

void fillRect(Picture& picture, int x0, int y0, int width, int height, uint32_t rgb) {
    const int x1 = std::min(x0 + width, picture.width);
    const int y1 = std::min(y0 + height, picture.height);
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    const uint8_t px[4] = {uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16), 0xFF};
    for (int y = y0; y < y1; ++y) {
        uint8_t* row = picture.pixels.data() + size_t(y) * picture.width * 4;
        for (int x = x0; x < x1; ++x)
            std::memcpy(row + size_t(x) * 4, px, 4);
    }
}

int luminance(uint32_t rgb) {
    return (299 * int((rgb >> 16) & 0xFF) + 587 * int((rgb >> 8) & 0xFF) + 114 * int(rgb & 0xFF)) / 1000;
}

// In-memory output stream for the encoder.
struct MemoryWriter {
    std::vector<uint8_t>* out;
    size_t position;
};

OPJ_SIZE_T writeMemory(void* buffer, OPJ_SIZE_T bytes, void* user) {
    auto* w = static_cast<MemoryWriter*>(user);
    if (w->out->size() < w->position + bytes)
        w->out->resize(w->position + bytes);
    std::memcpy(w->out->data() + w->position, buffer, bytes);
    w->position += bytes;
    return bytes;
}

OPJ_OFF_T skipMemory(OPJ_OFF_T bytes, void* user) {
    auto* w = static_cast<MemoryWriter*>(user);
    if (bytes < 0 && size_t(-bytes) > w->position)
        return -1;
    w->position = size_t(OPJ_OFF_T(w->position) + bytes);
    if (w->out->size() < w->position)
        w->out->resize(w->position);
    return bytes;
}

OPJ_BOOL seekMemory(OPJ_OFF_T position, void* user) {
    auto* w = static_cast<MemoryWriter*>(user);
    if (position < 0)
        return OPJ_FALSE;
    w->position = size_t(position);
    if (w->out->size() < w->position)
        w->out->resize(w->position);
    return OPJ_TRUE;
}

void quiet(const char*, void*) {}

}  // namespace

uint32_t Picture::rgbAt(int x, int y) const {
    const uint8_t* p = pixels.data() + (size_t(y) * width + x) * 4;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

uint32_t signatureColour(int channel) {
    return kSignatureColours[unsigned(channel) % 16];
}

int nearestSignatureChannel(uint32_t rgb) {
    int best = 0;
    long bestDistance = -1;
    for (int c = 0; c < 16; ++c) {
        const uint32_t s = kSignatureColours[c];
        long d = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const long diff = long((rgb >> shift) & 0xFF) - long((s >> shift) & 0xFF);
            d += diff * diff;
        }
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    return best;
}

uint32_t pictureFlagsFor(frame::PictureKind kind, int qualityCode) {
    uint32_t sizeBits = 0;
    switch (kind) {
        case frame::PictureKind::Pair:
            sizeBits = 1;
            break;
        case frame::PictureKind::Quad:
            sizeBits = 2;
            break;
        case frame::PictureKind::FullHeight:
            sizeBits = 4;
            break;
        case frame::PictureKind::Single:
            break;
    }
    return uint32_t(qualityCode & 0xFF) << 24 | sizeBits;
}

int codedChannel(const PictureShape& shape) {
    return frame::alignChannel(shape.channel & 15, pictureFlagsFor(shape.kind, 0));
}

void drawChannelFace(Picture& picture, frame::PixelRect rect, int channel) {
    const uint32_t colour = signatureColour(channel);
    fillRect(picture, rect.x, rect.y, rect.width, rect.height, colour);

    // Two digits of channel + 1, each glyph 5 x 7 cells, one blank cell between and around them.
    const int number = (channel & 15) + 1;
    const int digits[2] = {number / 10, number % 10};
    const int cell = std::max(1, std::min(rect.width / 13, rect.height / 9));
    const int textWidth = 11 * cell;
    const int textHeight = 7 * cell;
    const int left = rect.x + (rect.width - textWidth) / 2;
    const int top = rect.y + (rect.height - textHeight) / 2;
    const uint32_t ink = luminance(colour) > 128 ? kDark : kBright;
    for (int d = 0; d < 2; ++d) {
        for (int row = 0; row < 7; ++row) {
            for (int col = 0; col < 5; ++col) {
                if (kDigits[digits[d]][row] & (0x10 >> col))
                    fillRect(picture, left + (d * 6 + col) * cell, top + row * cell, cell, cell, ink);
            }
        }
    }
}

void drawChannelCode(Picture& picture, int channel, int channelCount) {
    // A dark band under all marks; bright marks are drawn over it.
    fillRect(picture, 0, 0, 400, kCodeRows, kDark);

    // Line code: bit b of the 5-bit code is read from pixels 16k+8 .. 16k+15 of block k = 2 * (7 - b);
    // the mark covers pixels 16k .. 16k+23, leaving 8 pixels either side of what is read.
    const int lineCode = frame::lineCodeForChannel(channel, channelCount);
    for (int bit = 0; bit < 5; ++bit) {
        if (lineCode & (1 << bit)) {
            const int block = 2 * (7 - bit);
            fillRect(picture, 16 * block, 0, 24, kCodeRows, kBright);
        }
    }

    // Patch code: bit 3 - p is read from pixels 268 + 32p .. 275 + 32p of row 1 (at 720 pixels per row);
    // the mark covers pixels 260 + 32p .. 283 + 32p.
    const int patchCode = channel & 15;
    for (int p = 0; p < 4; ++p) {
        if (patchCode & (8 >> p))
            fillRect(picture, 260 + 32 * p, 0, 24, kCodeRows, kBright);
    }
}

Picture drawPicture(const PictureShape& shape) {
    Picture picture;
    picture.width = kPictureWidth;
    picture.height = std::clamp(shape.height, 2 * kCodeRows, frame::kMaxPictureHeight);
    picture.pixels.assign(size_t(picture.width) * picture.height * 4, 0xFF);

    const uint32_t flags = pictureFlagsFor(shape.kind, 0);
    const int first = codedChannel(shape);
    const int carried = frame::channelsPerPicture(flags);
    for (int i = 0; i < carried; ++i) {
        const int channel = first + i;
        drawChannelFace(picture, frame::channelSourceRect(flags, channel, picture.width, picture.height),
                        channel);
    }
    drawChannelCode(picture, first, shape.channelCount);
    return picture;
}

std::vector<uint8_t> encodeJ2k(const Picture& picture, size_t targetBytes, int resolutions) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() < size_t(picture.width) * picture.height * 4 || targetBytes < 256)
        return {};

    opj_image_cmptparm_t components[3];
    std::memset(components, 0, sizeof components);
    for (auto& c : components) {
        c.dx = 1;
        c.dy = 1;
        c.w = OPJ_UINT32(picture.width);
        c.h = OPJ_UINT32(picture.height);
        c.prec = 8;
        c.sgnd = 0;
    }
    opj_image_t* image = opj_image_create(3, components, OPJ_CLRSPC_SRGB);
    if (!image)
        return {};
    image->x0 = 0;
    image->y0 = 0;
    image->x1 = OPJ_UINT32(picture.width);
    image->y1 = OPJ_UINT32(picture.height);
    const size_t count = size_t(picture.width) * picture.height;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = picture.pixels.data() + 4 * i;
        image->comps[0].data[i] = p[2];
        image->comps[1].data[i] = p[1];
        image->comps[2].data[i] = p[0];
    }

    opj_cparameters_t parameters;
    opj_set_default_encoder_parameters(&parameters);
    parameters.tcp_numlayers = 1;
    parameters.cp_disto_alloc = 1;
    parameters.irreversible = 1;
    parameters.tcp_mct = 1;
    parameters.numresolution = resolutions;
    const double rawBytes = double(count) * 3;
    parameters.tcp_rates[0] = float(std::max(1.0, rawBytes / double(targetBytes)));

    std::vector<uint8_t> out;
    MemoryWriter writer{&out, 0};
    opj_codec_t* codec = opj_create_compress(OPJ_CODEC_J2K);
    opj_stream_t* stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE);
    bool ok = codec && stream;
    if (ok) {
        opj_set_info_handler(codec, quiet, nullptr);
        opj_set_warning_handler(codec, quiet, nullptr);
        opj_set_error_handler(codec, quiet, nullptr);
        opj_stream_set_user_data(stream, &writer, nullptr);
        opj_stream_set_write_function(stream, writeMemory);
        opj_stream_set_skip_function(stream, skipMemory);
        opj_stream_set_seek_function(stream, seekMemory);
        ok = opj_setup_encoder(codec, &parameters, image) && opj_start_compress(codec, image, stream) &&
             opj_encode(codec, stream) && opj_end_compress(codec, stream);
    }
    if (stream)
        opj_stream_destroy(stream);
    if (codec)
        opj_destroy_codec(codec);
    opj_image_destroy(image);
    if (!ok || out.size() < 4 || out[out.size() - 2] != 0xFF || out.back() != 0xD9)
        return {};
    return out;
}

frame::FrameHeader makeHeader(const RecordHeaderFields& shape, size_t codestreamBytes) {
    frame::FrameHeader header;
    header.marker = shape.marker;
    header.layoutCode = shape.layoutCode;
    header.pictureLength = uint32_t(codestreamBytes);
    header.channel = shape.channel;
    header.pictureFlags = shape.pictureFlags;
    header.channelMaskA = shape.channelMaskA;
    header.channelMaskB = shape.channelMaskB;
    header.videoStandard = shape.videoStandard;
    header.signalWord = shape.signalWord;
    header.bytes = frame::serializeFrameHeader(header);
    return header;
}

std::vector<uint8_t> buildWireRecord(const frame::FrameHeader& header, std::span<const uint8_t> codestream) {
    const auto headerBytes = frame::serializeFrameHeader(header);
    std::vector<uint8_t> record(frame::kFrameHeaderBytes + frame::turnedSize(codestream.size()));
    std::copy(headerBytes.begin(), headerBytes.end(), record.begin());
    frame::turnByteOrder(codestream, std::span(record).subspan(frame::kFrameHeaderBytes));
    return record;
}

std::vector<uint8_t> buildFileRecord(const frame::FrameHeader& header, std::span<const uint8_t> codestream,
                                     std::span<const uint8_t> trailer) {
    constexpr size_t kSector = 512;
    constexpr size_t kSubHeader = frame::kFrameHeaderBytes - kSector;
    const size_t natural = kSector + kSubHeader + frame::turnedSize(codestream.size()) + trailer.size();
    const size_t total = (natural + kSector - 1) / kSector * kSector;

    auto headerBytes = frame::serializeFrameHeader(header);
    frame::writeLe32(headerBytes, 0x40, uint32_t(total / kSector));  // record length in sectors

    // The data after the header sector in natural byte order, then turned in place.
    std::vector<uint8_t> record(total, 0);
    std::copy(headerBytes.begin(), headerBytes.end(), record.begin());
    std::copy(codestream.begin(), codestream.end(), record.begin() + frame::kFrameHeaderBytes);
    std::copy(trailer.begin(), trailer.end(), record.end() - std::ptrdiff_t(trailer.size()));
    const std::span<uint8_t> after = std::span(record).subspan(kSector);
    frame::turnByteOrder(after, after);
    return record;
}

std::shared_ptr<const std::vector<uint8_t>> CodestreamCache::get(const PictureShape& shape,
                                                                 size_t targetBytes) {
    const auto key = std::make_tuple(shape, targetBytes);
    {
        std::lock_guard lock(m_mutex);
        if (auto it = m_entries.find(key); it != m_entries.end())
            return it->second;
    }
    // Encode outside the lock so that threads asking for different pictures do not wait on each other.
    auto codestream =
        std::make_shared<const std::vector<uint8_t>>(encodeJ2k(drawPicture(shape), targetBytes));
    std::lock_guard lock(m_mutex);
    return m_entries.emplace(key, std::move(codestream)).first->second;
}

size_t defaultCodestreamBytes(int pictureHeight) {
    return size_t(20000) * std::max(pictureHeight, 1) / 240;
}

}  // namespace dvr::synth
