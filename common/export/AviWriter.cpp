#include "common/export/AviWriter.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace dvr::exporting {

namespace {

constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kAvifIsInterleaved = 0x100;
constexpr uint32_t kAviifKeyFrame = 0x10;
constexpr uint8_t kIndexOfIndexes = 0x00;
constexpr uint8_t kIndexOfChunks = 0x01;
constexpr uint32_t kBitmapInfoHeaderBytes = 40;
constexpr uint32_t kDmlhBytes = 248;
constexpr uint32_t kSuperIndexEntryBytes = 16;
constexpr uint32_t kChunkIndexHeaderBytes = 24;
constexpr uint32_t kChunkIndexEntryBytes = 8;

// Little-endian fields appended to a buffer; chunk and list sizes are filled in when they end.
class Fields {
public:
    explicit Fields(std::vector<uint8_t>& out) : m_out(out) { m_out.clear(); }

    void fourcc(const char* tag) { m_out.insert(m_out.end(), tag, tag + 4); }
    void u8(uint8_t v) { m_out.push_back(v); }
    void le16(uint16_t v) {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void le32(uint32_t v) {
        le16(uint16_t(v));
        le16(uint16_t(v >> 16));
    }
    void le64(uint64_t v) {
        le32(uint32_t(v));
        le32(uint32_t(v >> 32));
    }
    void zeros(size_t count) { m_out.insert(m_out.end(), count, 0); }
    void bytes(std::span<const uint8_t> data) { m_out.insert(m_out.end(), data.begin(), data.end()); }
    size_t size() const { return m_out.size(); }

    // Starts a chunk; returns where its size field lies.
    size_t beginChunk(const char* tag) {
        fourcc(tag);
        const size_t sizeAt = size();
        le32(0);  // chunk size, set by endChunk
        return sizeAt;
    }
    size_t beginList(const char* tag, const char* type) {
        const size_t sizeAt = beginChunk(tag);
        fourcc(type);
        return sizeAt;
    }
    // Sets the size of the chunk begun at sizeAt and pads it to an even length.
    void endChunk(size_t sizeAt) {
        const uint32_t bytes = uint32_t(size() - sizeAt - 4);
        for (int i = 0; i < 4; ++i)
            m_out[sizeAt + size_t(i)] = uint8_t(bytes >> (8 * i));
        if (bytes & 1)
            u8(0);  // pad byte
    }

private:
    std::vector<uint8_t>& m_out;
};

}  // namespace

AviWriter::AviWriter(AviWriterOptions options) : m_options(options) {}

AviWriter::~AviWriter() {
    close();
}

Status AviWriter::open(const std::string& path, const AviVideoFormat& format) {
    close();
    std::string reason;
    std::unique_ptr<FileSink> sink = FileSink::create(path, &reason);
    if (!sink)
        return Status::failure("cannot create " + path + ": " + reason);
    Status status = open(*sink, format);
    if (status.ok())
        m_ownedSink = std::move(sink);
    return status;
}

Status AviWriter::open(ByteSink& sink, const AviVideoFormat& format) {
    close();
    if (format.width <= 0 || format.height <= 0 || format.width > 65535 || format.height > 65535)
        return Status::failure("picture size out of range");
    if (format.framesPerSecond < 1 || format.framesPerSecond > 255)
        return Status::failure("frame rate out of range (1 to 255)");
    if (m_options.indexEntryCapacity < 2)
        return Status::failure("index capacity too small");
    m_sink = &sink;
    m_format = format;
    m_failure = Status::success();
    m_intervalFrames = m_options.consistencyIntervalFrames ? m_options.consistencyIntervalFrames
                                                           : uint32_t(10 * format.framesPerSecond);
    m_totalFrames = 0;
    m_firstPartFrames = 0;
    m_largestFrameBytes = 0;
    m_part = 0;
    m_superIndexUsed = 0;
    m_firstPartIndex.clear();
    m_legacyIndexStart = 0;
    m_pendingIndex.clear();
    Status status = writeHeaders();
    if (!status.ok()) {
        m_sink = nullptr;
        return status;
    }
    return Status::success();
}

Status AviWriter::writeHeaders() {
    const uint32_t width = uint32_t(m_format.width);
    const uint32_t height = uint32_t(m_format.height);
    const uint32_t rate = uint32_t(m_format.framesPerSecond);
    const uint64_t base = m_sink->tell();
    Fields f(m_scratch);

    const size_t riff = f.beginList("RIFF", "AVI ");
    const size_t hdrl = f.beginList("LIST", "hdrl");

    const size_t avih = f.beginChunk("avih");
    f.le32(1000000 / rate);  // dwMicroSecPerFrame
    m_avihMaxBytesPerSecond = base + f.size();
    f.le32(0);                                   // dwMaxBytesPerSec
    f.le32(0);                                   // dwPaddingGranularity
    f.le32(kAvifHasIndex | kAvifIsInterleaved);  // dwFlags
    m_avihTotalFrames = base + f.size();
    f.le32(0);  // dwTotalFrames (of the first RIFF part)
    f.le32(0);  // dwInitialFrames
    f.le32(1);  // dwStreams
    m_avihSuggestedBuffer = base + f.size();
    f.le32(0);       // dwSuggestedBufferSize
    f.le32(width);   // dwWidth
    f.le32(height);  // dwHeight
    f.zeros(16);     // dwReserved[4]
    f.endChunk(avih);

    const size_t strl = f.beginList("LIST", "strl");
    const size_t strh = f.beginChunk("strh");
    f.fourcc("vids");  // fccType
    f.fourcc("MJPG");  // fccHandler
    f.le32(0);         // dwFlags
    f.le16(0);         // wPriority
    f.le16(0);         // wLanguage
    f.le32(0);         // dwInitialFrames
    f.le32(1);         // dwScale
    f.le32(rate);      // dwRate
    f.le32(0);         // dwStart
    m_strhLength = base + f.size();
    f.le32(0);  // dwLength
    m_strhSuggestedBuffer = base + f.size();
    f.le32(0);  // dwSuggestedBufferSize
    f.le32(0);  // dwQuality
    f.le32(0);  // dwSampleSize
    f.le16(0);  // rcFrame.left
    f.le16(0);  // rcFrame.top
    f.le16(0);  // rcFrame.right
    f.le16(0);  // rcFrame.bottom
    f.endChunk(strh);

    const size_t strf = f.beginChunk("strf");
    f.le32(kBitmapInfoHeaderBytes);  // biSize
    f.le32(width);                   // biWidth
    f.le32(height);                  // biHeight
    f.le16(1);                       // biPlanes
    f.le16(24);                      // biBitCount
    f.fourcc("MJPG");                // biCompression
    f.le32(0);                       // biSizeImage
    f.le32(0);                       // biXPelsPerMeter
    f.le32(0);                       // biYPelsPerMeter
    f.le32(0);                       // biClrUsed
    f.le32(0);                       // biClrImportant
    f.endChunk(strf);

    const size_t indx = f.beginChunk("indx");
    f.le16(4);              // wLongsPerEntry
    f.u8(0);                // bIndexSubType
    f.u8(kIndexOfIndexes);  // bIndexType
    m_superIndexEntriesInUse = base + f.size();
    f.le32(0);         // nEntriesInUse
    f.fourcc("00dc");  // dwChunkId
    f.zeros(12);       // dwReserved[3]
    m_superIndexEntries = base + f.size();
    f.zeros(size_t(m_options.indexEntryCapacity) * kSuperIndexEntryBytes);  // aIndex[], filled as it goes
    f.endChunk(indx);

    const size_t strn = f.beginChunk("strn");
    f.bytes({reinterpret_cast<const uint8_t*>(m_format.streamName.data()), m_format.streamName.size()});
    f.u8(0);  // terminating zero of the stream name
    f.endChunk(strn);
    f.endChunk(strl);

    const size_t odml = f.beginList("LIST", "odml");
    const size_t dmlh = f.beginChunk("dmlh");
    m_dmlhTotalFrames = base + f.size();
    f.le32(0);                // dwTotalFrames (of the whole file)
    f.zeros(kDmlhBytes - 4);  // dwFuture[]
    f.endChunk(dmlh);
    f.endChunk(odml);
    f.endChunk(hdrl);

    const size_t movi = f.beginList("LIST", "movi");
    m_moviStart = base + movi + 4;
    f.endChunk(movi);
    f.endChunk(riff);

    m_partStart = base + riff - 4;
    const Status status = m_sink->write(m_scratch);
    if (!status.ok())
        return Status::failure("cannot write the file headers: " + status.reason());
    m_endBytes = base + f.size();
    return Status::success();
}

Status AviWriter::failWith(Status status) {
    if (m_failure.ok())
        m_failure = status;
    return status;
}

Status AviWriter::writeVideoFrame(std::span<const uint8_t> jpeg) {
    if (!m_sink)
        return Status::failure("no file open");
    if (!m_failure.ok())
        return m_failure;
    if (jpeg.empty() || jpeg.size() > UINT32_MAX / 2)
        return Status::failure("empty or oversized frame");
    const uint64_t chunkBytes = 8 + jpeg.size() + (jpeg.size() & 1);
    const bool partHasFrames = m_part == 0 ? m_firstPartFrames > 0 : m_endBytes > m_moviStart + 4;
    if (partHasFrames && m_endBytes + chunkBytes - m_partStart > m_options.partLimitBytes) {
        const Status status = startExtensionPart();
        if (!status.ok())
            return failWith(status);
    }

    const uint64_t chunkStart = m_endBytes;
    std::array<uint8_t, 8> header;
    std::memcpy(header.data(), "00dc", 4);  // ckid: stream 0, compressed video
    for (int i = 0; i < 4; ++i)
        header[4 + size_t(i)] = uint8_t(jpeg.size() >> (8 * i));  // ckSize
    Status status = m_sink->write(header);
    if (status.ok())
        status = m_sink->write(jpeg);
    if (status.ok() && (jpeg.size() & 1))
        status = m_sink->write(std::array<uint8_t, 1>{0});  // pad byte
    if (!status.ok()) {
        // The chunk is not counted: a later index goes where it began.
        m_sink->seek(chunkStart);
        return failWith(
            Status::failure("cannot write frame " + std::to_string(m_totalFrames) + ": " + status.reason()));
    }
    m_endBytes += chunkBytes;
    const IndexEntry entry{chunkStart, uint32_t(jpeg.size())};
    m_pendingIndex.push_back(entry);
    if (m_part == 0) {
        m_firstPartIndex.push_back(entry);
        ++m_firstPartFrames;
    }
    ++m_totalFrames;
    m_largestFrameBytes = std::max(m_largestFrameBytes, uint32_t(jpeg.size()));
    if (m_pendingIndex.size() >= framesPerPoint())
        return flush();
    return Status::success();
}

uint32_t AviWriter::pointEntriesLeft() const {
    const uint32_t capacity = m_options.indexEntryCapacity;
    const uint32_t forPoints = capacity - std::max<uint32_t>(1, capacity / 8);
    return m_superIndexUsed < forPoints ? forPoints - m_superIndexUsed : 0;
}

uint64_t AviWriter::framesPerPoint() const {
    const uint32_t capacity = m_options.indexEntryCapacity;
    const uint64_t forPoints = capacity - std::max<uint32_t>(1, capacity / 8);
    const uint64_t left = pointEntriesLeft();
    if (left == 0)
        return m_intervalFrames;  // no more points: flush() only brings the sizes up to date
    int doublings = 0;
    while ((left << (doublings + 1)) <= forPoints)
        ++doublings;
    return uint64_t(m_intervalFrames) << doublings;
}

Status AviWriter::writeChunkIndex() {
    if (m_pendingIndex.empty())
        return Status::success();
    if (m_superIndexUsed >= m_options.indexEntryCapacity)
        return Status::failure("the file's index is full");
    const uint64_t baseOffset = m_pendingIndex.front().offsetBytes;
    Fields f(m_scratch);
    const size_t ix = f.beginChunk("ix00");
    f.le16(2);                                // wLongsPerEntry
    f.u8(0);                                  // bIndexSubType
    f.u8(kIndexOfChunks);                     // bIndexType
    f.le32(uint32_t(m_pendingIndex.size()));  // nEntriesInUse
    f.fourcc("00dc");                         // dwChunkId
    f.le64(baseOffset);                       // qwBaseOffset
    f.le32(0);                                // dwReserved3
    for (const IndexEntry& e : m_pendingIndex) {
        f.le32(uint32_t(e.offsetBytes - baseOffset + 8));  // dwOffset (of the data, from the base)
        f.le32(e.sizeBytes);                               // dwSize (bit 31 clear: key frame)
    }
    f.endChunk(ix);

    const uint64_t chunkStart = m_endBytes;
    Status status = m_sink->write(m_scratch);
    if (!status.ok()) {
        m_sink->seek(chunkStart);
        return status;
    }
    m_endBytes += m_scratch.size();

    Fields entry(m_scratch);
    entry.le64(chunkStart);                           // qwOffset
    entry.le32(uint32_t(kChunkIndexHeaderBytes + 8 +  // dwSize (the whole chunk)
                        m_pendingIndex.size() * kChunkIndexEntryBytes));
    entry.le32(uint32_t(m_pendingIndex.size()));  // dwDuration (frames)
    status = m_sink->seek(m_superIndexEntries + uint64_t(m_superIndexUsed) * kSuperIndexEntryBytes);
    if (status.ok())
        status = m_sink->write(m_scratch);
    const Status back = m_sink->seek(m_endBytes);
    if (!status.ok() || !back.ok())
        return status.ok() ? back : status;
    ++m_superIndexUsed;
    m_pendingIndex.clear();
    return Status::success();
}

Status AviWriter::patchLe32(uint64_t position, uint32_t value) {
    std::array<uint8_t, 4> bytes;
    for (int i = 0; i < 4; ++i)
        bytes[size_t(i)] = uint8_t(value >> (8 * i));
    Status status = m_sink->seek(position);
    return status.ok() ? m_sink->write(bytes) : status;
}

Status AviWriter::patchHeaders(uint64_t moviEndBytes) {
    // Sizes first, counts after: every prefix of these writes still describes whole frames.
    const uint32_t suggested = m_largestFrameBytes + 8;
    const uint32_t bytesPerSecond = uint32_t(
        std::min<uint64_t>(UINT32_MAX, uint64_t(m_largestFrameBytes) * uint64_t(m_format.framesPerSecond)));
    const std::array<std::pair<uint64_t, uint32_t>, 9> patches{{
        {m_moviStart - 4, uint32_t(moviEndBytes - m_moviStart)},    // movi list size
        {m_partStart + 4, uint32_t(m_endBytes - m_partStart - 8)},  // RIFF size
        {m_avihMaxBytesPerSecond, bytesPerSecond},
        {m_avihSuggestedBuffer, suggested},
        {m_strhSuggestedBuffer, suggested},
        {m_avihTotalFrames, m_firstPartFrames},
        {m_strhLength, m_totalFrames},
        {m_dmlhTotalFrames, m_totalFrames},
        {m_superIndexEntriesInUse, m_superIndexUsed},
    }};
    for (const auto& [position, value] : patches) {
        const Status status = patchLe32(position, value);
        if (!status.ok()) {
            m_sink->seek(m_endBytes);
            return status;
        }
    }
    return m_sink->seek(m_endBytes);
}

Status AviWriter::flush() {
    if (!m_sink)
        return Status::success();
    if (!m_failure.ok())
        return m_failure;
    // The entries kept for the ends of parts are not spent here: once only they are left, the frames
    // since the last consistency point wait for the end of their part (the sizes still cover them).
    if (pointEntriesLeft() > 0) {
        const Status status = writeChunkIndex();
        if (!status.ok())
            return failWith(Status::failure("cannot write the index: " + status.reason()));
    }
    Status status = patchHeaders(m_endBytes);
    if (status.ok())
        status = m_sink->sync();
    if (!status.ok())
        return failWith(Status::failure("cannot update the file headers: " + status.reason()));
    return Status::success();
}

Status AviWriter::endPart(bool lastPart) {
    Status status = writeChunkIndex();
    if (!status.ok())
        return status;
    const uint64_t moviEnd = m_endBytes;
    if (m_part == 0 && m_legacyIndexStart != 0) {
        // The first part ended before and the next one could not begin: that part stands as it ended,
        // its movi list up to the legacy index written then.
        return patchHeaders(m_legacyIndexStart);
    }
    if (m_part == 0) {
        // The legacy index follows the first part's movi list; offsets count from its list type.
        Fields f(m_scratch);
        const size_t idx1 = f.beginChunk("idx1");
        for (const IndexEntry& e : m_firstPartIndex) {
            f.fourcc("00dc");                               // dwChunkId
            f.le32(kAviifKeyFrame);                         // dwFlags
            f.le32(uint32_t(e.offsetBytes - m_moviStart));  // dwOffset
            f.le32(e.sizeBytes);                            // dwSize
        }
        f.endChunk(idx1);
        status = m_sink->write(m_scratch);
        if (!status.ok()) {
            m_sink->seek(m_endBytes);
            return status;
        }
        m_endBytes += m_scratch.size();
        m_legacyIndexStart = moviEnd;
        if (!lastPart)
            m_firstPartIndex = {};
    }
    return patchHeaders(moviEnd);
}

Status AviWriter::startExtensionPart() {
    Status status = endPart(false);
    if (!status.ok())
        return Status::failure("cannot finish part " + std::to_string(m_part) + ": " + status.reason());
    Fields f(m_scratch);
    const size_t riff = f.beginList("RIFF", "AVIX");
    const size_t movi = f.beginList("LIST", "movi");
    f.endChunk(movi);
    f.endChunk(riff);
    status = m_sink->write(m_scratch);
    if (!status.ok()) {
        m_sink->seek(m_endBytes);
        return Status::failure("cannot start a new part: " + status.reason());
    }
    m_partStart = m_endBytes;
    m_moviStart = m_endBytes + movi + 4;
    m_endBytes += m_scratch.size();
    ++m_part;
    return Status::success();
}

Status AviWriter::close() {
    if (!m_sink)
        return Status::success();
    Status result = m_failure;
    // After a failed write this still tries to finish the file after the last whole frame; when that
    // fails too, the file stays as it was at the last consistency point.
    Status status = m_sink->seek(m_endBytes);
    if (status.ok())
        status = endPart(true);
    if (status.ok())
        status = m_sink->sync();
    if (result.ok() && !status.ok())
        result = Status::failure("cannot finish the file: " + status.reason());
    m_sink = nullptr;
    m_ownedSink.reset();
    m_totalFrames = 0;
    m_firstPartIndex = {};
    m_pendingIndex = {};
    return result;
}

}  // namespace dvr::exporting
