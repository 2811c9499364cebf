#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "player/media/BackupFormat.h"
#include "player/media/ByteSource.h"
#include "player/media/PlaybackClock.h"
#include "player/media/PlaybackRules.h"
#include "player/media/PlaybackShared.h"
#include "player/media/PlaybackSink.h"
#include "player/media/SectorReader.h"

namespace dvr::media {

enum class ReaderState { Scan = 0, ReadPicture = 1, Advance = 100, Resync = 1000 };

// The record-reading state machine of the playback thread, one main-loop pass per step(), so that it
// runs on the playback thread or, in tests and fuzzing, on the caller's thread.
class PlaybackReader {
public:
    static constexpr size_t kPictureBufferBytes = 65536;
    // Records of more than this many sectors after the header are not read.
    static constexpr uint32_t kMaxRecordSize = 100;
    // Records of at most this many sectors after the header carry no picture.
    static constexpr uint32_t kMinPictureRecordSize = 5;

    PlaybackReader(PlaybackShared& shared, PlaybackSink& sink, PlaybackRules& rules, PlaybackClock& clock);

    // Thread start: mode 5, bookkeeping cleared, reader state Resync, reading from the data start.
    // endOffset is where forward playback ends (from the opening scan).
    void start(std::unique_ptr<ByteSource> source, uint64_t endOffset);
    // One pass of the main loop. False when the thread must end (a record header or sound block could
    // not be read); the play mode is then 0.
    bool step();
    // Thread end: stops the read-ahead worker. The file stays open until the next start or destruction.
    void finish();

    ReaderState state() const { return m_state; }
    int64_t position() const { return m_position; }
    const SectorReader& sectorReader() const { return m_reader; }

private:
    bool scanStep();
    void readPicture();
    void deliver(uint32_t recordSize, size_t bytesRead, size_t endMarkerIndex);
    void dropRecord(uint32_t recordSize);
    void advance();
    RecordContext context() const { return {&m_header, m_headerPosition, m_recordSize}; }
    bool seekReader(int64_t position);

    PlaybackShared& m_shared;
    PlaybackSink& m_sink;
    PlaybackRules& m_rules;
    PlaybackClock& m_clock;
    SectorReader m_reader;

    std::vector<uint8_t> m_picture;  // the picture buffer, allocated once
    std::array<uint8_t, kSectorBytes> m_sector{};
    std::array<uint8_t, kSubHeaderBytes> m_subHeader{};
    std::array<uint8_t, kSoundBlockBytes> m_soundOnly{};

    ReaderState m_state = ReaderState::Resync;
    int64_t m_position = 0;
    uint64_t m_headerPosition = 0;
    uint64_t m_fileSize = 0;
    uint64_t m_endOffset = 0;
    BackupHeader m_header;
    uint32_t m_recordSize = 0;
    int m_fieldCode = kWholeFrame;
    // Returns to the last 128 KiB of the file since a record header was last seen.
    int m_passesWithoutHeader = 0;

    // Sound bookkeeping of the current record.
    uint32_t m_lastSoundSequence = 0;
    uint32_t m_soundType = 0;
    uint8_t m_soundMask = 0;
    uint16_t m_soundParameter = 0;
    bool m_newSoundBlock = false;
    bool m_soundOn = false;  // the sound flag as the current record saw it
};

}  // namespace dvr::media
