#include "bridge/Routing.h"

#include "bridge/BridgeConfig.h"

namespace dvr::bridge {

namespace {

Route notFound(std::string reason) {
    Route r;
    r.endpoint = Endpoint::NotFound;
    r.reason = std::move(reason);
    return r;
}

Route badRequest(std::string reason) {
    Route r;
    r.endpoint = Endpoint::BadRequest;
    r.reason = std::move(reason);
    return r;
}

// "/prefix/REC/N.ext" into recorder and channel; false when the shape is wrong.
bool splitChannelPath(std::string_view rest, std::string_view extension, Route& out) {
    const size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return false;
    const std::string_view name = rest.substr(0, slash);
    std::string_view file = rest.substr(slash + 1);
    if (file.size() <= extension.size() || file.substr(file.size() - extension.size()) != extension)
        return false;
    file.remove_suffix(extension.size());
    if (!validRecorderName(name))
        return false;
    const int channel = parseChannelText(file);
    if (channel == 0)
        return false;
    out.recorder = std::string(name);
    out.channel = channel;
    return true;
}

}  // namespace

int parseChannelText(std::string_view text) {
    if (text.empty() || text.size() > 2 || text.front() == '0')
        return 0;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 16 ? value : 0;
}

Route route(std::string_view method, std::string_view path, const char* fpsArgument) {
    if (method != "GET" && method != "HEAD") {
        Route r;
        r.endpoint = Endpoint::MethodNotAllowed;
        r.reason = "only GET and HEAD are served";
        return r;
    }
    if (path.size() > kMaxPathBytes)
        return badRequest("path too long");
    if (path.empty() || path.front() != '/')
        return badRequest("path must start with /");
    for (char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return badRequest("control character in path");
    }
    if (path == "/" || path == "/index.html")
        return Route{Endpoint::Page, {}, 0, 0, {}};
    if (path == "/api/status")
        return Route{Endpoint::Status, {}, 0, 0, {}};
    if (path == "/metrics")
        return Route{Endpoint::Metrics, {}, 0, 0, {}};
    if (path == "/healthz")
        return Route{Endpoint::Health, {}, 0, 0, {}};

    constexpr std::string_view kStream = "/stream/";
    constexpr std::string_view kSnapshot = "/snapshot/";
    Route r;
    if (path.substr(0, kStream.size()) == kStream) {
        if (!splitChannelPath(path.substr(kStream.size()), ".mjpeg", r))
            return notFound("no such stream: use /stream/RECORDER/CHANNEL.mjpeg with CHANNEL 1 to 16");
        r.endpoint = Endpoint::Stream;
        if (fpsArgument) {
            const std::string_view fps(fpsArgument);
            int value = 0;
            bool ok = !fps.empty() && fps.size() <= 2;
            for (char c : fps) {
                ok = ok && c >= '0' && c <= '9';
                if (ok)
                    value = value * 10 + (c - '0');
            }
            if (!ok || value < 1 || value > kMaxFps)
                return badRequest("fps must be 1 to 60");
            r.fps = value;
        }
        return r;
    }
    if (path.substr(0, kSnapshot.size()) == kSnapshot) {
        if (!splitChannelPath(path.substr(kSnapshot.size()), ".jpg", r))
            return notFound("no such snapshot: use /snapshot/RECORDER/CHANNEL.jpg with CHANNEL 1 to 16");
        r.endpoint = Endpoint::Snapshot;
        return r;
    }
    return notFound("not found");
}

}  // namespace dvr::bridge
