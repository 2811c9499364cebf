#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dvr::player {

// The request a second start of the player sends to the running one: the absolute path of the file
// to open, in UTF-8, ended by a line feed; one request per connection. The running player answers
// kHandOffAnswer once it has taken the file.
inline constexpr std::size_t kMaxHandOffRequestBytes = 16 * 1024;
inline constexpr std::string_view kHandOffAnswer = "ok\n";

enum class HandOffStatus {
    Incomplete,  // no line feed yet: wait for more
    Complete,    // `path` is the file to open
    Refused,     // not a request this player takes; `reason` says why, the connection is dropped
};

struct HandOffRequest {
    HandOffStatus status = HandOffStatus::Incomplete;
    std::string path;
    std::string reason;
};

// Judges everything received so far on one connection.
HandOffRequest parseHandOffRequest(std::string_view received);

// The bytes sent for `path`.
std::string handOffRequestBytes(std::string_view path);

}  // namespace dvr::player
