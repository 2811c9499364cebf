// HTTP Basic authentication against a file of "user:HASH" lines, HASH a
// crypt(3) hash as mkpasswd makes (yescrypt, SHA-512, ...). Pure apart from
// crypt(3) itself.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace dvr::bridge {

struct AuthUsers {
    std::map<std::string, std::string, std::less<>> hashes;  // user -> crypt(3) hash
    std::string error;                                       // "line N: reason"; empty on success
};

// Parses the user file: one "user:HASH" a line; blank lines and # comments
// skipped. A hash must look like a crypt(3) hash ("$id$..."): a plain
// password in the file is refused.
AuthUsers parseAuthUsers(std::string_view text);

struct BasicCredentials {
    std::string user;
    std::string password;
};

// The user and password of an "Authorization: Basic ..." header value;
// nothing for any other scheme or malformed base64.
std::optional<BasicCredentials> parseBasicAuthorization(std::string_view headerValue);

// Whether the header names a user of the file with the right password.
bool checkBasicAuthorization(const AuthUsers& users, std::string_view headerValue);

// Whether `password` matches the crypt(3) `hash`, compared in constant time.
bool passwordMatchesHash(const std::string& password, const std::string& hash);

// The bridge's door: checks Authorization header values on its one thread, where a crypt(3) check can
// take tens of milliseconds. A header that passed is remembered (exactly, the most recently used ones),
// so a client asking many times a second, a page's sixteen snapshots say, pays one check. Checks that
// fail are limited to a few each second: past that a header not remembered is refused at once until the
// next second, so wrong passwords sent in a stream cannot stall every picture the bridge serves.
class AuthGate {
public:
    using Check = std::function<bool(std::string_view headerValue)>;

    explicit AuthGate(AuthUsers users);
    // With the check given (tests count what it costs).
    explicit AuthGate(Check check) : m_check(std::move(check)) {}

    // Whether the request with this Authorization header value (empty: none) may pass at `nowMs`.
    bool allows(std::string_view headerValue, int64_t nowMs);

    static constexpr size_t kRememberedHeaders = 64;
    static constexpr size_t kLongestRememberedHeader = 1024;
    static constexpr int kFailedChecksPerSecond = 10;

private:
    Check m_check;
    std::map<std::string, int64_t, std::less<>> m_passed;  // header value -> last used
    int64_t m_windowStartMs = 0;
    int m_failedInWindow = 0;
};

}  // namespace dvr::bridge
