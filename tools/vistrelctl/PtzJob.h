// vistrelctl ptz: logs in, runs the live loop and drives one PTZ command
// through the same table, command files and state machine as the live
// window: the command is held for a number of live pictures, released, and
// the job ends after the stop phase. Prints every PTZ packet's bytes.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace dvr::ctl {

struct PtzJobOptions {
    std::string host;  // no default: the caller must give one
    uint16_t port = 50000;
    std::string user = "admin";
    std::string password;
    bool json = false;
    int ptzType = -1;            // "Ptz Type" 0..10 (required)
    uint32_t baudRate = 3;       // "Ptz Baudrate" 0..7
    std::string home;            // program folder (PTZ/ and ini/opt.ini); empty: the usual lookup
    std::string userDataFolder;  // per-user fallback for PTZ/; empty: $XDG_DATA_HOME/Vistrel
    int camera = -1;             // 0..15 (required)
    int code = -1;               // 0..12 (required)
    int holdPictures = 3;        // live pictures the command is held for
    double timeoutSeconds = 0;   // whole-run limit (0: only the watchdog)
    int watchdogMs = 30000;
};

// Exit status 0 on success; 1 after one line on `err` when the connection
// fails or the protocol has no commands for the camera.
int runPtz(const PtzJobOptions& options, std::ostream& out, std::ostream& err);

// Parses the options after "ptz" (argv[2] onwards) and runs the job; 2 on a
// usage error.
int ptzMain(int argc, char** argv, std::ostream& out, std::ostream& err);

// A whole number from low to high given to `option`; anything else is a usage error (exit 2).
long parseInteger(std::ostream& err, const std::string& option, const std::string& text, long low, long high);
// A number of seconds given to `option`: finite, from 0 to high; anything else is a usage error (exit 2).
double parseSeconds(std::ostream& err, const std::string& option, const std::string& text, double high);

}  // namespace dvr::ctl
