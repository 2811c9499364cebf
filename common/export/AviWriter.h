#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/export/ByteSink.h"

namespace dvr::exporting {

// The one video stream of an AVI file: Motion-JPEG pictures of one size at a fixed rate.
struct AviVideoFormat {
    int width = 0;
    int height = 0;
    int framesPerSecond = 10;  // 1 to 255
    std::string streamName;    // kept in the stream's name chunk (the file name)
};

struct AviWriterOptions {
    // Sizes and index are brought up to date after this many frames, so that a crash loses at most that
    // many. 0: ten seconds of frames at the stream's rate.
    uint32_t consistencyIntervalFrames = 0;
    // A RIFF part that would grow past this many bytes is closed and the file goes on in an extension part.
    uint64_t partLimitBytes = uint64_t(1) << 30;
    // Room for this many entries of the stream's index of indexes: one per consistency point and one at
    // the end of every part. An eighth is kept for the ends of parts, and each time half of the rest is
    // spent the consistency points grow twice as far apart, so that a long recording (days) never finds
    // the index full.
    uint32_t indexEntryCapacity = 8192;
};

// Writes an AVI file with one Motion-JPEG video stream ("vids", "MJPG"). Every frame is a key frame.
// The legacy index ("idx1") covers the first RIFF part; the stream's two-level index ("indx" with
// "ix00" chunks) covers every part, so files past 1 GiB stay playable. After every consistency point
// the file on disk is a complete AVI of the frames written so far.
// Not shared between threads.
class AviWriter {
public:
    explicit AviWriter(AviWriterOptions options = {});
    ~AviWriter();  // closes
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Closes anything open, creates the file and writes the headers. On failure the writer stays closed.
    Status open(const std::string& path, const AviVideoFormat& format);
    // The same over a sink the caller keeps alive until close.
    Status open(ByteSink& sink, const AviVideoFormat& format);

    // Appends one JPEG picture as the next frame. After a failed write the writer stops writing frames
    // (every later call fails with the first reason); close still makes the file consistent.
    Status writeVideoFrame(std::span<const uint8_t> jpeg);
    // Brings sizes and index on disk up to date with the frames written so far.
    Status flush();
    // Finishes the file (indexes, sizes) and releases it. Ok when nothing is open.
    Status close();

    bool isOpen() const { return m_sink != nullptr; }
    uint32_t frameCount() const { return m_totalFrames; }

private:
    struct IndexEntry {
        uint64_t offsetBytes;  // absolute position of the chunk header
        uint32_t sizeBytes;    // data bytes
    };
    Status writeHeaders();
    Status startExtensionPart();
    Status endPart(bool lastPart);
    Status writeChunkIndex();
    Status patchHeaders(uint64_t moviEndBytes);
    Status patchLe32(uint64_t position, uint32_t value);
    Status failWith(Status status);
    // Entries consistency points may still spend, and the frames the next one waits for.
    uint32_t pointEntriesLeft() const;
    uint64_t framesPerPoint() const;

    AviWriterOptions m_options;
    std::unique_ptr<ByteSink> m_ownedSink;
    ByteSink* m_sink = nullptr;
    AviVideoFormat m_format;
    Status m_failure = Status::success();

    uint32_t m_intervalFrames = 0;
    uint32_t m_totalFrames = 0;
    uint32_t m_firstPartFrames = 0;
    uint32_t m_largestFrameBytes = 0;
    int m_part = 0;            // 0 for the "AVI " part, then 1, 2, ... for "AVIX" parts
    uint64_t m_partStart = 0;  // position of the current part's "RIFF"
    uint64_t m_moviStart = 0;  // position of the current part's "movi" list type
    uint64_t m_endBytes = 0;   // where the next chunk goes

    // Positions of the header fields patched at every consistency point.
    uint64_t m_avihMaxBytesPerSecond = 0;
    uint64_t m_avihTotalFrames = 0;
    uint64_t m_avihSuggestedBuffer = 0;
    uint64_t m_strhLength = 0;
    uint64_t m_strhSuggestedBuffer = 0;
    uint64_t m_superIndexEntriesInUse = 0;
    uint64_t m_superIndexEntries = 0;
    uint64_t m_dmlhTotalFrames = 0;

    std::vector<IndexEntry> m_firstPartIndex;  // the legacy index, until the first part ends
    uint64_t m_legacyIndexStart = 0;           // where the legacy index was written (0: not yet)
    std::vector<IndexEntry> m_pendingIndex;    // frames not yet in a chunk index
    uint32_t m_superIndexUsed = 0;
    std::vector<uint8_t> m_scratch;
};

}  // namespace dvr::exporting
