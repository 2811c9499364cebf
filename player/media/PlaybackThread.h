#pragma once

#include <cstdint>
#include <string>
#include <thread>

#include "player/media/PlaybackClock.h"
#include "player/media/PlaybackRules.h"
#include "player/media/PlaybackShared.h"
#include "player/media/PlaybackSink.h"

namespace dvr::media {

// The playback thread: reads the open backup file record by record through a PlaybackReader until the
// window clears the run flag or a read fails.
class PlaybackThread {
public:
    PlaybackThread(PlaybackShared& shared, PlaybackSink& sink, PlaybackRules& rules, PlaybackClock& clock);
    ~PlaybackThread();
    PlaybackThread(const PlaybackThread&) = delete;
    PlaybackThread& operator=(const PlaybackThread&) = delete;

    struct Params {
        std::string path;
        int channelCount = 16;
        uint64_t endOffset = 0;  // from the opening scan
    };

    // Stops a running thread first, then sets the run flag and starts the thread on the file.
    void start(const Params& params);
    // Clears the run flag and waits for the thread to end, without a time limit.
    void stop();
    // True from start() until stop(), even when the thread ended by itself.
    bool started() const { return m_thread.joinable(); }
    // True once the thread body has returned (a read failure, or stop()).
    bool ended() const { return m_ended.load(); }

private:
    void run(Params params);

    PlaybackShared& m_shared;
    PlaybackSink& m_sink;
    PlaybackRules& m_rules;
    PlaybackClock& m_clock;
    std::thread m_thread;
    std::atomic<bool> m_ended{false};
};

}  // namespace dvr::media
