#include "bridge/BridgeConfig.h"

#include <algorithm>
#include <charconv>

#include <arpa/inet.h>

namespace dvr::bridge {

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

namespace {

// A whole decimal number within [low, high].
std::optional<long> parseNumber(std::string_view text, long low, long high) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high)
        return std::nullopt;
    return value;
}

std::string lineError(size_t line, std::string_view reason) {
    return "line " + std::to_string(line) + ": " + std::string(reason);
}

}  // namespace

bool validRecorderName(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameBytes || name.front() == '.')
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-' || c == '.';
    });
}

ConfigResult parseRecorderConfig(std::string_view text) {
    ConfigResult result;
    size_t lineNumber = 0;
    RecorderConfig* current = nullptr;
    auto finish = [&]() -> bool {
        if (current && current->host.empty()) {
            result.error = "recorder " + current->name + " has no host";
            return false;
        }
        return true;
    };
    while (!text.empty()) {
        ++lineNumber;
        const size_t newline = text.find('\n');
        std::string_view line = trimBlanks(text.substr(0, newline));
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']') {
                result.error = lineError(lineNumber, "a section line ends with ]");
                return result;
            }
            const std::string_view name = trimBlanks(line.substr(1, line.size() - 2));
            if (!validRecorderName(name)) {
                result.error = lineError(lineNumber, "bad recorder name (1 to 32 of A-Z a-z 0-9 _ - .)");
                return result;
            }
            if (std::any_of(result.recorders.begin(), result.recorders.end(),
                            [&](const RecorderConfig& r) { return r.name == name; })) {
                result.error = lineError(lineNumber, "recorder " + std::string(name) + " given twice");
                return result;
            }
            if (result.recorders.size() >= kMaxRecorders) {
                result.error = lineError(lineNumber, "more than 32 recorders");
                return result;
            }
            if (!finish())
                return result;
            result.recorders.push_back(RecorderConfig{});
            current = &result.recorders.back();
            current->name = std::string(name);
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            result.error = lineError(lineNumber, "expected key = value");
            return result;
        }
        if (!current) {
            result.error = lineError(lineNumber, "a key before the first [recorder] section");
            return result;
        }
        const std::string_view key = trimBlanks(line.substr(0, equals));
        const std::string_view value = trimBlanks(line.substr(equals + 1));
        if (key == "host") {
            if (value.empty()) {
                result.error = lineError(lineNumber, "empty host");
                return result;
            }
            current->host = std::string(value);
        } else if (key == "port") {
            const auto port = parseNumber(value, 1, 65535);
            if (!port) {
                result.error = lineError(lineNumber, "port must be 1 to 65535");
                return result;
            }
            current->port = static_cast<uint16_t>(*port);
        } else if (key == "user") {
            current->user = std::string(value);
        } else if (key == "password-file") {
            current->passwordFile = std::string(value);
        } else if (key == "password-credential") {
            if (value.empty() || value.find('/') != std::string_view::npos || value == "." || value == "..") {
                result.error = lineError(lineNumber, "a credential is a plain file name");
                return result;
            }
            current->passwordCredential = std::string(value);
        } else if (key == "speed") {
            const auto speed = parseNumber(value, 1, 10);
            if (!speed) {
                result.error = lineError(lineNumber, "speed must be 1 to 10");
                return result;
            }
            current->requestSpeed = static_cast<int>(*speed);
        } else {
            result.error = lineError(lineNumber, "unknown key " + std::string(key));
            return result;
        }
    }
    if (!finish())
        return result;
    if (result.recorders.empty())
        result.error = "no [recorder] section";
    return result;
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine out;
    BridgeSettings& s = out.settings;
    RecorderConfig single;
    single.name = std::string(kCommandLineRecorderName);
    bool hostGiven = false;
    bool recorderOptionGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                out.error = "missing value for " + arg;
                return std::nullopt;
            }
            return args[++i];
        };
        auto number = [&](long low, long high) -> std::optional<long> {
            const auto text = value();
            if (!text)
                return std::nullopt;
            const auto n = parseNumber(*text, low, high);
            if (!n)
                out.error = arg + " must be " + std::to_string(low) + " to " + std::to_string(high);
            return n;
        };
        if (arg == "--help" || arg == "-h") {
            out.help = true;
            return out;
        } else if (arg == "--config") {
            const auto v = value();
            if (!v)
                return out;
            out.configFile = *v;
        } else if (arg == "--host") {
            const auto v = value();
            if (!v)
                return out;
            single.host = *v;
            hostGiven = true;
        } else if (arg == "--port") {
            const auto n = number(1, 65535);
            if (!n)
                return out;
            single.port = static_cast<uint16_t>(*n);
            recorderOptionGiven = true;
        } else if (arg == "--user") {
            const auto v = value();
            if (!v)
                return out;
            single.user = *v;
            recorderOptionGiven = true;
        } else if (arg == "--password-file") {
            const auto v = value();
            if (!v)
                return out;
            single.passwordFile = *v;
            recorderOptionGiven = true;
        } else if (arg == "--speed") {
            const auto n = number(1, 10);
            if (!n)
                return out;
            single.requestSpeed = static_cast<int>(*n);
            recorderOptionGiven = true;
        } else if (arg == "--listen") {
            const auto v = value();
            if (!v)
                return out;
            s.listenAddress = *v;
        } else if (arg == "--http-port") {
            const auto n = number(0, 65535);
            if (!n)
                return out;
            s.httpPort = static_cast<uint16_t>(*n);
        } else if (arg == "--auth") {
            const auto v = value();
            if (!v)
                return out;
            s.authFile = *v;
        } else if (arg == "--no-auth") {
            s.noAuth = true;
        } else if (arg == "--insecure-plain-auth") {
            s.insecurePlainAuth = true;
        } else if (arg == "--tls-cert") {
            const auto v = value();
            if (!v)
                return out;
            s.tlsCert = *v;
        } else if (arg == "--tls-key") {
            const auto v = value();
            if (!v)
                return out;
            s.tlsKey = *v;
        } else if (arg == "--allow-origin") {
            const auto v = value();
            if (!v)
                return out;
            if (v->empty() || v->find_first_of("\r\n") != std::string::npos) {
                out.error = "bad value for --allow-origin";
                return out;
            }
            s.allowOrigin = *v;
        } else if (arg == "--client-timeout") {
            const auto n = number(1, 3600);
            if (!n)
                return out;
            s.clientTimeoutS = static_cast<int>(*n);
        } else if (arg == "--max-clients") {
            const auto n = number(1, 4096);
            if (!n)
                return out;
            s.maxClients = static_cast<int>(*n);
        } else if (arg == "--jpeg-quality") {
            const auto n = number(1, 100);
            if (!n)
                return out;
            s.jpegQuality = static_cast<int>(*n);
        } else if (arg == "--watchdog-ms") {
            const auto n = number(100, 600000);
            if (!n)
                return out;
            s.watchdogMs = static_cast<int>(*n);
        } else {
            out.error = "unknown option " + arg + " (see --help)";
            return out;
        }
    }
    if (hostGiven && !out.configFile.empty()) {
        out.error = "give either --config FILE or --host ADDR, not both";
        return out;
    }
    if (!hostGiven && recorderOptionGiven) {
        out.error = "--port, --user, --password-file and --speed go with --host";
        return out;
    }
    if (hostGiven) {
        if (single.host.empty()) {
            out.error = "empty --host";
            return out;
        }
        s.recorders.push_back(single);
    } else if (out.configFile.empty()) {
        out.error = "give --config FILE or --host ADDR (see --help)";
    }
    return out;
}

