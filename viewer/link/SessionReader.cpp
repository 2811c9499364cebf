#include "viewer/link/SessionReader.h"

#include <algorithm>
#include <array>

namespace dvr::link {

void readOnce(RecorderTransport& transport, RecorderSession& session) {
    if (!transport.isOpen())
        return;
    std::array<uint8_t, kReadBytes> block;
    const RecorderTransport::Received got = transport.receive(block);
    session.receive(std::span<const uint8_t>(block.data(), std::min(got.bytes, block.size())), got.closed);
}

}  // namespace dvr::link
