// HTTP Basic authentication against a file of "user:HASH" lines, HASH a
// crypt(3) hash as mkpasswd makes (yescrypt, SHA-512, ...). Pure apart from
// crypt(3) itself.
#pragma once

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

}  // namespace dvr::bridge
