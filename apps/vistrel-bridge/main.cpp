// vistrel-bridge: every recorder channel as a Motion-JPEG stream and a JPEG
// snapshot over HTTP, for browsers, media players and video systems.
#include "bridge/BridgeConfig.h"
#include "bridge/http/BridgeService.h"
#include "common/frame/MallocTuning.h"
#include "common/fs/SafeOpen.h"

#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* kUsage =
    "usage: vistrel-bridge (--config FILE | --host ADDR [recorder options]) [options]\n"
    "Serves every channel of one or more recorders over HTTP: a page of live tiles, a\n"
    "Motion-JPEG stream and a JPEG snapshot per channel, status, metrics and health.\n"
    "\n"
    "recorders:\n"
    "  --config FILE          recorders from FILE: one [name] section each, with host, port,\n"
    "                         user, password-file or password-credential, speed\n"
    "  --host ADDR            one recorder, named \"dvr\", at ADDR\n"
    "  --port N               its TCP port (default 50000)\n"
    "  --user NAME            its user (default admin)\n"
    "  --password-file FILE   its password, the first line of FILE\n"
    "  --speed N              network speed of the live request, 1 to 10 (default: by the\n"
    "                         number of watched channels)\n"
    "serving:\n"
    "  --listen ADDR          address to listen on (default 127.0.0.1)\n"
    "  --http-port N          HTTP port (default 8090; 0 = pick one, logged)\n"
    "  --auth FILE            require HTTP Basic authentication: lines user:HASH, HASH a\n"
    "                         crypt(3) hash as mkpasswd makes\n"
    "  --no-auth              serve without authentication on a non-loopback address\n"
    "  --insecure-plain-auth  allow --auth over plain HTTP off loopback (warned about)\n"
    "  --tls-cert FILE        serve HTTPS with this PEM certificate ...\n"
    "  --tls-key FILE         ... and this PEM key\n"
    "  --allow-origin ORIGIN  allow cross-origin reads from ORIGIN (default: none)\n"
    "  --client-timeout S     drop a client that reads nothing for S seconds (default 10)\n"
    "  --max-clients N        streams served at once; more are answered 503 (default 64)\n"
    "  --jpeg-quality Q       JPEG quality 1 to 100 (default 80)\n"
    "  --watchdog-ms MS       recorder session watchdog period (default 30000)\n"
    "  --help                 show this text\n"
    "\n"
    "endpoints: /  /stream/REC/N.mjpeg[?fps=F]  /snapshot/REC/N.jpg  /api/status  /metrics\n"
    "           /healthz   (REC the recorder's name, N the channel 1 to 16)\n"
    "Listening off loopback needs --auth (with TLS, or --insecure-plain-auth) or --no-auth.\n"
    "Logs one line per state change to stderr.\n";

dvr::bridge::BridgeService* g_service = nullptr;

void onSignal(int) {
    if (g_service)
        g_service->requestStop();
}

void logLine(const std::string& line) {
    std::fprintf(stderr, "vistrel-bridge: %s\n", line.c_str());
    std::fflush(stderr);
}

int fail(const std::string& line) {
    logLine(line);
    return 1;
}

// Reads a whole input file (config, password, users, certificate): regular files only, so a FIFO
// cannot hang the start, and at most 1 MiB. False with the reason in `reason`.
bool readFile(const std::string& path, std::string& out, std::string& reason) {
    std::optional<std::string> text = dvr::fs::readInput(path, std::size_t{1} << 20, &reason);
    if (!text)
        return false;
    out = std::move(*text);
    return true;
}

