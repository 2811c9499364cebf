// Feeds arbitrary text to the bridge's parsers of outside input. The first
// byte picks the parser; the rest is split at NUL bytes where a parser takes
// several texts (method, path, fps argument; command-line arguments).
#include "bridge/BasicAuth.h"
#include "bridge/BridgeConfig.h"
#include "bridge/Routing.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::vector<std::string> splitAtNul(std::string_view text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t nul = text.find('\0', start);
        parts.emplace_back(
            text.substr(start, nul == std::string_view::npos ? std::string_view::npos : nul - start));
        if (nul == std::string_view::npos)
            break;
        start = nul + 1;
    }
    return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dvr::bridge;
    if (size == 0)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 5) {
        case 0: {
            const std::vector<std::string> parts = splitAtNul(text);
            const char* fps = parts.size() > 2 ? parts[2].c_str() : nullptr;
            const Route r = route(parts[0], parts.size() > 1 ? parts[1] : std::string(), fps);
            if ((r.endpoint == Endpoint::Stream || r.endpoint == Endpoint::Snapshot) &&
                (r.channel < 1 || r.channel > 16 || !validRecorderName(r.recorder)))
                __builtin_trap();
            break;
        }
        case 1: {
            const auto credentials = parseBasicAuthorization(text);
            if (credentials && credentials->user.find(':') != std::string::npos)
                __builtin_trap();
            break;
        }
        case 2: {
            const ConfigResult config = parseRecorderConfig(text);
            if (config.error.empty() && (config.recorders.empty() || config.recorders.size() > kMaxRecorders))
                __builtin_trap();
            for (const RecorderConfig& r : config.recorders)
                if (config.error.empty() && (!validRecorderName(r.name) || r.host.empty()))
                    __builtin_trap();
            break;
        }
        case 3: {
            const AuthUsers users = parseAuthUsers(text);
            (void)users;
            break;
        }
        case 4: {
            const CommandLine command = parseCommandLine(splitAtNul(text));
            if (command.error.empty() && !command.help) {
                const ListenCheck check = checkListenRules(command.settings);
                (void)check;
            }
            break;
        }
    }
    return 0;
}
