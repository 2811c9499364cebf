#include "tools/vistrelctl/PtzJob.h"
#include "tools/vistrelctl/PasswordOption.h"
#include "tools/vistrelctl/RecorderClient.h"

#include "common/skin/ProgramFolder.h"
#include "viewer/config/SettingsStore.h"
#include "viewer/link/RecorderSession.h"
#include "viewer/link/RecorderSocket.h"
#include "viewer/link/SessionPoller.h"
#include "viewer/ptz/PtzController.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <thread>
#include <vector>

namespace dvr::ctl {

namespace {

using Clock = std::chrono::steady_clock;

struct SentPacket {
    int code;
    std::string hex;
};

std::string hexText(std::span<const uint8_t> bytes) {
    std::string text;
    for (uint8_t b : bytes) {
        char buffer[4];
        std::snprintf(buffer, sizeof buffer, "%02x", b);
        if (!text.empty())
            text += ' ';
        text += buffer;
    }
    return text;
}

// The live window's part in the loop, played by a script: the command is
// pressed before the first live picture's PTZ turn, released after the
// `holdPictures`-th, and the job is done when the stop phase has run out.
class PtzJobHost : public link::LiveHost, public ptz::PtzHost {
public:
    explicit PtzJobHost(const PtzJobOptions& options) : m_options(options) {}

    // --- session host ----------------------------------------------------
    void runViewDisconnect(link::DisconnectReason reason) override {
        if (!ended)
            ended = reason;
        if (session)
            session->disconnect();
        if (controller)
            controller->cancelPause();
        pauseDeadline.reset();
    }
    void afterLivePicture() override {
        if (!controller || done)
            return;
        ++pictures;
        if (pictures == 1)
            controller->pressCode(m_options.code);
        controller->afterLivePicture();
        if (pictures == m_options.holdPictures)
            controller->release();
        // Done once released and the last stop has gone out.
        if (pictures >= m_options.holdPictures &&
            (controller->pending() != ptz::kPendingStopPhase || controller->stopCounter() == 0))
            done = true;
    }
    bool holdLiveRequest() override { return controller && controller->pausing(); }

    // --- PTZ host --------------------------------------------------------
    void sendPtz(int code, std::span<const uint8_t> bytes, uint32_t baudRateCode) override {
        if (session)
            session->sendPtz(bytes, baudRateCode);
        sent.push_back({code, hexText(bytes)});
    }
    void startPauseTimer(int milliseconds) override {
        pauseDeadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    }
    void resumeLiveLoop() override {
        if (session)
            session->releaseLiveRequest();
    }
    void showMessage(const ptz::PtzMessage& message) override {
        messages.push_back(message.text.empty() ? std::string(message.defaultText) : message.text);
    }

    link::RecorderSession* session = nullptr;
    ptz::PtzController* controller = nullptr;
    std::optional<link::DisconnectReason> ended;
    std::optional<Clock::time_point> pauseDeadline;
    int pictures = 0;
    bool done = false;
    std::vector<SentPacket> sent;
    std::vector<std::string> messages;

private:
    const PtzJobOptions& m_options;
};

int failWith(std::ostream& err, const std::string& line) {
    err << "vistrelctl: " << line << "\n";
    return 1;
}

}  // namespace

int runPtz(const PtzJobOptions& options, std::ostream& out, std::ostream& err) {
    if (options.host.empty())
        return failWith(err, "no host given (--host)");
    const std::string home = skin::ProgramFolder::resolve(
        options.home.empty() ? std::nullopt : std::optional<std::string>(options.home),
        skin::ProgramFolder::kViewer);
    ptz::PtzFolders folders{
        home, options.userDataFolder.empty() ? ptz::defaultUserDataFolder() : options.userDataFolder};
    ptz::PtzSettings settings;
    settings.ptzType = options.ptzType;
    settings.baudRateCode = options.baudRate;
    // The stop repeats come from the program folder's opt.ini, as the window reads them.
    config::SettingsStore store(std::string(), home);
    store.readDisplayOptions();
    settings.maxStopCount = store.options().maxStopCount;

    PtzJobHost host(options);
    ptz::PtzController controller(host, folders, settings);
    controller.setCamera(options.camera);
    if (controller.table().at(options.camera, options.code).empty()) {
        std::string line = "PTZ type " + std::to_string(options.ptzType) + " has no " +
                           std::string(ptz::ptzCodeName(options.code)) + " command for camera " +
                           std::to_string(options.camera);
        if (!controller.lastFile().path.empty())
            line += " (" + controller.lastFile().path + ")";
        for (const std::string& m : host.messages)
            line += ": " + m;
        return failWith(err, line);
    }

    link::RecorderSocket socket;
    link::SteadyClock clock;
    link::RecorderSession session(host);
    session.setWatchdogPeriod(std::chrono::milliseconds(options.watchdogMs));
    link::SessionDriver driver(session, socket, clock);
    link::SessionPoller poller(driver, socket);
    host.session = &session;
    host.controller = &controller;
    session.setCredentials(options.user, options.password);
    if (!driver.connect(options.host, options.port))
        return failWith(err, "connection refused: " + options.host + " port " + std::to_string(options.port));

    const auto start = Clock::now();
    std::string error;
    for (;;) {
        if (host.ended) {
            error = disconnectReasonText(*host.ended);
            break;
        }
        if (host.done && !controller.pausing())
            break;
        if (!session.hasSocket()) {
            error = "connection closed";
            break;
        }
        const auto now = Clock::now();
        if (options.timeoutSeconds > 0 &&
            now - start > std::chrono::duration<double>(options.timeoutSeconds)) {
            error = "no answer";
            break;
        }
        // The poll also wakes for the session's watchdog check and gives it the time.
        auto waitUntil = now + std::chrono::milliseconds(100);
        if (host.pauseDeadline)
            waitUntil = std::min(waitUntil, *host.pauseDeadline);
        const int waitMs = static_cast<int>(std::clamp<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(waitUntil - now).count(), 0, 100));
        if (!poller.pollOnce(waitMs)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
            driver.onTime();
        }
        if (host.pauseDeadline && Clock::now() >= *host.pauseDeadline) {
            host.pauseDeadline.reset();
            controller.onPauseElapsed();
        }
    }
    session.disconnect();
    if (!error.empty())
        return failWith(err, error);

