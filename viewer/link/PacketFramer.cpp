#include "viewer/link/PacketFramer.h"

#include <algorithm>
#include <cstring>

namespace dvr::link {

PacketFramer::PacketFramer(uint64_t maxPayloadBytes) : m_maxPayloadBytes(maxPayloadBytes) {
    m_payload.reserve(kInitialPayloadCapacity);
}

uint64_t PacketFramer::announcedPayload(const PacketHeader& header, const ParamBlock& params) {
    if (header.command == command::EventListReply)
        return static_cast<uint64_t>(params.p[0]) * kEventRecordBytes;
    return header.length >= kPacketPrefixBytes ? header.length - kPacketPrefixBytes : 0;
}

void PacketFramer::skipPayload() {
    if (m_mode == Mode::Collect && m_collected == 0) {
        m_mode = Mode::Skip;
        m_payload.clear();
    }
}

void PacketFramer::reset() {
    m_mode = Mode::Prefix;
    m_prefixFill = 0;
    m_payload.clear();
    m_expected = 0;
    m_collected = 0;
}

void PacketFramer::resetCapacity() {
    reset();
    std::vector<uint8_t>().swap(m_payload);
    m_payload.reserve(kInitialPayloadCapacity);
}

void PacketFramer::pushPrefixByte(uint8_t b) {
    m_prefix[m_prefixFill++] = b;
    // Keep the collected bytes a beginning of "DVRJ PACKET": drop leading
    // bytes until they are.
    while (m_prefixFill > 0) {
        const size_t n = std::min(m_prefixFill, kPacketMagic.size());
        if (std::memcmp(m_prefix.data(), kPacketMagic.data(), n) == 0)
            break;
        std::memmove(m_prefix.data(), m_prefix.data() + 1, m_prefixFill - 1);
        --m_prefixFill;
        ++m_droppedBytes;
    }
}

void PacketFramer::dropPrefixFront() {
    std::array<uint8_t, kPacketPrefixBytes> rest{};
    const size_t n = m_prefixFill - 1;
    std::memcpy(rest.data(), m_prefix.data() + 1, n);
    m_prefixFill = 0;
    ++m_droppedBytes;
    for (size_t i = 0; i < n; ++i)
        pushPrefixByte(rest[i]);
}

FramerEvent PacketFramer::next(std::span<const uint8_t> in, size_t& consumed) {
    consumed = 0;
    FramerEvent event;
    while (consumed < in.size()) {
        const size_t available = in.size() - consumed;
        switch (m_mode) {
            case Mode::Prefix: {
                if (m_prefixFill < kPacketMagic.size()) {
                    pushPrefixByte(in[consumed++]);
                    break;
                }
                const size_t n = std::min(kPacketPrefixBytes - m_prefixFill, available);
                std::memcpy(m_prefix.data() + m_prefixFill, in.data() + consumed, n);
                m_prefixFill += n;
                consumed += n;
                if (m_prefixFill < kPacketPrefixBytes)
                    break;
                const std::span<const uint8_t> prefix(m_prefix);
                const PacketHeader header = readPacketHeader(prefix);
                if (header.type < 1 || header.type > 3) {
                    dropPrefixFront();
                    break;
                }
                const ParamBlock params = readParamBlock(prefix.subspan(kPacketHeaderBytes));
                const uint64_t expected = announcedPayload(header, params);
                const uint64_t limit = header.command == command::EventListReply
                                           ? std::max(m_maxPayloadBytes, kMaxEventListBytes)
                                           : m_maxPayloadBytes;
                if (expected > limit) {
                    ++m_oversizePackets;
                    dropPrefixFront();
                    event.kind = FramerEvent::Kind::Oversize;
                    event.header = header;
                    event.params = params;
                    event.payloadBytes = expected;
                    return event;
                }
                m_prefixFill = 0;
                m_expected = expected;
                m_collected = 0;
                m_payload.clear();
                if (expected > 0) {
                    m_payload.reserve(static_cast<size_t>(expected));
                    m_mode = Mode::Collect;
                }
                event.kind = FramerEvent::Kind::Header;
                event.header = header;
                event.params = params;
                event.payloadBytes = expected;
                return event;
            }
            case Mode::Collect: {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(m_expected - m_collected, available));
                m_payload.insert(m_payload.end(), in.begin() + static_cast<ptrdiff_t>(consumed),
                                 in.begin() + static_cast<ptrdiff_t>(consumed + n));
                consumed += n;
                m_collected += n;
                if (m_collected == m_expected) {
                    m_mode = Mode::Prefix;
                    event.kind = FramerEvent::Kind::PayloadComplete;
                    event.payload = std::span<const uint8_t>(m_payload);
                    event.payloadBytes = m_expected;
                    return event;
                }
                break;
            }
            case Mode::Skip: {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(m_expected - m_collected, available));
                consumed += n;
                m_collected += n;
                if (m_collected == m_expected)
                    m_mode = Mode::Prefix;
                break;
            }
        }
    }
    return event;
}

}  // namespace dvr::link
