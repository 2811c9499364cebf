// Which endpoint an HTTP request names. Pure: the path and the query come
// as the server received them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dvr::bridge {

enum class Endpoint {
    Page,        // "/"
    Stream,      // "/stream/REC/N.mjpeg"
    Snapshot,    // "/snapshot/REC/N.jpg"
    Status,      // "/api/status"
    Metrics,     // "/metrics"
    Health,      // "/healthz"
    NotFound,    // any other path
    BadRequest,  // a path or query we refuse to read
    MethodNotAllowed,
};

inline constexpr size_t kMaxPathBytes = 1024;
inline constexpr int kMaxFps = 60;

struct Route {
    Endpoint endpoint = Endpoint::NotFound;
    std::string recorder;  // Stream and Snapshot
    int channel = 0;       // 1 to 16 as users see it
    int fps = 0;           // ?fps= of a stream: 1 to 60; 0 = uncapped
    std::string reason;    // one line for NotFound and BadRequest
};

// GET and HEAD are served; anything else is MethodNotAllowed. `fpsArgument`
// is the raw value of the query's fps argument, or null when there is none.
Route route(std::string_view method, std::string_view path, const char* fpsArgument);

// The channel number text of a URL: "1" to "16", no sign, no leading zero.
int parseChannelText(std::string_view text);

}  // namespace dvr::bridge