    if (options.json) {
        out << "{\"sent\": [";
        for (size_t i = 0; i < host.sent.size(); ++i)
            out << (i ? ", " : "") << "{\"code\": " << host.sent[i].code << ", \"hex\": \""
                << host.sent[i].hex << "\"}";
        out << "]}\n";
    } else {
        for (const SentPacket& p : host.sent)
            out << ptz::ptzCodeName(p.code) << ": " << p.hex << "\n";
    }
    return 0;
}

namespace {

[[noreturn]] void usageError(std::ostream& err, const std::string& message) {
    err << "vistrelctl: " << message << " (see --help)\n";
    std::exit(2);
}

}  // namespace

long parseInteger(std::ostream& err, const std::string& option, const std::string& text, long low,
                  long high) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < low || value > high)
        usageError(err, "bad value for " + option + ": " + text + " (" + std::to_string(low) + " to " +
                            std::to_string(high) + ")");
    return value;
}

double parseSeconds(std::ostream& err, const std::string& option, const std::string& text, double high) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    // Not a number, infinity and values past the bound are refused: a wait on them would never end.
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value) || value < 0 || value > high)
        usageError(err, "bad value for " + option + ": " + text + " (0 to " + std::to_string(long(high)) +
                            " seconds)");
    return value;
}

int ptzMain(int argc, char** argv, std::ostream& out, std::ostream& err) {
    PtzJobOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usageError(err, "missing value for " + arg);
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            out << "usage: vistrelctl ptz --host H --port P --type T [--baud B] [--home DIR] --camera C\n"
                   "                      --command NAME [--hold N] [--user U] [--password W |\n"
                   "                      --password-file F] [--json]\n"
                   "                      [--timeout S]\n"
                   "  T    \"Ptz Type\" 0..10; B \"Ptz Baudrate\" 0..7 (default 3); C camera 0..15\n"
                   "  NAME stop, left, right, up, down, left-up, right-up, right-down, left-down,\n"
                   "       zoom-in, zoom-out, focus-out, focus-in\n"
                   "  N    live pictures the command is held for (default 3); then it is released\n"
                   "       and the job ends after the stop repeats\n";
            return 0;
        } else if (arg == "--host") {
            options.host = value();
        } else if (arg == "--port") {
            options.port = static_cast<uint16_t>(parseInteger(err, arg, value(), 1, 65535));
        } else if (arg == "--user") {
            options.user = value();
        } else if (arg == "--password") {
            options.password = value();
            blankArgument(argv[i]);
        } else if (arg == "--password-file") {
            std::string error;
            const std::optional<std::string> password = readPasswordFile(value(), std::cin, error);
            if (!password) {
                err << "vistrelctl: " << error << "\n";
                return 1;
            }
            options.password = *password;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--type") {
            options.ptzType = static_cast<int>(parseInteger(err, arg, value(), 0, 10));
        } else if (arg == "--baud") {
            options.baudRate = static_cast<uint32_t>(parseInteger(err, arg, value(), 0, 7));
        } else if (arg == "--home") {
            options.home = value();
        } else if (arg == "--camera") {
            options.camera = static_cast<int>(parseInteger(err, arg, value(), 0, ptz::kPtzCameras - 1));
        } else if (arg == "--command") {
            const std::string name = value();
            const auto code = ptz::ptzCodeFromName(name);
            if (!code)
                usageError(err, "unknown PTZ command: " + name);
            options.code = *code;
        } else if (arg == "--hold") {
            options.holdPictures = static_cast<int>(parseInteger(err, arg, value(), 1, 100000));
        } else if (arg == "--timeout") {
            options.timeoutSeconds = static_cast<double>(parseInteger(err, arg, value(), 0, 86400));
        } else {
            usageError(err, "unknown option: " + arg);
        }
    }
    if (options.host.empty())
        usageError(err, "--host is required");
    if (options.ptzType < 0)
        usageError(err, "--type is required");
    if (options.camera < 0)
        usageError(err, "--camera is required");
    if (options.code < 0)
        usageError(err, "--command is required");
    return runPtz(options, out, err);
}

}  // namespace dvr::ctl
