#pragma once

#include <cstdint>

#include "player/media/BackupFormat.h"

namespace dvr::media {

// The record the playback thread is at, as the play rules see it.
struct RecordContext {
    const BackupHeader* header = nullptr;
    uint64_t headerPosition = 0;  // offset of the record header sector
    uint32_t recordSize = 0;      // sectors after the header
};

// Where the playback thread reads next and how long it waits: the play modes, pacing and clamping.
// Positions are signed so that a step before the start of the file is seen as such.
class PlaybackRules {
public:
    virtual ~PlaybackRules() = default;
    // Thread start: the file's size and the end offset of forward playback; clears the group counter and
    // the sound bookkeeping.
    virtual void begin(uint64_t fileSize, uint64_t endOffset) = 0;
    // The reader resynchronises (every play-mode change): the next paced group restarts the clocks.
    virtual void resync() = 0;
    // Seek mode: the position the slider names; clears the group and skip counters.
    virtual int64_t seek() = 0;
    // After a picture was delivered: the mode's next-position rule.
    virtual void afterPicture(const RecordContext& record, int64_t& position) = 0;
    // After a record was dropped undrawn (too short, too long, no end marker, unreadable): backward
    // modes still step back past it.
    virtual void afterDroppedRecord(const RecordContext& record, int64_t& position) = 0;
    // The Advance state: pacing, then clamping of the position to the file.
    virtual void advance(const RecordContext& record, int64_t& position) = 0;
    // Sound on: the skip counter for a record of the selected channel; true when it is drawn.
    virtual bool soundPictureAllowed(const RecordContext& record) = 0;
};

}  // namespace dvr::media
