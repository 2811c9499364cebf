#include "common/evidence/AviReader.h"

#include <cstring>
#include <unordered_set>

namespace dvr::evidence {

namespace {

// Little-endian fields of the file.
uint32_t le32(std::span<const uint8_t> b, uint64_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t le16(std::span<const uint8_t> b, uint64_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}
uint64_t le64(std::span<const uint8_t> b, uint64_t at) {
    return le32(b, at) | uint64_t(le32(b, at + 4)) << 32;
}
bool isFourcc(std::span<const uint8_t> b, uint64_t at, const char* code) {
    return std::memcmp(b.data() + at, code, 4) == 0;
}

// A chunk or list inside [begin, end): its id at `at`, its data from at + 8 for `size` bytes.
struct Chunk {
    uint64_t at = 0;
    uint32_t size = 0;
    uint64_t data() const { return at + 8; }
    uint64_t next() const { return at + 8 + size + (size & 1); }
};

// The chunks directly inside [begin, end), stopping at one that runs past the end.
std::vector<Chunk> chunksIn(std::span<const uint8_t> b, uint64_t begin, uint64_t end) {
    std::vector<Chunk> out;
    uint64_t at = begin;
    while (at + 8 <= end) {
        const Chunk c{at, le32(b, at + 4)};
        if (c.data() + c.size > end)
            break;
        out.push_back(c);
        at = c.next();
    }
    return out;
}

bool isVideoChunkId(std::span<const uint8_t> b, uint64_t at) {
    return b[at] == '0' && b[at + 1] == '0' && b[at + 2] == 'd' && (b[at + 3] == 'c' || b[at + 3] == 'b');
}

class Reader {
public:
    explicit Reader(std::span<const uint8_t> file) : m_b(file) {}

    AviRead run() {
        AviRead out;
        if (!readParts()) {
            out.error = m_error;
            return out;
        }
        AviFrames frames;
        if (m_superIndex) {
            frames.twoLevelIndex = true;
            if (!readTwoLevel(frames.frames)) {
                out.error = m_error;
                return out;
            }
        } else if (m_legacyIndex) {
            if (!readLegacy(frames.frames)) {
                out.error = m_error;
                return out;
            }
        } else {
            out.error = "no index";
            return out;
        }
        out.frames = std::move(frames);
        return out;
    }

private:
    bool fail(std::string what) {
        if (m_error.empty())
            m_error = std::move(what);
        return false;
    }

    // The RIFF parts one after the other: "AVI " first, then "AVIX" extension parts.
    bool readParts() {
        const uint64_t size = m_b.size();
        uint64_t at = 0;
        int part = 0;
        while (at + 12 <= size) {
            if (!isFourcc(m_b, at, "RIFF"))
                break;
            const Chunk riff{at, le32(m_b, at + 4)};
            if (riff.size < 4 || riff.data() + riff.size > size)
                return fail("RIFF part " + std::to_string(part) + " runs past the end of the file");
            if (!isFourcc(m_b, at + 8, part == 0 ? "AVI " : "AVIX"))
                return fail(part == 0 ? "not an AVI file" : "an extension part is not AVIX");
            for (const Chunk& c : chunksIn(m_b, riff.data() + 4, riff.data() + riff.size)) {
                if (part == 0 && isFourcc(m_b, c.at, "LIST") && c.size >= 4 &&
                    isFourcc(m_b, c.data(), "hdrl"))
                    readHeaderList(c);
                else if (part == 0 && isFourcc(m_b, c.at, "LIST") && c.size >= 4 &&
                         isFourcc(m_b, c.data(), "movi"))
                    m_moviType = c.data();
                else if (part == 0 && isFourcc(m_b, c.at, "idx1"))
                    m_legacyIndex = c;
            }
            at = riff.next();
            ++part;
        }
        if (part == 0)
            return fail("not an AVI file");
        return true;
    }

    // The first stream's index of indexes, if it has one.
    void readHeaderList(const Chunk& hdrl) {
        for (const Chunk& c : chunksIn(m_b, hdrl.data() + 4, hdrl.data() + hdrl.size)) {
            if (!isFourcc(m_b, c.at, "LIST") || c.size < 4 || !isFourcc(m_b, c.data(), "strl"))
                continue;
            for (const Chunk& s : chunksIn(m_b, c.data() + 4, c.data() + c.size))
                if (isFourcc(m_b, s.at, "indx"))
                    m_superIndex = s;
            return;  // stream 0 only
        }
    }

    // A frame at `data` of `size` bytes: inside the file, behind a stream-0 chunk header of that size,
    // after the frame before it (so no two frames share bytes and the list stays shorter than the file
    // size / 8).
    bool addFrame(std::vector<AviFrame>& frames, uint64_t data, uint32_t size) {
        if (frames.size() >= m_b.size() / 8)
            return fail("more frames listed than the file can hold");
        if (data < 8 || data > m_b.size() || size > m_b.size() - data)
            return fail("frame " + std::to_string(frames.size()) + " lies outside the file");
        if (data - 8 < m_nextFree)
            return fail("frame " + std::to_string(frames.size()) + " does not follow the frame before it");
        if (!isVideoChunkId(m_b, data - 8) || le32(m_b, data - 4) != size)
            return fail("frame " + std::to_string(frames.size()) + " has no matching chunk header");
        frames.push_back({data, size});
        m_nextFree = data + size;
        return true;
    }

    bool readTwoLevel(std::vector<AviFrame>& frames) {
        const Chunk& indx = *m_superIndex;
        if (indx.size < 24)
            return fail("index of indexes too short");
        const uint64_t d = indx.data();
        const uint16_t longsPerEntry = le16(m_b, d);
        const uint8_t subType = m_b[d + 2];
        const uint8_t type = m_b[d + 3];
        const uint32_t entries = le32(m_b, d + 4);
        if (type != 0 || subType != 0 || longsPerEntry != 4)
            return fail("unknown index of indexes");
        if (uint64_t(entries) * 16 > indx.size - 24)
            return fail("index of indexes lists more entries than it holds");
        for (uint32_t i = 0; i < entries; ++i) {
            const uint64_t e = d + 24 + uint64_t(i) * 16;
            const uint64_t at = le64(m_b, e);
            const uint32_t size = le32(m_b, e + 8);
            if (at > m_b.size() || m_b.size() - at < 8 || uint64_t(size) > m_b.size() - at)
                return fail("chunk index " + std::to_string(i) + " lies outside the file");
            if (!isFourcc(m_b, at, "ix00"))
                return fail("chunk index " + std::to_string(i) + " is not where the index says");
            if (!m_subIndexes.insert(at).second)
                return fail("chunk index " + std::to_string(i) + " is listed twice");
            const Chunk ix{at, le32(m_b, at + 4)};
            if (ix.size < 24 || ix.data() + ix.size > m_b.size())
                return fail("chunk index " + std::to_string(i) + " is damaged");
            const uint64_t x = ix.data();
            const uint32_t count = le32(m_b, x + 4);
            if (le16(m_b, x) != 2 || m_b[x + 2] != 0 || m_b[x + 3] != 1 || uint64_t(count) * 8 > ix.size - 24)
                return fail("chunk index " + std::to_string(i) + " is damaged");
            const uint64_t base = le64(m_b, x + 12);
            for (uint32_t k = 0; k < count; ++k) {
                const uint64_t entry = x + 24 + uint64_t(k) * 8;
                const uint32_t offset = le32(m_b, entry);
                const uint32_t frameSize = le32(m_b, entry + 4) & 0x7FFFFFFF;
                if (base > m_b.size())
                    return fail("chunk index " + std::to_string(i) + " lies outside the file");
                if (!addFrame(frames, base + offset, frameSize))
                    return false;
            }
        }
        return true;
    }

    bool readLegacy(std::vector<AviFrame>& frames) {
        const Chunk& idx1 = *m_legacyIndex;
        const uint64_t entries = idx1.size / 16;
        // Offsets count from the "movi" list type as a rule, from the file's start in some writers: the
        // first video entry decides.
        std::optional<uint64_t> base;
        for (uint64_t i = 0; i < entries; ++i) {
            const uint64_t e = idx1.data() + i * 16;
            if (!isVideoChunkId(m_b, e))
                continue;
            const uint64_t offset = le32(m_b, e + 8);
            const uint32_t size = le32(m_b, e + 12);
            if (!base) {
                if (!m_moviType)
                    return fail("no movi list");
                base = *m_moviType;
                const uint64_t at = *base + offset;
                if (!(at + 8 <= m_b.size() && isVideoChunkId(m_b, at) && le32(m_b, at + 4) == size))
                    base = 0;
            }
            if (!addFrame(frames, *base + offset + 8, size))
                return false;
        }
        return true;
    }

    std::span<const uint8_t> m_b;
    std::optional<Chunk> m_superIndex;
    std::optional<Chunk> m_legacyIndex;
    std::optional<uint64_t> m_moviType;  // position of the first part's "movi" list type
    uint64_t m_nextFree = 0;             // the end of the last frame listed
    std::unordered_set<uint64_t> m_subIndexes;
    std::string m_error;
};

}  // namespace

AviRead readAviFrames(std::span<const uint8_t> file) {
    return Reader(file).run();
}

}  // namespace dvr::evidence
