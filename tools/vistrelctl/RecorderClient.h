// The headless client behind vistrelctl: drives a RecorderSession over a
// RecorderSocket with a poll loop and runs one job (recorder info, the live
// loop, the event list), printing text or one JSON object.
#pragma once

#include "viewer/link/SessionHost.h"

#include <cstdint>
#include <ostream>
#include <string>

namespace dvr::ctl {

struct ClientOptions {
    std::string host;  // no default: the caller must give one
    uint16_t port = 50000;
    std::string user = "admin";
    std::string password;
    bool json = false;
    // live
    int layout = 16;     // panes: 1, 4, 9 or 16
    int first = 0;       // first channel
    int speed = 0;       // 0: the layout's default network speed
    int frames = 0;      // stop after this many pictures (0: use seconds)
    double seconds = 0;  // stop after this long
    std::string outDir;
    int jpegQuality = 90;
    // Whole-run limit in seconds (0: none); the watchdog still ends a silent
    // connection after 30 to 60 s.
    double timeoutSeconds = 0;
    int watchdogMs = 30000;
    // How long a host name may take to resolve.
    int lookupTimeoutMs = 5000;
};

// Each returns the exit status: 0 on success, otherwise 1 after writing one
// line to `err` (connection refused, login refused, no answer, ...).
using link::disconnectReasonText;

int runInfo(const ClientOptions& options, std::ostream& out, std::ostream& err);
int runLive(const ClientOptions& options, std::ostream& out, std::ostream& err);
int runEvents(const ClientOptions& options, std::ostream& out, std::ostream& err);

}  // namespace dvr::ctl
