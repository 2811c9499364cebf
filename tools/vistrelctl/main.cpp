// vistrelctl: a headless recorder client for scripts (info, live snapshots, events).
#include "common/frame/MallocTuning.h"
#include "tools/vistrelctl/PasswordOption.h"
#include "tools/vistrelctl/PlaybackCommand.h"
#include "tools/vistrelctl/PtzJob.h"
#include "tools/vistrelctl/RecorderClient.h"
#ifdef DVR_VISTRELCTL_DDNS
#include "tools/vistrelctl/DdnsMain.h"
#endif

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

namespace {

const char* kUsage =
    "usage: vistrelctl COMMAND --host H --port P [options]\n"
    "commands:\n"
    "  info     log in and print the recorder's version text, protocol level, newer-protocol\n"
    "           flag, channel count, key lock and recording range\n"
    "  live     run the live loop and save each channel's latest picture as DIR/chNN.jpg\n"
    "  events   fetch and print the recorder's event list\n"
    "  ptz      hold one PTZ command during the live loop, release it, print each PTZ packet:\n"
    "           --type T (0..10) [--baud B (0..7, default 3)] [--home DIR] --camera C (0..15)\n"
    "           --command NAME [--hold N pictures, default 3]; NAME is stop, left, right, up, down,\n"
    "           left-up, right-up, right-down, left-down, zoom-in, zoom-out, focus-out, focus-in\n"
    "  playback play the recording from --from, one line per picture; with --out save each\n"
    "           channel's latest picture as DIR/chNN.jpg\n"
    "  ddns     look the recorder's address up at a DDNS service (see vistrelctl ddns --help)\n"
    "options:\n"
    "  --host H           recorder address or host name (required; a name that does not\n"
    "                     resolve within 5 s ends the run)\n"
    "  --port P           recorder TCP port (default 50000)\n"
    "  --user U           user ID (default \"admin\")\n"
    "  --password W       password (default empty); other users of the machine may see it\n"
    "                     while the program starts: prefer --password-file\n"
    "  --password-file F  read the password from the first line of F (- reads standard input)\n"
    "  --json             print one JSON object\n"
    "  --timeout S        give up after S seconds in all (default: only the 30-60 s watchdog)\n"
    "live options:\n"
    "  --layout 1|4|9|16  panes of the displayed-channel mask and pacing value (default 16)\n"
    "  --first N          first channel, 0-based (default 0)\n"
    "  --speed S          network speed 1..10 (default: the layout's)\n"
    "  --frames N         stop after N pictures\n"
    "  --seconds S        stop after S seconds\n"
    "  --out DIR          folder for the chNN.jpg files (required)\n"
    "playback options (also --frames, --seconds, --out):\n"
    "  --from T           start time \"YYYY-MM-DD HH:MM:SS\" (required)\n"
    "  --reverse          play backwards\n"
    "  --fast             fast play (forward or, with --reverse, backward)\n"
    "  --speed S          speed of fast play (default 3)\n"
    "  --help             show this text\n";

[[noreturn]] void usageError(const std::string& message) {
    std::cerr << "vistrelctl: " << message << " (see --help)\n";
    std::exit(2);
}

// A week: longer than any run of the tool is meant to last.
constexpr double kMaxSeconds = 7 * 24 * 3600;
constexpr long kMaxInt = 2147483647;

// The command's exit status, unless its output could not be written (a full disk, a closed pipe): then
// the run failed, whatever the command found.
int withOutputChecked(int status) {
    std::cout.flush();
    if (status == 0 && !std::cout) {
        std::cerr << "vistrelctl: cannot write the output\n";
        return 1;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace dvr;
    if (argc < 2)
        usageError("missing command");
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "ptz") {
        std::signal(SIGPIPE, SIG_IGN);
        return withOutputChecked(ctl::ptzMain(argc, argv, std::cout, std::cerr));
    }
#ifdef DVR_VISTRELCTL_DDNS
    if (command == "ddns")
        return ctl::runDdnsSubcommand(argc, argv);
#endif
    if (command != "info" && command != "live" && command != "events" && command != "playback")
        usageError("unknown command: " + command);
    ctl::ClientOptions options;
    ctl::PlaybackOptions playbackOptions;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usageError("missing value for " + arg);
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--host") {
            options.host = value();
        } else if (arg == "--port") {
            options.port = static_cast<uint16_t>(ctl::parseInteger(std::cerr, arg, value(), 1, 65535));
        } else if (arg == "--user") {
            options.user = value();
        } else if (arg == "--password") {
            options.password = value();
            ctl::blankArgument(argv[i]);
        } else if (arg == "--password-file") {
            std::string error;
            const std::optional<std::string> password = ctl::readPasswordFile(value(), std::cin, error);
            if (!password) {
                std::cerr << "vistrelctl: " << error << "\n";
                return 1;
            }
            options.password = *password;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--timeout") {
            options.timeoutSeconds = ctl::parseSeconds(std::cerr, arg, value(), kMaxSeconds);
        } else if (arg == "--layout") {
            options.layout = static_cast<int>(ctl::parseInteger(std::cerr, arg, value(), 0, kMaxInt));
        } else if (arg == "--first") {
            options.first = static_cast<int>(ctl::parseInteger(std::cerr, arg, value(), 0, kMaxInt));
        } else if (arg == "--speed") {
            options.speed = static_cast<int>(ctl::parseInteger(std::cerr, arg, value(), 1, 10));
        } else if (arg == "--frames") {
            options.frames = static_cast<int>(ctl::parseInteger(std::cerr, arg, value(), 0, kMaxInt));
        } else if (arg == "--seconds") {
            options.seconds = ctl::parseSeconds(std::cerr, arg, value(), kMaxSeconds);
        } else if (arg == "--out") {
            options.outDir = value();
        } else if (command == "playback" && arg == "--from") {
            playbackOptions.from = value();
        } else if (command == "playback" && arg == "--reverse") {
            playbackOptions.reverse = true;
        } else if (command == "playback" && arg == "--fast") {
            playbackOptions.fast = true;
        } else {
            usageError("unknown option: " + arg);
        }
    }
    if (options.host.empty())
        usageError("--host is required");
    std::signal(SIGPIPE, SIG_IGN);
    frame::tuneHeapForPictureDecoding();
    if (command == "info")
        return withOutputChecked(ctl::runInfo(options, std::cout, std::cerr));
    if (command == "playback") {
        playbackOptions.client = options;
        if (options.speed > 0)
            playbackOptions.speed = options.speed;
        return withOutputChecked(ctl::runPlayback(playbackOptions, std::cout, std::cerr));
    }
    if (command == "live")
        return withOutputChecked(ctl::runLive(options, std::cout, std::cerr));
    return withOutputChecked(ctl::runEvents(options, std::cout, std::cerr));
}
