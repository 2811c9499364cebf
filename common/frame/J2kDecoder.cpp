#include "common/frame/J2kDecoder.h"

#include <openjpeg.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstring>

namespace dvr::frame {

namespace {

// The codestream as an OpenJPEG input stream over memory.
struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t position;
};

OPJ_SIZE_T readMemory(void* buffer, OPJ_SIZE_T bytes, void* user) {
    auto* r = static_cast<MemoryReader*>(user);
    const size_t left = r->size - r->position;
    if (left == 0)
        return OPJ_SIZE_T(-1);
    const size_t n = std::min<size_t>(bytes, left);
    std::memcpy(buffer, r->data + r->position, n);
    r->position += n;
    return n;
}

OPJ_OFF_T skipMemory(OPJ_OFF_T bytes, void* user) {
    auto* r = static_cast<MemoryReader*>(user);
    if (bytes < 0) {
        if (size_t(-bytes) > r->position)
            return -1;
        r->position -= size_t(-bytes);
        return bytes;
    }
    const size_t n = std::min<size_t>(size_t(bytes), r->size - r->position);
    r->position += n;
    return OPJ_OFF_T(n);
}

OPJ_BOOL seekMemory(OPJ_OFF_T position, void* user) {
    auto* r = static_cast<MemoryReader*>(user);
    if (position < 0 || size_t(position) > r->size)
        return OPJ_FALSE;
    r->position = size_t(position);
    return OPJ_TRUE;
}

void quiet(const char*, void*) {}

// Stream buffer: small enough to stay below the heap's mapping threshold.
constexpr OPJ_SIZE_T kStreamBufferBytes = 64 * 1024;
// More tiles than this make a picture of at most 720 x 576 pathological; refused to bound decode time.
constexpr uint64_t kMaxTiles = 1024;
constexpr uint32_t kMaxComponents = 4;

struct Resources {
    opj_codec_t* codec = nullptr;
    opj_stream_t* stream = nullptr;
    opj_image_t* image = nullptr;
    ~Resources() {
        if (image)
            opj_image_destroy(image);
        if (stream)
            opj_stream_destroy(stream);
        if (codec)
            opj_destroy_codec(codec);
    }
};

bool plainComponent(const opj_image_comp_t& c, uint32_t width, uint32_t height) {
    return c.data && c.dx == 1 && c.dy == 1 && c.w == width && c.h == height && c.prec == 8 && !c.sgnd;
}

// Fast path: three full-size unsigned 8-bit planes R, G, B (or one grey plane).
void packPlanes(const int32_t* __restrict r, const int32_t* __restrict g, const int32_t* __restrict b,
                uint8_t* __restrict out, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t px = (uint32_t(b[i]) & 0xFF) | (uint32_t(g[i]) & 0xFF) << 8 |
                            (uint32_t(r[i]) & 0xFF) << 16 | 0xFF000000u;
        std::memcpy(out + 4 * i, &px, 4);
    }
}

// Any other component layout: nearest sample of each component, scaled to 8 bits.
uint8_t sample8(const opj_image_comp_t& c, uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
    const uint64_t cx = uint64_t(x) * c.w / width;
    const uint64_t cy = uint64_t(y) * c.h / height;
    int64_t v = c.data[cy * c.w + cx];
    const uint32_t prec = std::clamp<uint32_t>(c.prec, 1, 31);
    if (c.sgnd)
        v += int64_t(1) << (prec - 1);
    if (prec > 8)
        v >>= (prec - 8);
    else if (prec < 8)
        v <<= (8 - prec);
    return uint8_t(std::clamp<int64_t>(v, 0, 255));
}

void packGeneric(const opj_image_t& image, uint32_t width, uint32_t height, uint8_t* out) {
    const bool grey = image.numcomps < 3;
    const opj_image_comp_t& cr = image.comps[0];
    const opj_image_comp_t& cg = image.comps[grey ? 0 : 1];
    const opj_image_comp_t& cb = image.comps[grey ? 0 : 2];
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = out + (size_t(y) * width + x) * 4;
            p[0] = sample8(cb, x, y, width, height);
            p[1] = sample8(cg, x, y, width, height);
            p[2] = sample8(cr, x, y, width, height);
            p[3] = 0xFF;
        }
    }
}

