#include "tools/vistrelctl/DdnsMain.h"

#include <QCoreApplication>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>

#include "viewer/setup/net/DdnsCommand.h"

namespace dvr::ctl {

namespace {

const char* kDdnsUsage =
    "usage: vistrelctl ddns --template T --member M --name N [--json] [--timeout S]\n"
    "  looks the recorder's address up at a DDNS service and prints ADDRESS:PORT\n"
    "  --template T   request address; every [0] becomes the member ID, every [1] the name\n"
    "  --member M     member ID\n"
    "  --name N       recorder name\n"
    "  --json         print {\"address\": A, \"port\": P, \"url\": U}\n"
    "  --timeout S    give up after S seconds (default 10)\n";

[[noreturn]] void usageError(const std::string& message) {
    std::cerr << "vistrelctl ddns: " << message << " (see --help)\n";
    std::exit(2);
}

}  // namespace

int runDdnsSubcommand(int argc, char** argv) {
    setup::DdnsCommandOptions options;
    bool haveTemplate = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usageError("missing value for " + arg);
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::cout << kDdnsUsage;
            return 0;
        } else if (arg == "--template") {
            options.urlTemplate = value();
            haveTemplate = true;
        } else if (arg == "--member") {
            options.memberId = value();
        } else if (arg == "--name") {
            options.name = value();
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--timeout") {
            const std::string text = value();
            char* end = nullptr;
            errno = 0;
            const double seconds = std::strtod(text.c_str(), &end);
            // Not a number ("nan"), or less than a millisecond, would leave the lookup without its time
            // limit.
            if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(seconds) || seconds < 0.001 ||
                seconds > 3600) {
                usageError("bad value for --timeout: " + text);
            }
            options.timeoutMs = static_cast<int>(std::lround(seconds * 1000));
        } else {
            usageError("unknown option: " + arg);
        }
    }
    if (!haveTemplate) {
        usageError("--template is required");
    }
    QCoreApplication application(argc, argv);
    return setup::runDdnsCommand(options, std::cout, std::cerr);
}

}  // namespace dvr::ctl
