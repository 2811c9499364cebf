#include "player/engine/PlayerEngine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "player/engine/PlaySettings.h"

namespace dvr::player {

using media::PlayMode;

namespace {

constexpr int64_t kDataStart = int64_t(media::kDataStart);
constexpr int64_t kSectorMask = ~int64_t(511);

// Recorders whose fast forward runs four times the table's offset.
bool hasFourfoldFastForward(uint32_t layoutCode) {
    return layoutCode == 0x10008 || layoutCode == 0x10016 || layoutCode == 0x30008 || layoutCode == 0x30016;
}

// The offset of the record the header links back to: header position + (previous - this) x 512. The
// callers follow a link only to a previous sector number no greater than this one, compared whole; the
// difference is taken whole too, so a link whose high words differ never leads forwards or back to this
// record. No file reaches 2^40 sectors back: a link past that leads before the file all the same.
int64_t linkedPosition(const media::RecordContext& record) {
    const uint64_t previous = record.header->previousSectorNumber();
    const uint64_t sector = record.header->sectorNumber();
    constexpr uint64_t kFarSectors = uint64_t(1) << 40;
    const int64_t sectors = previous <= sector ? -int64_t(std::min(sector - previous, kFarSectors))
                                               : int64_t(std::min(previous - sector, kFarSectors));
    return int64_t(record.headerPosition) + sectors * 512;
}

}  // namespace

PlayerEngine::PlayerEngine(media::PlaybackShared& shared, media::PlaybackSink& sink,
                           media::PlaybackClock& clock, Options options)
    : m_shared(shared), m_sink(sink), m_clock(clock), m_options(options) {}

void PlayerEngine::begin(uint64_t fileSize, uint64_t endOffset) {
    m_fileSize = fileSize;
    m_endOffset = endOffset;
    m_groupCounter = 0;
    m_skipCounter = 0;
    m_clockReset = false;
    m_groupClockSeconds = m_backwardCountdownSeconds = m_delayWaitSeconds = m_pacingSleepMs = 0;
    restart(m_groupClock, 0);
    restart(m_waitClock, 0);
    restart(m_delayClock, 0);
    noteRequests();
}

int64_t PlayerEngine::seek() {
    m_groupCounter = 0;
    m_backwardRunHeader = -1;
    m_skipCounter = 0;
    return seekTarget(m_shared.sliderPosition.load(), m_fileSize);
}

void PlayerEngine::takeRecord(const media::BackupHeader& header) {
    m_displayTimeSeconds = header.displayTimeSeconds();
    m_framesPerGroup = header.framesPerGroup();
    m_fieldRateHz = header.fieldRate();
    m_fieldPeriodMs = 1000 / m_fieldRateHz;
}

void PlayerEngine::setSliderFrom(int64_t position) {
    m_sink.setSlider(sliderValue(position, m_fileSize));
}

void PlayerEngine::stepGroup() {
    // A group begins at counter 0; without grouping (0) every record begins one. (A group byte of 1
    // already reads as 2.)
    if (m_groupCounter == 0) {
        restart(m_groupClock, m_displayTimeSeconds - m_delayWaitSeconds);
        m_backwardCountdownSeconds = m_displayTimeSeconds;
    }
    m_groupCounter = m_framesPerGroup > 0 ? (m_groupCounter + 1) % m_framesPerGroup : 0;
}

void PlayerEngine::stepOneRecord(PlayMode stepping) {
    if (m_framesPerGroup == 0 || (m_groupCounter + 1) % m_framesPerGroup == 0) {
        if (m_beforePause)
            m_beforePause();
        // A play button pressed while the group was shown stays pressed.
        m_shared.moveMode(stepping, PlayMode::Pause);
        m_groupCounter = 0;
    } else {
        ++m_groupCounter;
    }
}

void PlayerEngine::stepBackward(const media::RecordContext& record, int64_t& position, PlayMode mode) {
    // A link that does not lead to an earlier sector would lead back to this record again. So does a
    // damaged one that leads into the previous record's data, where the scan finds this header once
    // more: a record met again in one backward run is left as a record without a link.
    const media::BackupHeader& h = *record.header;
    const bool metAgain = m_backwardRunHeader >= 0 && int64_t(record.headerPosition) >= m_backwardRunHeader;
    m_backwardRunHeader = int64_t(record.headerPosition);
    if (!metAgain && h.previousSectorNumber() != 0 && h.sectorNumber() != 0 &&
        h.previousSectorNumber() < h.sectorNumber())
        position = linkedPosition(record);
    else
        position = (position - 131072) & kSectorMask;
    if (beyondFile(position) || position <= kDataStart) {
        if (m_shared.moveMode(mode, PlayMode::GoToStart))
            m_sink.atStart();
        position = kDataStart;
    }
}

void PlayerEngine::afterPicture(const media::RecordContext& record, int64_t& position) {
    takeRecord(*record.header);
    const media::BackupHeader& h = *record.header;
    const PlayMode mode = m_shared.mode();
    if (mode != PlayMode::Backward && mode != PlayMode::FastBackward)
        m_backwardRunHeader = -1;
    switch (mode) {
        case PlayMode::Forward:
        case PlayMode::FastForward:
            stepGroup();
            if (position >= 0 && uint64_t(position) >= m_endOffset) {
                position = int64_t(m_fileSize);
                if (m_shared.moveMode(mode, PlayMode::GoToEnd))
                    m_sink.atEnd();
            }
            break;
        case PlayMode::Backward:
        case PlayMode::FastBackward:
            stepGroup();
            stepBackward(record, position, mode);
            break;
        case PlayMode::GoToStart:
            leaveForStart(position);
            break;
        case PlayMode::GoToEnd:
            leaveForEnd(position);
            break;
        case PlayMode::StepBackward:
            // A previous-sector number of 0 is a missing link, not a sector to go to.
            if (h.sectorNumber() != 0 && h.previousSectorNumber() != 0 &&
                h.sectorNumber() >= h.previousSectorNumber())
                position = linkedPosition(record);
            else
                position =
                    int64_t(record.headerPosition) - ((2 * int64_t(h.pictureLength) - 1) & kSectorMask);
            stepOneRecord(mode);
            break;
        case PlayMode::StepForward:
            stepOneRecord(mode);
            break;
        case PlayMode::Seek:
            position = seekTarget(m_shared.sliderPosition.load(), m_fileSize);
            m_shared.moveMode(PlayMode::Seek, PlayMode::StepBackward);
            m_groupCounter = 0;
            break;
        case PlayMode::Pause:
            break;
    }
    noteRequests();
}

void PlayerEngine::leaveForStart(int64_t& position) {
    m_shared.moveMode(PlayMode::GoToStart, PlayMode::StepForward);
    position = kDataStart;
    m_groupCounter = 0;
}

void PlayerEngine::leaveForEnd(int64_t& position) {
    position = int64_t(m_endOffset);
    m_shared.moveMode(PlayMode::GoToEnd, PlayMode::StepBackward);
    m_groupCounter = 0;
}

void PlayerEngine::afterDroppedRecord(const media::RecordContext& record, int64_t& position) {
    takeRecord(*record.header);
    const media::BackupHeader& h = *record.header;
    const PlayMode mode = m_shared.mode();
    if (mode != PlayMode::Backward && mode != PlayMode::FastBackward)
        m_backwardRunHeader = -1;
    switch (mode) {
        case PlayMode::Backward:
        case PlayMode::FastBackward:
            stepBackward(record, position, mode);
            break;
        case PlayMode::StepBackward:
            if (h.previousSectorNumber() != 0 && h.previousSectorNumber() < h.sectorNumber())
                position = linkedPosition(record);
            else
                position = int64_t(record.headerPosition) - 131072;
            break;
        case PlayMode::GoToStart:
            // Any record will do to leave for the start.
            leaveForStart(position);
            break;
        case PlayMode::GoToEnd:
            // Any record will do to leave for the end offset (the last part of a file may hold sound only).
            leaveForEnd(position);
            break;
        default:
            break;  // forward modes search on after the record
    }
    noteRequests();
}

void PlayerEngine::advance(const media::RecordContext& record, int64_t& position) {
    takeRecord(*record.header);
    if (m_options.paced && m_groupCounter == 0 && !m_shared.soundOn.load())
        pace(record, position, m_shared.mode());

    const PlayMode mode = m_shared.mode();
    const bool backward = mode == PlayMode::Backward || mode == PlayMode::FastBackward;
    if (position < kDataStart) {
        // Before the record area: backward play has reached the start; a step stops at the first record.
        if (backward && m_shared.moveMode(mode, PlayMode::GoToStart))
            m_sink.atStart();
        position = kDataStart;
    } else if (uint64_t(position) > m_fileSize) {
        if (backward) {
            if (m_shared.moveMode(mode, PlayMode::GoToStart))
                m_sink.atStart();
            position = kDataStart;
        } else {
            if (m_shared.moveMode(mode, PlayMode::GoToEnd))
                m_sink.atEnd();
            position = int64_t(m_fileSize);
        }
    }
    switch (m_shared.mode()) {
        case PlayMode::Forward:
        case PlayMode::FastForward:
        case PlayMode::GoToStart:
        case PlayMode::GoToEnd:
        case PlayMode::StepForward:
        case PlayMode::StepBackward:
            setSliderFrom(position);
            break;
        default:
            break;
    }
}

void PlayerEngine::pace(const media::RecordContext& record, int64_t& position, PlayMode mode) {
    const bool forward = mode == PlayMode::Forward || mode == PlayMode::FastForward;
    const bool backward = mode == PlayMode::Backward || mode == PlayMode::FastBackward;
    if (forward || backward) {
        if (m_clockReset) {
            restart(m_groupClock, m_groupClockSeconds);
            m_clockReset = false;
            m_groupClockSeconds = m_displayTimeSeconds;
            m_backwardCountdownSeconds = m_displayTimeSeconds;
            delayWait();
            return;
        }
        const int groupSize = this->groupSize();
        const int64_t recordBytes = int64_t(record.recordSize) * 512;
        const int speed = m_shared.speedIndex.load();
        m_backwardCountdownSeconds -= elapsed(m_waitClock);
        m_groupClockSeconds = elapsed(m_groupClock);
        m_pacingSleepMs = 0;
        if (mode == PlayMode::FastBackward)
            m_backwardCountdownSeconds -= double(fastBackwardOffsetSeconds(speed)) / groupSize;
        if (mode == PlayMode::FastForward) {
            const int factor = hasFourfoldFastForward(record.header->layoutCode) ? 4 : 1;
            m_groupClockSeconds += double(fastForwardOffsetSeconds(speed) * factor) / groupSize;
        }
        if (forward) {
            if (m_displayTimeSeconds > m_groupClockSeconds) {
                m_pacingSleepMs = (m_displayTimeSeconds - m_groupClockSeconds) * 1000;
            } else {
                // Late: whole groups are skipped, as many as field periods went by.
                const int64_t lateMs = int64_t((m_groupClockSeconds - m_displayTimeSeconds) * 1000);
                const int64_t skipped = ((lateMs / m_fieldPeriodMs) / groupSize) * groupSize * recordBytes;
                // Less than a group late, or a record of no size: nothing is skipped and the record's
                // own next position stands (back at its header it would be read again, for ever).
                if (skipped > 0)
                    position = int64_t(record.headerPosition) + skipped;
                delayWait();
                return;
            }
        } else {
            if (m_backwardCountdownSeconds > m_displayTimeSeconds) {
                m_pacingSleepMs = (m_backwardCountdownSeconds - m_displayTimeSeconds) * 1000;
                m_backwardCountdownSeconds = m_displayTimeSeconds;
            } else {
                const int64_t lateFields = std::llabs(int64_t(
                    (m_displayTimeSeconds - m_backwardCountdownSeconds) * 1000 / (1000.0 / m_fieldRateHz)));
                const int64_t skipped = (lateFields / groupSize) * groupSize * recordBytes;
                // The skip only ever goes further back than the backward rule's own position (the
                // previous record): counted in this record's sizes from its header, a short skip can
                // land inside the previous record's data, where the scan finds this header again and
                // the same late record comes back for ever.
                if (skipped > 0)
                    position = std::min(position, int64_t(record.headerPosition) - skipped);
            }
            setSliderFrom(position);
        }
        const bool longGapUndelayed = m_pacingSleepMs > 1000 && m_shared.delayIndex.load() == 1;
        if (!longGapUndelayed && m_pacingSleepMs != 0)
            pacingSleep(int64_t(m_pacingSleepMs / groupSize));
    }
    delayWait();
}

void PlayerEngine::delayWait() {
    restart(m_delayClock, 0);
    // Per group of records; an ungrouped file waits per record.
    m_delayWaitSeconds = delayValue(m_shared.delayIndex.load()) * (1.0 / m_fieldRateHz) * groupSize();
    // Up to 32 x 255 / 50 s per group: the window's next request ends it.
    while (elapsed(m_delayClock) < m_delayWaitSeconds && !requested()) {
        m_shared.waiting.store(true);
        m_clock.sleepMs(1);
    }
    m_shared.waiting.store(false);
    restart(m_waitClock, 0);
}

void PlayerEngine::pacingSleep(int64_t ms) {
    const int64_t endNs = m_clock.nowNs() + ms * 1000000;
    while (m_clock.nowNs() < endNs && !requested())
        m_clock.sleepMs(1);
}

bool PlayerEngine::soundPictureAllowed(const media::RecordContext& record) {
    if (m_skipCounter != 0)
        --m_skipCounter;
    else if (record.header->isSkipReloadPoint())
        m_skipCounter = m_shared.skipIndex.load();
    return m_skipCounter == 0 || m_shared.mode() == PlayMode::Seek;
}

}  // namespace dvr::player