// OpenJPEG's wavelet runs on legacy-encoded SSE instructions. When code that ran earlier on the same
// thread (the GUI's AVX drawing paths, say) left the upper halves of the vector registers dirty, every one
// of those instructions pays for merging the state: decodes in the viewer window took a third longer than
// the same decodes in a headless client. Clearing the state before a decode costs one instruction.
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx"))) void clearUpperVectorStateAvx() {
    _mm256_zeroupper();
}

void clearUpperVectorState() {
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx)
        clearUpperVectorStateAvx();
}
#else
// Other processors keep no such state.
void clearUpperVectorState() {}
#endif

// Sets up the codec and stream over `reader`, reads the main header and applies the guard.
// The limits a picture of ours keeps, on what the main header declares.
bool withinLimits(const CodestreamShape& shape) {
    return shape.width > 0 && shape.height > 0 && shape.width <= uint32_t(kMaxPictureWidth) &&
           shape.height <= uint32_t(kMaxPictureHeight) && shape.components > 0 &&
           shape.components <= kMaxComponents && shape.tiles > 0 && shape.tiles <= kMaxTiles;
}

std::optional<CodestreamShape> openCodestream(MemoryReader& reader, Resources& res) {
    // OpenJPEG sets up every tile the header declares while it reads the header (up to 65,535 of them, a
    // few hundred megabytes); the declared shape is judged from the size segment before it gets there.
    const std::optional<CodestreamShape> declared =
        J2kDecoder::declaredShape(std::span<const uint8_t>(reader.data, reader.size));
    if (!declared || !withinLimits(*declared))
        return std::nullopt;

    res.codec = opj_create_decompress(OPJ_CODEC_J2K);
    if (!res.codec)
        return std::nullopt;
    opj_set_info_handler(res.codec, quiet, nullptr);
    opj_set_warning_handler(res.codec, quiet, nullptr);
    opj_set_error_handler(res.codec, quiet, nullptr);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(res.codec, &parameters))
        return std::nullopt;
    // A truncated codestream is a failure, not a partly decoded picture.
    opj_decoder_set_strict_mode(res.codec, OPJ_TRUE);

    res.stream = opj_stream_create(kStreamBufferBytes, OPJ_TRUE);
    if (!res.stream)
        return std::nullopt;
    opj_stream_set_user_data(res.stream, &reader, nullptr);
    opj_stream_set_user_data_length(res.stream, reader.size);
    opj_stream_set_read_function(res.stream, readMemory);
    opj_stream_set_skip_function(res.stream, skipMemory);
    opj_stream_set_seek_function(res.stream, seekMemory);

    if (!opj_read_header(res.stream, res.codec, &res.image) || !res.image)
        return std::nullopt;

    // The declared size decides before anything is decoded.
    const opj_image_t& header = *res.image;
    if (header.x1 <= header.x0 || header.y1 <= header.y0)
        return std::nullopt;
    CodestreamShape shape;
    shape.width = header.x1 - header.x0;
    shape.height = header.y1 - header.y0;
    shape.components = header.numcomps;
    if (shape.width > uint32_t(kMaxPictureWidth) || shape.height > uint32_t(kMaxPictureHeight))
        return std::nullopt;
    if (shape.components == 0 || shape.components > kMaxComponents)
        return std::nullopt;
    if (opj_codestream_info_v2_t* info = opj_get_cstr_info(res.codec)) {
        shape.tiles = uint64_t(info->tw) * info->th;
        const opj_tile_info_v2_t& tile = info->m_default_tile_info;
        int resolutions = tile.tccp_info ? INT32_MAX : 1;
        for (uint32_t c = 0; tile.tccp_info && c < info->nbcomps; ++c)
            resolutions = std::min(resolutions, int(tile.tccp_info[c].numresolutions));
        shape.resolutions = std::max(resolutions, 1);
        opj_destroy_cstr_info(&info);
        if (shape.tiles == 0 || shape.tiles > kMaxTiles)
            return std::nullopt;
    }
    return shape;
}

}  // namespace

