#pragma once

#include <cstdint>
#include <functional>

#include "player/media/PlaybackClock.h"
#include "player/media/PlaybackRules.h"
#include "player/media/PlaybackShared.h"
#include "player/media/PlaybackSink.h"

namespace dvr::player {

// The player engine: where the playback thread reads next after each record and how long it waits. It
// runs on the playback thread; the window only sets the play mode and the speed and delay indices in the
// shared words.
class PlayerEngine final : public media::PlaybackRules {
public:
    struct Options {
        // Unpaced, the engine never waits: every record is read in turn (the command-line tool and
        // benchmarks); the modes, steps and clamping stay the same.
        bool paced = true;
    };

    PlayerEngine(media::PlaybackShared& shared, media::PlaybackSink& sink, media::PlaybackClock& clock)
        : PlayerEngine(shared, sink, clock, Options{}) {}
    PlayerEngine(media::PlaybackShared& shared, media::PlaybackSink& sink, media::PlaybackClock& clock,
                 Options options);

    void begin(uint64_t fileSize, uint64_t endOffset) override;
    void resync() override {
        m_clockReset = true;
        m_backwardRunHeader = -1;
    }
    int64_t seek() override;
    void afterPicture(const media::RecordContext& record, int64_t& position) override;
    void afterDroppedRecord(const media::RecordContext& record, int64_t& position) override;
    void advance(const media::RecordContext& record, int64_t& position) override;
    bool soundPictureAllowed(const media::RecordContext& record) override;

    // State for tests and the window's painting.
    // Called on the playback thread before a step pauses after its group: pictures decoded elsewhere
    // are stored first, so that the pause shows the whole group.
    void setBeforePause(std::function<void()> beforePause) { m_beforePause = std::move(beforePause); }

    int groupCounter() const { return m_groupCounter; }
    int skipCounter() const { return m_skipCounter; }
    double groupSeconds() const { return m_groupClockSeconds; }
    double countdownSeconds() const { return m_backwardCountdownSeconds; }
    double lastDelayWaitSeconds() const { return m_delayWaitSeconds; }
    double pacingSleepMs() const { return m_pacingSleepMs; }

private:
    std::function<void()> m_beforePause;
    // A high-resolution interval clock: a start reading plus an offset in seconds.
    struct IntervalClock {
        int64_t startNs = 0;
        double offsetSeconds = 0;
    };
    double elapsed(const IntervalClock& c) {
        return double(m_clock.nowNs() - c.startNs) / 1e9 + c.offsetSeconds;
    }
    void restart(IntervalClock& c, double offsetSeconds) {
        c.startNs = m_clock.nowNs();
        c.offsetSeconds = offsetSeconds;
    }

    void takeRecord(const media::BackupHeader& header);
    // The records of one group for pacing: an ungrouped file (group byte 0) counts as groups of one.
    int groupSize() const { return m_framesPerGroup > 0 ? m_framesPerGroup : 1; }
    // Modes 1 to 4: the group clock restarts at a group's first record; the group counter moves on.
    void stepGroup();
    // Mode 7 (and mode 8 after its step): one group, then pause.
    void stepOneRecord(media::PlayMode stepping);
    // START: show the first group forwards from the start of the data, then pause.
    void leaveForStart(int64_t& position);
    // END: go to the end offset and show one group backwards, then pause.
    void leaveForEnd(int64_t& position);
    // Modes 2 and 4: back to the previous record, or to the start of the file.
    void stepBackward(const media::RecordContext& record, int64_t& position, media::PlayMode mode);
    void pace(const media::RecordContext& record, int64_t& position, media::PlayMode mode);
    void delayWait();
    // Sleeps `ms` milliseconds in steps of one, ending early once the window asked for something.
    void pacingSleep(int64_t ms);
    // The window's requests as this record's rules left them; the waits of its Advance end when they
    // change.
    void noteRequests() { m_requestsSeen = m_shared.requests(); }
    bool requested() const { return m_shared.requestedSince(m_requestsSeen); }
    bool beyondFile(int64_t position) const { return position < 0 || uint64_t(position) > m_fileSize; }
    void setSliderFrom(int64_t position);

    media::PlaybackShared& m_shared;
    media::PlaybackSink& m_sink;
    media::PlaybackClock& m_clock;
    Options m_options;

    uint64_t m_fileSize = 0;
    uint64_t m_endOffset = 0;

    // Per-record values.
    double m_displayTimeSeconds = 0;
    int m_framesPerGroup = 0;
    int m_fieldRateHz = 60;
    int m_fieldPeriodMs = 16;  // whole milliseconds

    double m_groupClockSeconds = 0;         // the group clock's reading
    double m_backwardCountdownSeconds = 0;  // counts down while playing backwards
    double m_delayWaitSeconds = 0;          // the last delay wait
    double m_pacingSleepMs = 0;             // the sleep the pacing asked for
    media::PlaybackShared::Requests m_requestsSeen;
    int m_groupCounter = 0;
    bool m_clockReset = false;
    // The header position of the record backward play last left, while one backward run lasts (-1:
    // none): backward play meets every record before it.
    int64_t m_backwardRunHeader = -1;
    int m_skipCounter = 0;

    IntervalClock m_groupClock;
    IntervalClock m_waitClock;
    IntervalClock m_delayClock;
};

}  // namespace dvr::player
