#include "bridge/BridgeCore.h"

#include <cstdio>
#include <ctime>

namespace dvr::bridge {

namespace {

std::string etagOf(const Picture& p) {
    return "\"" + std::to_string(p.wallMs) + "-" + std::to_string(p.sequence) + "\"";
}

// "Tue, 09 Dec 2026 05:55:00 GMT"
std::string httpDate(int64_t wallMs) {
    const time_t seconds = static_cast<time_t>(wallMs / 1000);
    tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

std::string fixed1(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

std::string fixed6(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", v);
    return text;
}

}  // namespace

std::string isoTime(int64_t wallMs) {
    const time_t seconds = static_cast<time_t>(wallMs / 1000);
    tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(wallMs % 1000));
    return text;
}

BridgeCore::BridgeCore(const BridgeSettings& settings, std::vector<RecorderLink*> links,
                       std::optional<AuthUsers> users)
    : m_settings(settings), m_links(std::move(links)) {
    if (users)
        m_auth.emplace(std::move(*users));
}

RecorderLink* BridgeCore::findRecorder(std::string_view name) const {
    for (RecorderLink* link : m_links)
        if (link->name() == name)
            return link;
    return nullptr;
}

void BridgeCore::addCommonHeaders(HttpReply& reply) const {
    reply.headers.emplace_back("X-Content-Type-Options", "nosniff");
    if (!m_settings.allowOrigin.empty())
        reply.headers.emplace_back("Access-Control-Allow-Origin", m_settings.allowOrigin);
}

HttpReply BridgeCore::plain(int status, std::string line) const {
    HttpReply reply;
    reply.status = status;
    reply.contentType = "text/plain; charset=utf-8";
    reply.body = std::move(line) + "\n";
    reply.headers.emplace_back("Cache-Control", "no-store");
    addCommonHeaders(reply);
    return reply;
}

size_t BridgeCore::streamClients() const {
    size_t n = 0;
    for (const RecorderLink* link : m_links)
        for (int c = 0; c < kChannels; ++c)
            n += link->feed(c).clientCount();
    return n;
}

bool BridgeCore::healthy() const {
    for (const RecorderLink* link : m_links)
        if (!link->up())
            return false;
    return true;
}

HttpReply BridgeCore::handle(const HttpRequest& request, int64_t nowMs, int64_t /*wallMs*/,
                             const std::function<void()>& wake) {
    if (m_stopping)
        return plain(503, "the bridge is stopping");
    if (m_auth && !m_auth->allows(request.authorization, nowMs)) {
        HttpReply reply = plain(401, "authentication required");
        reply.headers.emplace_back("WWW-Authenticate", "Basic realm=\"vistrel-bridge\", charset=\"UTF-8\"");
        return reply;
    }
    const Route r = route(request.method, request.path, request.fps ? request.fps->c_str() : nullptr);
    switch (r.endpoint) {
        case Endpoint::MethodNotAllowed: {
            HttpReply reply = plain(405, r.reason);
            reply.headers.emplace_back("Allow", "GET, HEAD");
            return reply;
        }
        case Endpoint::BadRequest:
            return plain(400, r.reason);
        case Endpoint::NotFound:
            return plain(404, r.reason);
        case Endpoint::Page: {
            HttpReply reply;
            reply.contentType = "text/html; charset=utf-8";
            reply.body = std::string(bridgePage());
            reply.headers.emplace_back("Cache-Control", "no-store");
            // The page loads nothing from elsewhere, and may not.
            reply.headers.emplace_back(
                "Content-Security-Policy",
                "default-src 'self'; img-src 'self'; style-src 'unsafe-inline'; "
                "script-src 'unsafe-inline'; connect-src 'self'; frame-ancestors 'none'");
            addCommonHeaders(reply);
            return reply;
        }
        case Endpoint::Status: {
            HttpReply reply;
            reply.contentType = "application/json";
            reply.body = statusJson(nowMs);
            reply.headers.emplace_back("Cache-Control", "no-store");
            addCommonHeaders(reply);
            return reply;
        }
        case Endpoint::Metrics: {
            HttpReply reply;
            reply.contentType = "text/plain; version=0.0.4; charset=utf-8";
            reply.body = metricsText();
            reply.headers.emplace_back("Cache-Control", "no-store");
            addCommonHeaders(reply);
            return reply;
        }
        case Endpoint::Health:
            return healthy() ? plain(200, "ok") : plain(503, "a recorder link is down");
        case Endpoint::Snapshot:
            return snapshot(r, request, nowMs, wake);
        case Endpoint::Stream:
            return stream(r, request, nowMs);
    }
    return plain(404, "not found");
}

RecorderLink* BridgeCore::servingLink(const Route& r, HttpReply& missing) const {
    RecorderLink* link = findRecorder(r.recorder);
    if (!link) {
        missing = plain(404, "no recorder named " + r.recorder);
        return nullptr;
    }
    if (!link->served(r.channel - 1)) {
        missing = plain(404, "no channel " + std::to_string(r.channel) + " on " + r.recorder);
        return nullptr;
    }
    return link;
}

HttpReply BridgeCore::snapshot(const Route& r, const HttpRequest& request, int64_t nowMs,
                               const std::function<void()>& wake) {
    HttpReply missing;
    RecorderLink* link = servingLink(r, missing);
    if (!link)
        return missing;
    const int c = r.channel - 1;
    ChannelFeed& feed = link->feed(c);
    const bool wasWatched = feed.watched(nowMs);
    feed.noteSnapshotInterest(nowMs);
    link->setTime(nowMs, link->wallMs());
    if (!wasWatched)
        link->watchChanged();
    // A channel nobody watched has only an old picture, if any, and a woken
    // request waits for one that came after it: either wants a fresh picture.
    // So does any request while the recorder is down: its last picture is not
    // served as a current one however often it is asked for.
    const bool needFresh = request.woken || !wasWatched || !link->up();
    const PictureRef& latest = feed.latest();
    if (!latest || (needFresh && feed.lastPublishMs() < request.startedMs)) {
        if (nowMs < request.startedMs + kSnapshotWaitMs) {
            feed.addWaiter(request.startedMs + kSnapshotWaitMs, wake);
            HttpReply reply;
            reply.wait = true;
            return reply;
        }
        if (!link->up())
            return plain(503, "recorder " + r.recorder + " is not connected");
        return plain(503, "no picture of channel " + std::to_string(r.channel) + " within 5 s");
    }
    const PictureRef picture = feed.latest();
    const std::string etag = etagOf(*picture);
    if (!request.ifNoneMatch.empty() && request.ifNoneMatch == etag) {
        HttpReply reply;
        reply.status = 304;
        reply.headers.emplace_back("ETag", etag);
        addCommonHeaders(reply);
        return reply;
    }
    HttpReply reply;
    reply.contentType = "image/jpeg";
    reply.picture = picture;
    reply.headers.emplace_back("Last-Modified", httpDate(picture->wallMs));
    reply.headers.emplace_back("ETag", etag);
    reply.headers.emplace_back("X-Timestamp", timestampText(picture->wallMs));
    reply.headers.emplace_back("Cache-Control", "no-cache");
    addCommonHeaders(reply);
    if (request.method != "HEAD")
        feed.snapshotBytesOut += picture->jpeg.size();
    return reply;
}

HttpReply BridgeCore::stream(const Route& r, const HttpRequest& request, int64_t nowMs) {
    HttpReply missing;
    RecorderLink* link = servingLink(r, missing);
    if (!link)
        return missing;
    const int c = r.channel - 1;
    if (streamClients() >= static_cast<size_t>(m_settings.maxClients))
        return plain(503, "too many clients (at most " + std::to_string(m_settings.maxClients) + ")");
    HttpReply reply;
    reply.contentType = "multipart/x-mixed-replace;boundary=" + std::string(kPartBoundary);
    reply.headers.emplace_back("Cache-Control", "no-store");
    addCommonHeaders(reply);
    if (request.method == "HEAD")
        return reply;
    reply.stream = std::make_shared<StreamClient>(r.fps > 0 ? 1000 / r.fps : 0);
    ChannelFeed& feed = link->feed(c);
    const bool wasWatched = feed.watched(nowMs);
    feed.attach(*reply.stream, nowMs);
    link->setTime(nowMs, link->wallMs());
    if (!wasWatched)
        link->watchChanged();
    return reply;
}

void BridgeCore::tick(int64_t nowMs) {
    for (RecorderLink* link : m_links)
        for (int c = 0; c < kChannels; ++c)
            link->feed(c).expireWaiters(nowMs);
}

int64_t BridgeCore::nextDueMs() const {
    int64_t next = -1;
    for (const RecorderLink* link : m_links)
        for (int c = 0; c < kChannels; ++c) {
            const int64_t t = link->feed(c).nextWaiterDeadline();
            if (t >= 0 && (next < 0 || t < next))
                next = t;
        }
    return next;
}

void BridgeCore::shutdown() {
    m_stopping = true;
    for (RecorderLink* link : m_links)
        for (int c = 0; c < kChannels; ++c)
            link->feed(c).shutdown();
}

std::string BridgeCore::statusJson(int64_t nowMs) const {
    std::string out = "{\"recorders\":[";
    bool firstRecorder = true;
    for (const RecorderLink* link : m_links) {
        out += firstRecorder ? "" : ",";
        firstRecorder = false;
        // Names are restricted to characters that need no escaping.
        out += "{\"name\":\"" + link->name() + "\",\"link\":\"" + (link->up() ? "up" : "down") +
               "\",\"channels\":[";
        bool firstChannel = true;
        for (int c = 0; c < link->channelCount() && c < kChannels; ++c) {
            if (!link->served(c))
                continue;
            const ChannelFeed& feed = link->feed(c);
            const PictureRef& p = feed.latest();
            out += firstChannel ? "" : ",";
            firstChannel = false;
            out += "{\"channel\":" + std::to_string(c + 1) +
                   ",\"width\":" + std::to_string(p ? p->width : 0) +
                   ",\"height\":" + std::to_string(p ? p->height : 0) +
                   ",\"picturesPerSecond\":" + fixed1(feed.picturesPerSecond(nowMs)) +
                   ",\"lastPictureTime\":" + (p ? "\"" + isoTime(p->wallMs) + "\"" : std::string("null")) +
                   ",\"clients\":" + std::to_string(feed.clientCount()) + "}";
        }
        out += "]}";
    }
    out += "]}\n";
    return out;
}

std::string BridgeCore::metricsText() const {
    std::string out;
    auto family = [&](std::string_view name, std::string_view type, std::string_view help) {
        out += "# HELP " + std::string(name) + " " + std::string(help) + "\n# TYPE " + std::string(name) +
               " " + std::string(type) + "\n";
    };
    auto recorderLabel = [](const RecorderLink* link) { return "{recorder=\"" + link->name() + "\"}"; };
    auto channelLabel = [](const RecorderLink* link, int c) {
        return "{recorder=\"" + link->name() + "\",channel=\"" + std::to_string(c + 1) + "\"}";
    };
    // Channels listed: those served, or every one before the first log-in told how many there are.
    auto forEachChannel = [&](const std::function<void(const RecorderLink*, int)>& f) {
        for (const RecorderLink* link : m_links)
            for (int c = 0; c < kChannels; ++c)
                if (link->served(c))
                    f(link, c);
    };

    family("vistrel_bridge_link_up", "gauge", "Whether the recorder link is logged in (1) or not (0).");
    for (const RecorderLink* link : m_links)
        out += "vistrel_bridge_link_up" + recorderLabel(link) + (link->up() ? " 1\n" : " 0\n");
    family("vistrel_bridge_reconnects_total", "counter", "Connection attempts after the first.");
    for (const RecorderLink* link : m_links)
        out += "vistrel_bridge_reconnects_total" + recorderLabel(link) + " " +
               std::to_string(link->reconnects()) + "\n";
    family("vistrel_bridge_decode_seconds_total", "counter", "Time spent decoding the recorder's pictures.");
    for (const RecorderLink* link : m_links)
        out += "vistrel_bridge_decode_seconds_total" + recorderLabel(link) + " " +
               fixed6(link->decodeSeconds()) + "\n";
    family("vistrel_bridge_pictures_in_total", "counter", "Pictures of the channel encoded for its clients.");
    forEachChannel([&](const RecorderLink* link, int c) {
        out += "vistrel_bridge_pictures_in_total" + channelLabel(link, c) + " " +
               std::to_string(link->feed(c).picturesIn) + "\n";
    });
    family("vistrel_bridge_encode_seconds_total", "counter",
           "Time spent encoding the channel's pictures as JPEG.");
    forEachChannel([&](const RecorderLink* link, int c) {
        out += "vistrel_bridge_encode_seconds_total" + channelLabel(link, c) + " " +
               fixed6(link->feed(c).encodeSeconds) + "\n";
    });
    family("vistrel_bridge_clients", "gauge", "Open Motion-JPEG streams of the channel.");
    forEachChannel([&](const RecorderLink* link, int c) {
        out += "vistrel_bridge_clients" + channelLabel(link, c) + " " +
               std::to_string(link->feed(c).clientCount()) + "\n";
    });
    family("vistrel_bridge_bytes_out_total", "counter", "Picture bytes sent to the channel's clients.");
    forEachChannel([&](const RecorderLink* link, int c) {
        out += "vistrel_bridge_bytes_out_total" + channelLabel(link, c) + " " +
               std::to_string(link->feed(c).bytesOut()) + "\n";
    });
    family("vistrel_bridge_dropped_pictures_total", "counter",
           "Pictures a slow client skipped because a newer one replaced them.");
    forEachChannel([&](const RecorderLink* link, int c) {
        out += "vistrel_bridge_dropped_pictures_total" + channelLabel(link, c) + " " +
               std::to_string(link->feed(c).droppedForSlowClients()) + "\n";
    });
    return out;
}

}  // namespace dvr::bridge
