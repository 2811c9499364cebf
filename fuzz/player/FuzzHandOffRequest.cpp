// Feeds arbitrary bytes, whole and in every prefix a sender may have sent so far, to the player's
// hand-off request reader and checks what must always hold: only a complete single line is taken, the
// path taken is absolute and free of control characters, and writing it back gives the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz/support/Check.h"
#include "player/view/HandOffRequest.h"

using dvr::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dvr::player;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const HandOffRequest request = parseHandOffRequest(bytes);
    switch (request.status) {
        case HandOffStatus::Incomplete:
            check(bytes.find('\n') == std::string_view::npos);
            check(bytes.size() <= kMaxHandOffRequestBytes);
            break;
        case HandOffStatus::Complete:
            check(!request.path.empty() && request.path.front() == '/');
            check(request.path.size() <= kMaxHandOffRequestBytes);
            for (const char c : request.path) {
                check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
            }
            check(handOffRequestBytes(request.path) == bytes);
            break;
        case HandOffStatus::Refused:
            check(request.path.empty() && !request.reason.empty());
            break;
    }
    // A prefix of a request that is taken whole is never refused or taken early.
    if (request.status == HandOffStatus::Complete) {
        for (std::size_t cut = 0; cut < size; cut += 1 + size / 16) {
            check(parseHandOffRequest(bytes.substr(0, cut)).status == HandOffStatus::Incomplete);
        }
    }
    return 0;
}
