#include "common/export/FramePipeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace dvr::exporting {

namespace {
constexpr int kWeightBits = 14;
constexpr int32_t kWeightOne = 1 << kWeightBits;

inline uint8_t clampByte(int32_t v) {
    return uint8_t(std::clamp(v, 0, 255));
}
}  // namespace

void Scaler::prepare(Taps& taps, int sourceSize, int targetSize) {
    if (taps.sourceSize == sourceSize && taps.targetSize == targetSize)
        return;
    taps.sourceSize = sourceSize;
    taps.targetSize = targetSize;
    const double scale = double(sourceSize) / targetSize;
    // Shrinking: each target pixel is the mean of the source area it covers, every source pixel weighted
    // by how much of it lies inside. Enlarging: linear interpolation between the two nearest pixels.
    const bool shrinking = scale > 1.0;
    const int maxTaps = shrinking ? int(std::ceil(scale)) + 2 : 2;
    taps.first.assign(size_t(targetSize), 0);
    taps.count.assign(size_t(targetSize), 0);
    taps.weight.assign(size_t(targetSize) * size_t(maxTaps), 0);
    std::vector<double> w(static_cast<size_t>(maxTaps));
    for (int i = 0; i < targetSize; ++i) {
        int first = 0;
        int n = 0;
        double sum = 0;
        if (shrinking) {
            const double begin = i * scale;
            const double end = begin + scale;
            first = int(std::floor(begin));
            for (int k = first; k < end && n < maxTaps; ++k, ++n) {
                w[size_t(n)] = std::min<double>(end, k + 1) - std::max<double>(begin, k);
                sum += w[size_t(n)];
            }
        } else {
            const double centre = (i + 0.5) * scale - 0.5;
            first = int(std::floor(centre));
            const double fraction = centre - first;
            w[0] = 1.0 - fraction;
            w[1] = fraction;
            n = 2;
            sum = 1.0;
        }
        // Taps outside the picture fold onto its edge pixels: collect weights per clamped index.
        const int lo = std::clamp(first, 0, sourceSize - 1);
        const int hi = std::clamp(first + n - 1, 0, sourceSize - 1);
        taps.first[size_t(i)] = lo;
        taps.count[size_t(i)] = hi - lo + 1;
        int32_t* out = &taps.weight[size_t(i) * size_t(maxTaps)];
        int32_t total = 0;
        for (int t = 0; t < n; ++t) {
            const int index = std::clamp(first + t, 0, sourceSize - 1) - lo;
            const auto v = int32_t(std::lround(w[size_t(t)] / sum * kWeightOne));
            out[index] += v;
            total += v;
        }
        // Rounding leftovers go to the heaviest tap, so flat areas stay exactly flat.
        int32_t* heaviest = std::max_element(out, out + (hi - lo + 1));
        *heaviest += kWeightOne - total;
    }
}

void Scaler::scale(const PixelSource& source, int width, int height, std::vector<uint8_t>& out) {
    out.resize(size_t(width) * size_t(height) * 3);
    if (source.pixels == nullptr || source.width <= 0 || source.height <= 0 || width <= 0 || height <= 0) {
        std::fill(out.begin(), out.end(), 0);
        return;
    }
    const int channels = source.channels;
    if (source.width == width && source.height == height) {
        for (int y = 0; y < height; ++y) {
            const uint8_t* s = source.pixels + size_t(y) * source.strideBytes;
            uint8_t* d = out.data() + size_t(y) * size_t(width) * 3;
            if (channels == 3) {
                std::memcpy(d, s, size_t(width) * 3);
            } else {
                for (int x = 0; x < width; ++x, s += channels, d += 3) {
                    d[0] = s[0];
                    d[1] = s[1];
                    d[2] = s[2];
                }
            }
        }
        return;
    }
    prepare(m_horizontal, source.width, width);
    prepare(m_vertical, source.height, height);
    const size_t hStride = m_horizontal.weight.size() / size_t(width);
    const size_t vStride = m_vertical.weight.size() / size_t(height);

    // Horizontal pass over every source row.
    m_rows.resize(size_t(width) * size_t(source.height) * 3);
    for (int y = 0; y < source.height; ++y) {
        const uint8_t* row = source.pixels + size_t(y) * source.strideBytes;
        uint8_t* d = m_rows.data() + size_t(y) * size_t(width) * 3;
        for (int x = 0; x < width; ++x, d += 3) {
            const int32_t* w = &m_horizontal.weight[size_t(x) * hStride];
            const uint8_t* s = row + size_t(m_horizontal.first[size_t(x)]) * size_t(channels);
            int32_t b = kWeightOne / 2, g = kWeightOne / 2, r = kWeightOne / 2;
            for (int t = 0; t < m_horizontal.count[size_t(x)]; ++t, s += channels) {
                b += w[t] * s[0];
                g += w[t] * s[1];
                r += w[t] * s[2];
            }
            d[0] = clampByte(b >> kWeightBits);
            d[1] = clampByte(g >> kWeightBits);
            d[2] = clampByte(r >> kWeightBits);
        }
    }
    // Vertical pass, a whole row at a time.
    const size_t rowBytes = size_t(width) * 3;
    std::vector<int32_t> sums(rowBytes);
    for (int y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), kWeightOne / 2);
        const int32_t* w = &m_vertical.weight[size_t(y) * vStride];
        for (int t = 0; t < m_vertical.count[size_t(y)]; ++t) {
            const uint8_t* s = m_rows.data() + size_t(m_vertical.first[size_t(y)] + t) * rowBytes;
            const int32_t weight = w[t];
            for (size_t i = 0; i < rowBytes; ++i)
                sums[i] += weight * s[i];
        }
        uint8_t* d = out.data() + size_t(y) * rowBytes;
        for (size_t i = 0; i < rowBytes; ++i)
            d[i] = clampByte(sums[i] >> kWeightBits);
    }
}

std::span<const uint8_t> FramePipeline::encodeFrame(const PixelSource& source, int width, int height,
                                                    const Stamp* stamp) {
    m_scaler.scale(source, width, height, m_pixels);
    if (stamp && m_stamper)
        m_stamper->draw(m_pixels.data(), width, height, size_t(width) * 3, *stamp);
    return m_encoder.encode(m_pixels.data(), width, height, size_t(width) * 3, 3, kJpegQuality);
}

}  // namespace dvr::exporting