std::optional<CodestreamShape> J2kDecoder::declaredShape(std::span<const uint8_t> codestream) {
    // SOC, then the SIZ segment: Lsiz, Rsiz, Xsiz, Ysiz, XOsiz, YOsiz, XTsiz, YTsiz, XTOsiz, YTOsiz, Csiz
    // (big-endian), which the codestream syntax puts first.
    constexpr size_t kSizEnd = 2 + 2 + 2 + 2 + 4 * 8 + 2;
    if (codestream.size() < kSizEnd || codestream[0] != 0xFF || codestream[1] != 0x4F ||
        codestream[2] != 0xFF || codestream[3] != 0x51)
        return std::nullopt;
    auto be16 = [&](size_t at) { return uint32_t(codestream[at]) << 8 | codestream[at + 1]; };
    auto be32 = [&](size_t at) { return be16(at) << 16 | be16(at + 2); };
    const uint64_t xSize = be32(8), ySize = be32(12), xOffset = be32(16), yOffset = be32(20);
    const uint64_t tileWidth = be32(24), tileHeight = be32(28), tileX = be32(32), tileY = be32(36);
    // The tile grid starts at or before the image and its first tile reaches into it.
    if (xSize <= xOffset || ySize <= yOffset || tileWidth == 0 || tileHeight == 0 || tileX > xOffset ||
        tileY > yOffset || tileX + tileWidth <= xOffset || tileY + tileHeight <= yOffset)
        return std::nullopt;
    CodestreamShape shape;
    shape.width = uint32_t(std::min<uint64_t>(xSize - xOffset, UINT32_MAX));
    shape.height = uint32_t(std::min<uint64_t>(ySize - yOffset, UINT32_MAX));
    shape.components = be16(40);
    shape.tiles =
        ((xSize - tileX + tileWidth - 1) / tileWidth) * ((ySize - tileY + tileHeight - 1) / tileHeight);
    return shape;
}

std::optional<CodestreamShape> J2kDecoder::checkCodestream(std::span<const uint8_t> codestream) {
    if (codestream.size() < 2)
        return std::nullopt;
    MemoryReader reader{codestream.data(), codestream.size(), 0};
    Resources res;
    return openCodestream(reader, res);
}

bool J2kDecoder::decode(std::span<const uint8_t> codestream, DecodedPicture& out) {
    return decodeReduced(codestream, out, 0);
}

bool J2kDecoder::decodeReduced(std::span<const uint8_t> codestream, DecodedPicture& out, int reduction) {
    out.width = 0;
    out.height = 0;
    out.reduction = 0;
    if (codestream.size() < 2)
        return false;

    clearUpperVectorState();
    MemoryReader reader{codestream.data(), codestream.size(), 0};
    Resources res;
    const std::optional<CodestreamShape> shape = openCodestream(reader, res);
    if (!shape)
        return false;
    uint32_t width = shape->width;
    uint32_t height = shape->height;
    // A full-size decode never touches the resolution factor, so its pixels stay exactly as before.
    int applied = std::clamp(reduction, 0, shape->resolutions - 1);
    if (applied > 0 && !opj_set_decoded_resolution_factor(res.codec, OPJ_UINT32(applied)))
        applied = 0;  // the reduction is refused: decode at full size

    if (!opj_decode(res.codec, res.stream, res.image) || !opj_end_decompress(res.codec, res.stream)) {
        // A tile-part may declare fewer levels than the main header, which the factor's check does not
        // see; the decode then fails on that tile. Such a picture is decoded at full size instead.
        return applied > 0 && decodeReduced(codestream, out, 0);
    }
    if (applied > 0) {
        width = res.image->comps[0].w;
        height = res.image->comps[0].h;
        if (width == 0 || height == 0)
            return false;
    }

    const opj_image_t& image = *res.image;
    for (uint32_t c = 0; c < image.numcomps; ++c) {
        const opj_image_comp_t& comp = image.comps[c];
        if (!comp.data || comp.w == 0 || comp.h == 0)
            return false;
    }

    const size_t bytes = size_t(width) * height * 4;
    if (out.pixels.size() < bytes)
        out.pixels.resize(kMaxPictureBytes);
    uint8_t* pixels = out.pixels.data();
    const size_t count = size_t(width) * height;
    if (image.numcomps >= 3 && plainComponent(image.comps[0], width, height) &&
        plainComponent(image.comps[1], width, height) && plainComponent(image.comps[2], width, height)) {
        packPlanes(image.comps[0].data, image.comps[1].data, image.comps[2].data, pixels, count);
    } else if (image.numcomps < 3 && plainComponent(image.comps[0], width, height)) {
        const int32_t* grey = image.comps[0].data;
        packPlanes(grey, grey, grey, pixels, count);
    } else {
        packGeneric(image, width, height, pixels);
    }

    out.width = int(width);
    out.height = int(height);
    out.reduction = applied;
    out.fullWidth = int(shape->width);
    out.fullHeight = int(shape->height);
    out.bitmapInfo = makeBitmapInfo(out.width, out.height);
    return true;
}

}  // namespace dvr::frame
