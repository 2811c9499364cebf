// The bridge's answers to HTTP requests, without sockets: routing,
// authentication, the page, status, metrics, health, snapshots and the
// stream clients of the channel feeds. The HTTP server adapter turns
// HttpRequest/HttpReply into the wire and back.
#pragma once

#include "bridge/BasicAuth.h"
#include "bridge/BridgeConfig.h"
#include "bridge/ChannelFeed.h"
#include "bridge/RecorderLink.h"
#include "bridge/Routing.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dvr::bridge {

// How long a snapshot of a channel nobody watched waits for its first picture.
inline constexpr int64_t kSnapshotWaitMs = 5000;

struct HttpRequest {
    std::string method;
    std::string path;
    std::optional<std::string> fps;  // the query's fps argument
    std::string authorization;       // the Authorization header, or empty
    std::string ifNoneMatch;         // the If-None-Match header, or empty
    // When the server first handed this request over: a snapshot that waits
    // is handed over again when woken, with the same time.
    int64_t startedMs = 0;
    bool woken = false;  // handed over again after a wait
};

struct HttpReply {
    int status = 200;
    std::string contentType;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    PictureRef picture;                    // the body is this picture's JPEG (snapshots)
    std::shared_ptr<StreamClient> stream;  // the body is this stream (Motion-JPEG)
    // No answer yet: the server holds the request until `wake` runs, then
    // hands it over again.
    bool wait = false;
};

class BridgeCore {
public:
    // `users`: the accounts of --auth, or nothing when no authentication is asked for.
    BridgeCore(const BridgeSettings& settings, std::vector<RecorderLink*> links,
               std::optional<AuthUsers> users);

    // Answers one request at the given times. `wake` is kept when the reply waits.
    HttpReply handle(const HttpRequest& request, int64_t nowMs, int64_t wallMs,
                     const std::function<void()>& wake);

    // Wakes snapshot requests whose wait ran out.
    void tick(int64_t nowMs);
    int64_t nextDueMs() const;
    // Ends every stream and wakes every waiting request (the bridge stops).
    void shutdown();

    // Open stream clients over every recorder.
    size_t streamClients() const;
    // Every recorder link is up.
    bool healthy() const;

    std::string statusJson(int64_t nowMs) const;
    std::string metricsText() const;

    RecorderLink* findRecorder(std::string_view name) const;

private:
    HttpReply plain(int status, std::string line) const;
    // The recorder of a picture route when it serves the route's channel; otherwise nullptr, with
    // `missing` set to the 404 reply that names what is missing.
    RecorderLink* servingLink(const Route& route, HttpReply& missing) const;
    HttpReply snapshot(const Route& route, const HttpRequest& request, int64_t nowMs,
                       const std::function<void()>& wake);
    HttpReply stream(const Route& route, const HttpRequest& request, int64_t nowMs);
    void addCommonHeaders(HttpReply& reply) const;

    const BridgeSettings& m_settings;
    std::vector<RecorderLink*> m_links;
    std::optional<AuthGate> m_auth;
    bool m_stopping = false;
};

// The page at "/": every recorder's channels as live tiles; plain HTML and
// JavaScript with no outside assets.
std::string_view bridgePage();

// ISO 8601 UTC time of Unix milliseconds: "2026-12-09T05:55:00.123Z".
std::string isoTime(int64_t wallMs);

}  // namespace dvr::bridge