bool isLoopbackAddress(std::string_view address) {
    if (address == "localhost")
        return true;
    const std::string text(address);
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6);
    return false;
}

ListenCheck checkListenRules(const BridgeSettings& s) {
    ListenCheck check;
    if (s.tlsCert.empty() != s.tlsKey.empty()) {
        check.error = "--tls-cert and --tls-key go together";
        return check;
    }
    if (!s.authFile.empty() && s.noAuth) {
        check.error = "give either --auth FILE or --no-auth, not both";
        return check;
    }
    const bool tls = !s.tlsCert.empty();
    if (isLoopbackAddress(s.listenAddress))
        return check;
    if (s.authFile.empty() && !s.noAuth) {
        check.error = "listening on " + s.listenAddress + " needs --auth FILE (or an explicit --no-auth)";
        return check;
    }
    if (!s.authFile.empty() && !tls) {
        if (!s.insecurePlainAuth) {
            check.error = "passwords over plain HTTP on " + s.listenAddress +
                          " need --tls-cert/--tls-key (or --insecure-plain-auth)";
            return check;
        }
        check.warning = "passwords travel in clear text: listening on " + s.listenAddress +
                        " with Basic authentication over plain HTTP";
    }
    return check;
}

std::string passwordFromFileText(std::string_view text) {
    const size_t end = text.find_first_of("\r\n");
    return std::string(text.substr(0, end));
}

}  // namespace dvr::bridge