// Reads a file that holds secrets (a password, the users' password hashes, the TLS key) and warns
// when other users can read it too: the service hands such files over as credentials instead.
bool readSecretFile(const std::string& path, std::string& out, std::string& reason) {
    if (!readFile(path, out, reason))
        return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IRGRP | S_IROTH)) != 0)
        logLine("warning: " + path +
                " can be read by other users: keep it to its owner (chmod 600), or hand it over as a "
                "credential");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace dvr::bridge;
    dvr::frame::tuneHeapForPictureDecoding();
    const CommandLine command = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (command.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!command.error.empty())
        return fail(command.error);
    BridgeSettings settings = command.settings;
    if (!command.configFile.empty()) {
        std::string text, reason;
        if (!readFile(command.configFile, text, reason))
            return fail("cannot read " + command.configFile + ": " + reason);
        // Whoever may change the config may point a recorder's section at a host of their own, which
        // is then sent that recorder's user and password.
        struct stat st {};
        if (::stat(command.configFile.c_str(), &st) == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
            logLine("warning: " + command.configFile + " can be changed by other users");
        const ConfigResult config = parseRecorderConfig(text);
        if (!config.error.empty())
            return fail(command.configFile + ": " + config.error);
        settings.recorders = config.recorders;
    }
    const ListenCheck check = checkListenRules(settings);
    if (!check.error.empty())
        return fail(check.error);
    if (!check.warning.empty())
        logLine("warning: " + check.warning);

    std::vector<std::string> passwords;
    for (const RecorderConfig& r : settings.recorders) {
        std::string path = r.passwordFile;
        if (!r.passwordCredential.empty()) {
            const char* dir = std::getenv("CREDENTIALS_DIRECTORY");
            if (!dir || !*dir)
                return fail(r.name + ": password-credential needs the service manager's credentials");
            path = std::string(dir) + "/" + r.passwordCredential;
        }
        std::string text, reason;
        if (!path.empty() && !readSecretFile(path, text, reason))
            return fail(r.name + ": cannot read the password file " + path + ": " + reason);
        passwords.push_back(passwordFromFileText(text));
    }
    std::optional<AuthUsers> users;
    if (!settings.authFile.empty()) {
        std::string text, reason;
        if (!readSecretFile(settings.authFile, text, reason))
            return fail("cannot read " + settings.authFile + ": " + reason);
        AuthUsers parsed = parseAuthUsers(text);
        if (!parsed.error.empty())
            return fail(settings.authFile + ": " + parsed.error);
        users = std::move(parsed);
    }
    HttpServerOptions http;
    http.listenAddress = settings.listenAddress;
    http.port = settings.httpPort;
    http.clientTimeoutS = settings.clientTimeoutS;
    // Room for every stream, the page's snapshot requests and a few probes;
    // beyond it connections are refused at once.
    http.connectionLimit = settings.maxClients * 2 + 64;
    // Off loopback one address cannot take every connection; on loopback the
    // one address is usually a local restreamer serving everybody.
    if (!isLoopbackAddress(settings.listenAddress))
        http.perAddressLimit = settings.maxClients + 16;
    if (!settings.tlsCert.empty()) {
        std::string reason;
        if (!readFile(settings.tlsCert, http.tlsCertPem, reason))
            return fail("cannot read " + settings.tlsCert + ": " + reason);
        if (!readSecretFile(settings.tlsKey, http.tlsKeyPem, reason))
            return fail("cannot read " + settings.tlsKey + ": " + reason);
        // An empty file (not yet provisioned, or cut short while renewed) must not turn HTTPS off.
        if (http.tlsCertPem.empty())
            return fail("cannot read " + settings.tlsCert + ": the file is empty");
        if (http.tlsKeyPem.empty())
            return fail("cannot read " + settings.tlsKey + ": the file is empty");
    }

    std::signal(SIGPIPE, SIG_IGN);
    BridgeService service(settings, std::move(passwords), std::move(users), logLine);
    std::string error;
    if (!service.start(http, error))
        return fail(error);
    g_service = &service;
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    // A stop asked for by a signal ends with status 0; a failed loop with 1, so a service manager
    // restarts the bridge.
    const bool ranToTheEnd = service.run(error);
    g_service = nullptr;
    return ranToTheEnd ? 0 : fail(error);
}
