#include "player/view/HandOffRequest.h"

#include <cstdint>

namespace dvr::player {

namespace {

// Well-formed UTF-8: no overlong forms, surrogates or code points above U+10FFFF.
bool isUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07u;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(text[i + k]);
            if ((next & 0xC0u) != 0x80u) {
                return false;
            }
            code = code << 6 | (next & 0x3Fu);
        }
        if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (length == 4 && (code < 0x10000 || code > 0x10FFFF))) {
            return false;
        }
        i += length;
    }
    return true;
}

HandOffRequest refused(std::string reason) {
    return {HandOffStatus::Refused, {}, std::move(reason)};
}

}  // namespace

HandOffRequest parseHandOffRequest(std::string_view received) {
    const std::size_t end = received.find('\n');
    if (end == std::string_view::npos) {
        // A sender that never ends its line is dropped instead of growing the buffer.
        return received.size() > kMaxHandOffRequestBytes ? refused("request too long") : HandOffRequest{};
    }
    if (end > kMaxHandOffRequestBytes) {
        return refused("request too long");
    }
    if (end + 1 != received.size()) {
        return refused("more than one request");
    }
    const std::string_view path = received.substr(0, end);
    if (path.empty() || path.front() != '/') {
        return refused("not an absolute path");
    }
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return refused("control character in the path");
        }
    }
    if (!isUtf8(path)) {
        return refused("path is not UTF-8");
    }
    return {HandOffStatus::Complete, std::string(path), {}};
}

std::string handOffRequestBytes(std::string_view path) {
    std::string bytes(path);
    bytes.push_back('\n');
    return bytes;
}

}  // namespace dvr::player
