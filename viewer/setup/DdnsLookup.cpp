#include "viewer/setup/DdnsLookup.h"

#include <algorithm>
#include <cctype>

#include "common/skin/TextCodec.h"

namespace dvr::setup {

namespace {

bool isDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return out;
}

std::optional<UrlParts> fail(UrlError* error, std::string message) {
    if (error) {
        error->message = std::move(message);
    }
    return std::nullopt;
}

bool isIpv4(std::string_view text) {
    int parts = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = text.find('.', start);
        const std::string_view part = text.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (!isDigits(part) || part.size() > 3 || std::stoi(std::string(part)) > 255) {
            return false;
        }
        ++parts;
        if (dot == std::string_view::npos) {
            break;
        }
        start = dot + 1;
    }
    return parts == 4;
}

}  // namespace

std::string DdnsLookup::percentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        }
    }
    return out;
}

std::string DdnsLookup::requestUrl(std::string_view urlTemplate, std::string_view memberId,
                                   std::string_view name) {
    const std::string encodedMember = percentEncode(memberId);
    const std::string encodedName = percentEncode(name);
    std::string out;
    out.reserve(urlTemplate.size() + encodedMember.size() + encodedName.size());
    std::size_t i = 0;
    while (i < urlTemplate.size()) {
        if (urlTemplate.substr(i, 3) == "[0]") {
            out += encodedMember;
            i += 3;
        } else if (urlTemplate.substr(i, 3) == "[1]") {
            out += encodedName;
            i += 3;
        } else {
            out.push_back(urlTemplate[i++]);
        }
    }
    return out;
}

std::optional<UrlParts> DdnsLookup::splitUrl(std::string_view url, UrlError* error) {
    url = trim(url);
    UrlParts parts;
    std::string_view rest = url;
    const std::size_t colon = url.find(':');
    if (colon != std::string_view::npos && colon + 1 < url.size() && url[colon + 1] == '/') {
        parts.schemeText = lower(url.substr(0, colon));
        rest = url.substr(colon + 1);
        while (!rest.empty() && rest.front() == '/') {
            rest.remove_prefix(1);
        }
    } else {
        parts.schemeText = "http";
    }
    if (parts.schemeText == "http") {
        parts.scheme = UrlScheme::Http;
        parts.port = 80;
    } else if (parts.schemeText == "https") {
        parts.scheme = UrlScheme::Https;
        parts.port = 443;
    } else if (parts.schemeText == "ftp") {
        parts.scheme = UrlScheme::Ftp;
        parts.port = 21;
    } else {
        return fail(error, "Unsupported scheme \"" + parts.schemeText + "\" in " + displayUrl(url));
    }

    // The host part ends at the path; a query or fragment straight after the host also ends it.
    const std::size_t pathStart = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, pathStart);
    if (pathStart != std::string_view::npos) {
        parts.path = std::string(rest.substr(pathStart));
        if (parts.path.front() != '/') {
            parts.path.insert(parts.path.begin(), '/');
        }
        if (const std::size_t fragment = parts.path.find('#'); fragment != std::string::npos) {
            parts.path.resize(fragment);
        }
    }
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view userInfo = authority.substr(0, at);
        const std::size_t split = userInfo.find(':');
        parts.user = std::string(userInfo.substr(0, split));
        if (split != std::string_view::npos) {
            parts.password = std::string(userInfo.substr(split + 1));
        }
        authority.remove_prefix(at + 1);
    }
    std::string_view host = authority;
    std::string_view portText;
    if (!host.empty() && host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos) {
            return fail(error, "Bad host in " + displayUrl(url));
        }
        portText = host.substr(close + 1);
        host = host.substr(1, close - 1);
        if (!portText.empty() && portText.front() != ':') {
            return fail(error, "Bad host in " + displayUrl(url));
        }
    } else if (const std::size_t portColon = host.rfind(':'); portColon != std::string_view::npos) {
        portText = host.substr(portColon);
        host = host.substr(0, portColon);
    }
    if (!portText.empty()) {
        const auto port = parsePort(portText.substr(1));
        if (!port) {
            return fail(error, "Bad port in " + displayUrl(url));
        }
        parts.port = *port;
    }
    if (host.empty()) {
        return fail(error, "No host in " + displayUrl(url));
    }
    parts.host = std::string(host);
    return parts;
}

namespace {

// Where the user information of a URL is: [begin, end) covers "user:password@"; empty when none.
struct UserInfoSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
};

