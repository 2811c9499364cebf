// What the bridge is told: the recorders it serves (a config file with one
// section per recorder, or --host/--port for one) and how it serves them
// (listen address, authentication, TLS, client limits). Pure parsing; the
// password is read from a file only when the service starts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dvr::bridge {

inline constexpr uint16_t kDefaultRecorderPort = 50000;
inline constexpr uint16_t kDefaultHttpPort = 8090;
inline constexpr int kDefaultClientTimeoutS = 10;
inline constexpr int kDefaultMaxClients = 64;
inline constexpr int kDefaultJpegQuality = 80;
// The recorder's name when given by --host.
inline constexpr std::string_view kCommandLineRecorderName = "dvr";
inline constexpr size_t kMaxRecorders = 32;
inline constexpr size_t kMaxNameBytes = 32;

struct RecorderConfig {
    std::string name;
    std::string host;
    uint16_t port = kDefaultRecorderPort;
    std::string user = "admin";
    // Where the password is read from: a file, or a credential the service
    // manager hands over (a file of that name in $CREDENTIALS_DIRECTORY).
    // Neither: an empty password.
    std::string passwordFile;
    std::string passwordCredential;
    // Network speed of the live request, 1 to 10; 0: the default for the
    // number of watched channels.
    int requestSpeed = 0;
};

struct BridgeSettings {
    std::vector<RecorderConfig> recorders;
    std::string listenAddress = "127.0.0.1";
    uint16_t httpPort = kDefaultHttpPort;
    std::string authFile;
    bool noAuth = false;
    bool insecurePlainAuth = false;
    std::string tlsCert;
    std::string tlsKey;
    std::string allowOrigin;
    int clientTimeoutS = kDefaultClientTimeoutS;
    int maxClients = kDefaultMaxClients;
    int jpegQuality = kDefaultJpegQuality;
    int watchdogMs = 30000;
};

// A recorder name: 1 to 32 of A-Z a-z 0-9 _ - . and not starting with a dot.
bool validRecorderName(std::string_view name);

// `s` without the blanks (spaces, tabs, carriage returns) at either end: config and users file lines.
std::string_view trimBlanks(std::string_view s);

struct ConfigResult {
    std::vector<RecorderConfig> recorders;
    std::string error;  // "line N: reason"; empty on success
};

// Parses the config file's text: "[name]" sections with "key = value" lines
// (host, port, user, password-file, password-credential, speed); blank lines
// and lines starting with # or ; are skipped.
ConfigResult parseRecorderConfig(std::string_view text);

struct CommandLine {
    BridgeSettings settings;
    bool help = false;
    std::string configFile;  // read by the caller, then parseRecorderConfig()
    std::string error;       // one line; empty on success
};

// Parses the arguments (without the program name). A config file and --host
// exclude each other; one of them is needed unless --help is given.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// Whether an address text names the loopback interface (127.0.0.0/8, ::1,
// "localhost").
bool isLoopbackAddress(std::string_view address);

struct ListenCheck {
    std::string error;    // refuse to start with this line
    std::string warning;  // start, and log this line
};
// The rules for listening: loopback needs nothing; any other address needs
// --auth FILE or --no-auth, and with --auth over plain HTTP also
// --insecure-plain-auth (warned about). TLS needs both certificate and key.
ListenCheck checkListenRules(const BridgeSettings& settings);

// The first line of a password file, without its line end.
std::string passwordFromFileText(std::string_view text);

}  // namespace dvr::bridge
