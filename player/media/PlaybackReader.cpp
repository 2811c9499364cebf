#include "player/media/PlaybackReader.h"

#include <algorithm>

namespace dvr::media {

namespace {

constexpr std::string_view kCannotReadFile = "Can not read ZAV file. ";
constexpr std::string_view kCannotReadSubHeader = "Can not read 202 Header. ";

constexpr int64_t kSectorMask = ~int64_t(kSectorBytes - 1);

}  // namespace

PlaybackReader::PlaybackReader(PlaybackShared& shared, PlaybackSink& sink, PlaybackRules& rules,
                               PlaybackClock& clock)
    : m_shared(shared), m_sink(sink), m_rules(rules), m_clock(clock), m_picture(kPictureBufferBytes) {}

void PlaybackReader::start(std::unique_ptr<ByteSource> source, uint64_t endOffset) {
    m_shared.setMode(PlayMode::GoToStart);
    m_recordSize = 0;
    m_lastSoundSequence = 0;
    m_soundType = 0;
    m_soundMask = 0;
    m_soundParameter = 0;
    m_newSoundBlock = false;
    m_state = ReaderState::Resync;

    m_reader.open(std::move(source));
    m_fileSize = m_reader.size();
    m_endOffset = endOffset;
    m_rules.begin(m_fileSize, m_endOffset);
    m_reader.seek(kDataStart);
    m_position = int64_t(kDataStart);
}

void PlaybackReader::finish() {
    m_reader.stopReadAhead();
}

bool PlaybackReader::seekReader(int64_t position) {
    if (position < 0)
        return false;
    return uint64_t(position) == m_reader.offset() || m_reader.seek(uint64_t(position));
}

bool PlaybackReader::step() {
    // The read-ahead worker runs while sound playback is on; it is started and stopped here, on the
    // thread that reads, so that the reader's windows have one owner.
    const bool soundOn = m_shared.soundOn.load();
    if (soundOn != m_reader.readAheadRunning()) {
        if (soundOn)
            m_reader.startReadAhead();
        else
            m_reader.stopReadAhead();
    }

    PlayMode mode = m_shared.mode();
    if (mode == PlayMode::Pause) {
        m_clock.sleepMs(4);
        m_shared.requestFlag.store(1);  // playing resumes through Resync
        // A record's Advance may still be pending: its pacing must not count the time spent paused as
        // lateness and skip records, so the clocks restart there as they do on Resync.
        m_rules.resync();
        return true;
    }
    if (mode == PlayMode::Seek) {
        m_position = m_rules.seek();
        // A button pressed since the slider was let go stays pressed.
        if (m_shared.moveMode(PlayMode::Seek, PlayMode::StepBackward))
            mode = PlayMode::StepBackward;
        else
            mode = m_shared.mode();
        m_lastSoundSequence = 0;
        // Reading goes on at the target, not where the reader happened to stop.
        if (m_position >= 0 && uint64_t(m_position) < m_fileSize)
            seekReader(m_position & kSectorMask);
        m_state = ReaderState::Resync;
    }
    // A record's Advance first brings a position before the data start back to it ("a step stops at
    // the first record"): only a position past the end, or outside the file once advanced, starts the
    // search again.
    if (m_position >= 0 && uint64_t(m_position) >= m_fileSize && m_endOffset > m_fileSize) {
        // The file ends before the end its opening scan found: it was shortened since (another program,
        // a disc that fails). Searching again from the start would play the same records for ever.
        m_sink.showMessage(kCannotReadFile);
        m_shared.setMode(PlayMode::Pause);
        return false;
    }
    if ((m_state != ReaderState::Advance && m_position < 0) ||
        (m_position >= 0 && uint64_t(m_position) >= m_fileSize)) {
        // The search starts again (at the data start, or 128 KiB before the end); when a whole pass met
        // no record header there is nothing to find: playback pauses instead of searching for ever.
        if (++m_passesWithoutHeader > 1) {
            m_passesWithoutHeader = 0;
            m_shared.setMode(PlayMode::Pause);
            if (mode == PlayMode::GoToStart)
                m_sink.atStart();
            else
                m_sink.atEnd();
            return true;
        }
        if (mode == PlayMode::GoToStart)
            m_position = int64_t(kDataStart);
        else
            m_position = std::max<int64_t>(int64_t(kDataStart), int64_t(m_fileSize) - 131072);
        m_position &= kSectorMask;
        seekReader(m_position);
    }

    switch (m_state) {
        case ReaderState::Scan:
            return scanStep();
        case ReaderState::ReadPicture:
            readPicture();
            return true;
        case ReaderState::Advance:
            advance();
            return true;
        case ReaderState::Resync:
            m_rules.resync();
            m_state = ReaderState::Scan;
            return true;
    }
    return true;
}

bool PlaybackReader::scanStep() {
    if (m_reader.read(m_sector) < kSectorBytes) {
        m_sink.showMessage(kCannotReadFile);
        m_shared.setMode(PlayMode::Pause);
        return false;
    }
    m_position += int64_t(kSectorBytes);
    m_headerPosition = uint64_t(m_position) - kSectorBytes;
    if (!hasRecordSignature(m_sector))
        return true;
    m_passesWithoutHeader = 0;

    m_header = *parseBackupHeader(m_sector);
    m_soundOn = m_shared.soundOn.load();
    if (m_soundOn) {
        m_soundType = m_header.soundType();
        m_soundMask = m_header.soundChannelMask();
        if (m_header.sectorCount == 3)
            m_soundType = kSoundOnly;
        m_newSoundBlock = m_header.soundSequence > m_lastSoundSequence;
        m_lastSoundSequence = m_header.soundSequence;
        m_soundParameter = m_header.soundParameter();
    } else {
        m_newSoundBlock = false;
    }
    m_state = ReaderState::ReadPicture;
    m_recordSize = 0;

    if (m_soundOn && m_soundType == kSoundOnly) {
        if (m_reader.read(m_soundOnly) < kSoundBlockBytes) {
            m_shared.setMode(PlayMode::Pause);
            return false;
        }
        m_position += int64_t(kSoundBlockBytes);
        m_state = ReaderState::Scan;
        if (m_newSoundBlock) {
            swapWords(m_soundOnly);
            m_sink.soundBlock(m_soundOnly, m_soundMask, m_soundParameter, kSoundOnly);
        }
        return true;
    }
    if (m_reader.read(m_subHeader) < kSubHeaderBytes)
        m_sink.showMessage(kCannotReadSubHeader);
    swapWords(m_subHeader);
    m_fieldCode = fieldCode(m_subHeader);
    return true;
}

void PlaybackReader::dropRecord(uint32_t recordSize) {
    m_recordSize = recordSize;
    m_rules.afterDroppedRecord(context(), m_position);
    m_state = ReaderState::Advance;
}

void PlaybackReader::readPicture() {
    const uint32_t n = m_header.sectorCount - 1;
    if (n <= kMinPictureRecordSize) {
        // No picture; the header search goes on from the sector after the header.
        dropRecord(n);
        return;
    }
    if (n > kMaxRecordSize) {
        // Not read (this includes a sector count of 0): the search resumes after the header, which is
        // not read again.
        m_position = int64_t(m_headerPosition + kSectorBytes);
        dropRecord(0);
        return;
    }
    const size_t wanted = size_t(n) * kSectorBytes - kSubHeaderBytes;
    const size_t got = m_reader.read({m_picture.data(), wanted});
    if (got < wanted) {
        if (m_fileSize - m_reader.offset() <= SectorReader::kWindowBytes) {
            // The end of the file.
            m_position = int64_t(m_fileSize);
            m_shared.setMode(PlayMode::GoToEnd);
            m_sink.atEnd();
            m_recordSize = n;
            m_state = ReaderState::Advance;
        } else {
            // A failed read inside the file: the record is dropped and the search resumes after it.
            m_position = int64_t(m_headerPosition + kSectorBytes);
            dropRecord(0);
        }
        return;
    }
    m_position = int64_t(m_reader.offset());
    const size_t dataBytes = size_t(n) * kSectorBytes;
    swapWords({m_picture.data(), dataBytes});

    // The end marker FF D9 at i - 1, i for i from the picture length - 32 up to the last byte read.
    const int64_t first = m_header.endSearchLength() - 32;
    const int64_t last = int64_t(dataBytes) - 17;
    int64_t found = -1;
    if (m_header.endSearchLength() >= 32) {
        for (int64_t i = std::max<int64_t>(first, 1); i <= last; ++i) {
            if (m_picture[size_t(i - 1)] == 0xFF && m_picture[size_t(i)] == 0xD9) {
                found = i;
                break;
            }
        }
    }
    if (found < 0) {
        // Incomplete picture: dropped.
        dropRecord(n);
        return;
    }
    m_recordSize = n;
    deliver(n, wanted, size_t(found));
    m_rules.afterPicture(context(), m_position);
    m_state = ReaderState::Advance;
}

void PlaybackReader::deliver(uint32_t recordSize, size_t bytesRead, size_t endMarkerIndex) {
    DeliveredPicture picture;
    picture.header = &m_header;
    picture.headerOffset = m_headerPosition;
    picture.fieldCode = m_fieldCode;
    picture.lengthBytes = recordSize * uint32_t(kSectorBytes);
    picture.bytes = {m_picture.data(), bytesRead};
    picture.endMarkerIndex = endMarkerIndex;
    picture.subHeader = m_subHeader;

    if (!m_soundOn) {
        m_sink.drawPicture(picture);
        return;
    }
    if (m_soundType != kSoundTrailingBlock)
        return;  // with sound on, only records that end in a sound block are shown
    const std::span<const uint8_t> block(m_picture.data() + bytesRead - kSoundBlockBytes, kSoundBlockBytes);
    const int selected = m_shared.selectedChannel.load();
    if (selected >= 0 && selected < 32 && (m_header.channelMask() & (1u << selected)) &&
        m_rules.soundPictureAllowed(context()))
        m_sink.drawPicture(picture);
    if (m_newSoundBlock)
        m_sink.soundBlock(block, m_soundMask, m_soundParameter, kSoundTrailingBlock);
}

void PlaybackReader::advance() {
    m_rules.advance(context(), m_position);
    // The first 64 KiB are never read.
    m_position = std::max(m_position, int64_t(kDataStart)) & kSectorMask;
    if (uint64_t(m_position) != m_reader.offset())
        seekReader(m_position);
    m_state = ReaderState::Scan;
    if (m_shared.requestFlag.exchange(0))
        m_state = ReaderState::Resync;
}

}  // namespace dvr::media
