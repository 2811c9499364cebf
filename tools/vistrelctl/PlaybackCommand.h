// vistrelctl playback: plays the recorder's stored pictures from a date and
// time through the playback window's controller and prints one line per
// picture.
#pragma once

#include "tools/vistrelctl/RecorderClient.h"

#include <ostream>
#include <string>

namespace dvr::ctl {

struct PlaybackOptions {
    ClientOptions client;  // host, port, log-in, --json, --frames, --seconds, --out, time-outs
    std::string from;      // "YYYY-MM-DD HH:MM:SS"
    bool reverse = false;
    bool fast = false;
    int speed = 3;  // the fast buttons' speed
};

// Exit status: 0 after N pictures, the time limit, "END OF PLAY" or "STOP
// PLAY IMAGE"; 3 for "NO SEARCH IMAGE" or "INVALID DATE"; 1 for "ERROR", a
// connection failure or a refused log-in (after one line on `err`).
int runPlayback(const PlaybackOptions& options, std::ostream& out, std::ostream& err);

}  // namespace dvr::ctl
