#include "bridge/BasicAuth.h"

#include "bridge/BridgeConfig.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include <crypt.h>

namespace dvr::bridge {

namespace {

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

std::optional<std::string> decodeBase64(std::string_view text) {
    if (text.size() % 4 != 0 || text.size() > 4096)
        return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        int v[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + static_cast<size_t>(k)];
            if (c == '=' && i + 4 == text.size() && k >= 2) {
                v[k] = 0;
                ++padding;
                continue;
            }
            if (padding > 0)
                return std::nullopt;  // data after padding
            v[k] = base64Value(c);
            if (v[k] < 0)
                return std::nullopt;
        }
        const uint32_t word =
            (uint32_t(v[0]) << 18) | (uint32_t(v[1]) << 12) | (uint32_t(v[2]) << 6) | uint32_t(v[3]);
        out.push_back(static_cast<char>(word >> 16));
        if (padding < 2)
            out.push_back(static_cast<char>((word >> 8) & 0xFF));
        if (padding < 1)
            out.push_back(static_cast<char>(word & 0xFF));
    }
    return out;
}

}  // namespace

AuthUsers parseAuthUsers(std::string_view text) {
    AuthUsers users;
    size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const size_t newline = text.find('\n');
        const std::string_view line = trimBlanks(text.substr(0, newline));
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (line.empty() || line.front() == '#')
            continue;
        const size_t colon = line.find(':');
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        if (colon == std::string_view::npos || colon == 0) {
            users.error = where + "expected user:HASH";
            return users;
        }
        const std::string_view hash = line.substr(colon + 1);
        if (hash.size() < 4 || hash.front() != '$' || hash.find('$', 1) == std::string_view::npos) {
            users.error = where + "the hash must be a crypt(3) hash such as mkpasswd makes";
            return users;
        }
        users.hashes[std::string(line.substr(0, colon))] = std::string(hash);
    }
    if (users.hashes.empty())
        users.error = "no users";
    return users;
}

std::optional<BasicCredentials> parseBasicAuthorization(std::string_view value) {
    value = trimBlanks(value);
    constexpr std::string_view kScheme = "Basic ";
    if (value.size() <= kScheme.size())
        return std::nullopt;
    for (size_t i = 0; i < kScheme.size() - 1; ++i) {
        const char c = value[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != "basic"[i])
            return std::nullopt;
    }
    if (value[kScheme.size() - 1] != ' ')
        return std::nullopt;
    const auto decoded = decodeBase64(trimBlanks(value.substr(kScheme.size())));
    if (!decoded)
        return std::nullopt;
    const size_t colon = decoded->find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    return BasicCredentials{decoded->substr(0, colon), decoded->substr(colon + 1)};
}

bool passwordMatchesHash(const std::string& password, const std::string& hash) {
    if (password.find('\0') != std::string::npos)
        return false;
    auto data = std::make_unique<crypt_data>();
    std::memset(data.get(), 0, sizeof(crypt_data));
    const char* result = crypt_r(password.c_str(), hash.c_str(), data.get());
    if (!result || result[0] == '*')
        return false;
    const size_t n = std::strlen(result);
    if (n != hash.size())
        return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < n; ++i)
        diff |= static_cast<unsigned char>(result[i] ^ hash[i]);
    return diff == 0;
}

AuthGate::AuthGate(AuthUsers users)
    : m_check([users = std::move(users)](std::string_view headerValue) {
          return checkBasicAuthorization(users, headerValue);
      }) {}

bool AuthGate::allows(std::string_view headerValue, int64_t nowMs) {
    if (const auto known = m_passed.find(headerValue); known != m_passed.end()) {
        known->second = nowMs;
        return true;
    }
    if (headerValue.empty())
        return false;
    if (nowMs - m_windowStartMs >= 1000 || nowMs < m_windowStartMs) {
        m_windowStartMs = nowMs;
        m_failedInWindow = 0;
    }
    if (m_failedInWindow >= kFailedChecksPerSecond)
        return false;
    if (!m_check(headerValue)) {
        ++m_failedInWindow;
        return false;
    }
    if (headerValue.size() <= kLongestRememberedHeader) {
        if (m_passed.size() >= kRememberedHeaders) {
            auto oldest = m_passed.begin();
            for (auto it = m_passed.begin(); it != m_passed.end(); ++it)
                if (it->second < oldest->second)
                    oldest = it;
            m_passed.erase(oldest);
        }
        m_passed.emplace(std::string(headerValue), nowMs);
    }
    return true;
}

bool checkBasicAuthorization(const AuthUsers& users, std::string_view headerValue) {
    const auto credentials = parseBasicAuthorization(headerValue);
    if (!credentials)
        return false;
    const auto it = users.hashes.find(credentials->user);
    if (it == users.hashes.end())
        return false;
    return passwordMatchesHash(credentials->password, it->second);
}

}  // namespace dvr::bridge
