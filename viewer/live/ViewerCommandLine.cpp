#include "viewer/live/ViewerCommandLine.h"

#include <charconv>

namespace dvr::live {

namespace {

std::optional<uint16_t> parsePort(std::string_view text) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, value);
    if (text.empty() || status != std::errc() || stop != end || value < 1 || value > 65535) {
        return std::nullopt;
    }
    return uint16_t(value);
}

}  // namespace

ViewerCommandLine parseViewerCommandLine(const std::vector<std::string>& arguments) {
    ViewerCommandLine line;
    for (size_t i = 0; i < arguments.size() && line.ok(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            line.help = true;
            continue;
        }
        if (argument == "--connect") {
            line.connect = true;
            continue;
        }
        if (argument == "--no-arp-cleanup") {
            line.arpCleanup = false;
            continue;
        }
        std::string name = argument;
        std::optional<std::string> value;
        if (const size_t equals = argument.find('=');
            argument.starts_with("--") && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        if (name != "--home" && name != "--host" && name != "--port") {
            line.error = "unknown option: " + argument;
            break;
        }
        if (!value) {
            if (i + 1 >= arguments.size()) {
                line.error = name + " needs a value";
                break;
            }
            value = arguments[++i];
        }
        if (value->empty()) {
            line.error = name + " needs a value";
        } else if (name == "--home") {
            line.home = *value;
        } else if (name == "--host") {
            line.host = *value;
        } else if (const auto port = parsePort(*value)) {
            line.port = *port;
        } else {
            line.error = "--port needs a number from 1 to 65535: " + *value;
        }
    }
    return line;
}

std::string_view viewerUsage() {
    return "Usage: vistrel [--home DIR] [--host H] [--port P] [--connect] [--no-arp-cleanup]\n"
           "Shows the live pictures of a recorder.\n"
           "\n"
           "  --home DIR   program folder with the skin, ini, PTZ and logo files (default:\n"
           "               $VISTREL_HOME, else the executable's folder when it holds them,\n"
           "               else ../share/vistrel beside it)\n"
           "  --host H     recorder address for this run only (not stored)\n"
           "  --port P     recorder TCP port for this run only (not stored)\n"
           "  --connect    connect at start-up\n"
           "  --no-arp-cleanup\n"
           "               keep the recorder's ARP entry when a connection is dropped\n"
           "  --help       show this text\n"
           "\n"
           "Environment:\n"
           "  VISTREL_DECODE_ON_UI_THREAD=1\n"
           "               decode pictures on the window's thread instead of a worker thread\n";
}

}  // namespace dvr::live