UserInfoSpan userInfoOf(std::string_view url) {
    std::size_t start = 0;
    const std::size_t colon = url.find(':');
    if (colon != std::string_view::npos && colon + 1 < url.size() && url[colon + 1] == '/') {
        start = colon + 1;
        while (start < url.size() && url[start] == '/') {
            ++start;
        }
    }
    const std::size_t authorityEnd = std::min(url.find_first_of("/?#", start), url.size());
    const std::size_t at = url.substr(start, authorityEnd - start).rfind('@');
    if (at == std::string_view::npos) {
        return {start, start};
    }
    return {start, start + at + 1};
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return;
    }
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

}  // namespace

std::string DdnsLookup::displayUrl(std::string_view url) {
    const UserInfoSpan info = userInfoOf(url);
    std::string out(url);
    out.erase(info.begin, info.end - info.begin);
    return out;
}

bool DdnsLookup::hasCredentials(std::string_view url) {
    const UserInfoSpan info = userInfoOf(trim(url));
    return info.end > info.begin;
}

bool DdnsLookup::sendsCredentialsInClear(std::string_view url) {
    url = trim(url);
    if (!hasCredentials(url)) {
        return false;
    }
    const std::size_t colon = url.find(':');
    const bool named = colon != std::string_view::npos && colon + 1 < url.size() && url[colon + 1] == '/';
    return !named || lower(url.substr(0, colon)) == "http";
}

std::string DdnsLookup::hideCredentials(std::string_view text, std::string_view url) {
    std::string out(text);
    const UserInfoSpan info = userInfoOf(url);
    if (info.end == info.begin) {
        return out;
    }
    replaceAll(out, url, displayUrl(url));
    const std::string_view userInfo = url.substr(info.begin, info.end - info.begin);
    replaceAll(out, userInfo, "");
    const std::size_t split = userInfo.find(':');
    if (split != std::string_view::npos) {
        const std::string_view password = userInfo.substr(split + 1, userInfo.size() - split - 2);
        replaceAll(out, password, "***");
    }
    return out;
}

std::string_view DdnsLookup::trim(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::optional<int> DdnsLookup::parsePort(std::string_view text) {
    if (!isDigits(text) || text.size() > 5) {
        return std::nullopt;
    }
    const int port = std::stoi(std::string(text));
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    return port;
}

bool DdnsLookup::isValidHost(std::string_view host) {
    if (host.empty() || host.size() > kMaxHostChars) {
        return false;
    }
    const bool numeric = std::all_of(host.begin(), host.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) || c == '.';
    });
    if (numeric) {
        return isIpv4(host) && host != "0.0.0.0";
    }
    std::string_view rest = host;
    if (rest.back() == '.') {
        rest.remove_suffix(1);  // a fully qualified name may end in a dot
    }
    std::size_t start = 0;
    while (start <= rest.size()) {
        const std::size_t dot = std::min(rest.find('.', start), rest.size());
        const std::string_view label = rest.substr(start, dot - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
            return false;
        }
        for (const char c : label) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') {
                return false;
            }
        }
        start = dot + 1;
    }
    return true;
}

LookupAnswer DdnsLookup::judgeAnswer(std::string_view body) {
    const std::string text =
        skin::TextCodec::leftChars(skin::TextCodec::fromWindows1252(trim(body)), kMaxAnswerChars);
    LookupAnswer answer;
    // The service's own words: the body element's text of an HTML page, else the whole answer.
    const auto serviceMessage = [&text]() -> std::string {
        const std::string folded = lower(text);
        const std::size_t open = folded.find("<body>");
        const std::size_t close = open == std::string::npos ? open : folded.find("</body>", open + 6);
        if (close != std::string::npos) {
            const std::string body = skin::TextCodec::leftChars(
                trim(std::string_view(text).substr(open + 6, close - open - 6)), kMaxMessageChars);
            if (!body.empty()) {
                return body;
            }
        }
        return text;
    };
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        answer.message = text.empty() ? "The DDNS service sent an empty answer." : serviceMessage();
        return answer;
    }
    const std::string_view address = std::string_view(text).substr(0, colon);
    const std::string_view port = std::string_view(text).substr(colon + 1);
    if (!isValidHost(address) || !parsePort(port)) {
        answer.message = "The DDNS service did not answer with a valid address and port: " + serviceMessage();
        return answer;
    }
    answer.ok = true;
    answer.address = std::string(address);
    answer.port = std::string(port);
    return answer;
}

}  // namespace dvr::setup
