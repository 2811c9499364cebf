#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dvr::live {

// The viewer's command line: vistrel [--home DIR] [--host H] [--port P] [--connect] [--no-arp-cleanup]
// [--help]. --host and --port replace the stored recorder for this run only; --connect presses Connect at
// start-up; --no-arp-cleanup leaves the recorder's ARP entry alone when a connection is dropped (demos).
struct ViewerCommandLine {
    bool help = false;
    bool connect = false;
    bool arpCleanup = true;
    std::optional<std::string> home;
    std::optional<std::string> host;
    std::optional<uint16_t> port;
    std::string error;  // one line; empty when the command line is valid

    bool ok() const { return error.empty(); }
};

// Parses the arguments after the program name. Options take their value as the next argument or after
// "="; a port must be a decimal number from 1 to 65535.
ViewerCommandLine parseViewerCommandLine(const std::vector<std::string>& arguments);

// The --help text.
std::string_view viewerUsage();

}  // namespace dvr::live
